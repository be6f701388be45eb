#pragma once

// The folders the program finds its own files and the user's in.

#include <QString>

namespace platform {

// The folder that holds the running executable, without a trailing separator (except a root).
// When the program was started through a symbolic link, this is the folder of the real file.
QString ExecutableFolder();
// The folder of the file that a path names, symbolic links resolved to the real file, without a
// trailing separator (except a root). For a path that names nothing, the folder the path shows.
QString RealFolderOf(const QString& file);
// The user's Desktop folder, without a trailing separator; empty when the platform knows none.
// Outside Windows, where the Desktop folder does not exist, the user's home folder.
QString DesktopFolder();

}  // namespace platform
