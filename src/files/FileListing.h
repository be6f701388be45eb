#pragma once

#include <QString>
#include <QStringList>

// The names (without folder) of the files in `folder` that match the wildcard `pattern`, in name
// order without regard to case; hidden files included, folders never, and only names for which
// IsExistingFile holds. `folder` may end in the separator or not. A missing folder gives no names;
// another failure to read the folder throws Failure (70 permission denied, 76 path not found,
// others).
QStringList ListFiles(const QString& folder, const QString& pattern);

// Whether the path names an existing file that can be opened, without reading it: a file that
// another program has open or that the user may not read counts; folders, missing paths and names
// that the file-name encoding cannot carry do not. Never throws.
bool IsExistingFile(const QString& path);
