#pragma once

#include <QChar>
#include <QString>

// Path functions shared by the windows, the transfers and the file selection. None keeps state.

// The folder of the executable, without a trailing separator (except a root). When the program
// was started through a symbolic link, the folder of the real file, where its own files lie.
QString ProgramFolder();

// Whether the path's last-modified time can be read: existing files and folders, hidden ones too.
// A missing or malformed path and a wildcard pattern count as absent. Never throws.
bool PathExists(const QString& path);

// The path of a special folder by its number (0 = Desktop), or empty when it is unknown.
QString GetSpecialFolder(int folderNumber);

// The Desktop folder followed by exactly one separator. Throws
// Failure::invalidProcedureCall() when the platform knows no Desktop folder.
QString GetDesktopFolder();

// Whether a normal file matches the path or pattern (wildcards allowed in its last part): plain,
// read-only and archive files count; hidden and system files, folders and missing paths do not.
// A path that can name nothing (it holds a NUL) throws Failure 52.
bool FileExists(const QString& pathOrPattern);

// Whether the path names an existing folder. Never throws.
bool FolderExists(const QString& path);

// Replaces each doubled separator by one, left to right in one pass, so three in a row become two.
// Where paths can name network shares, a path that starts with a separator keeps exactly two
// leading separators however many it had ("\\server\share"), and the rest is cleaned the same way.
QString FixDoubleSlashes(const QString& path, QChar separator, bool networkPaths);
// The same with this platform's separator and network-path rule.
QString FixDoubleSlashes(const QString& path);
