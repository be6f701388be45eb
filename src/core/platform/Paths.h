#pragma once

// The form of paths on this platform: the separator, the longest path and name, where the folder
// part of a path ends.

#include <QChar>
#include <QString>

namespace platform {

// The separator that the program puts between the parts of a path: "\" on Windows, "/" elsewhere.
QChar Separator();
// Whether a path that starts with a separator names a network share ("\\server\share"). Where every
// absolute path starts with a separator, it does not.
bool HasNetworkPaths();
// A path or a single name this long or longer cannot be used on this platform.
bool PathTooLong(const QString& path);
bool NameTooLong(const QString& name);

// The path without trailing separators, except where they make a root ("/", "C:\").
QString WithoutTrailingSeparator(QString path);

// Where the last folder separator of a path lies ("/", and the platform's own), or -1.
qsizetype LastSeparator(const QString& path);

// Whether a text holds a character that separates folders in a path.
bool HasFolderSeparator(const QString& text);

// The part of a path up to and including its last separator: the folder that a file name lies
// in, as written ("" for a bare name).
QString FolderPart(const QString& path);

}  // namespace platform
