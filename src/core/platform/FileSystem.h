#pragma once

// What the program reads of files and folders: their kind and attributes, a folder's names, the
// version of a file, and reading a file that may not be what its name promises.

#include <QString>
#include <QtGlobal>
#include <functional>
#include <optional>

#include "core/Failure.h"

class QFile;
class QFileDevice;

namespace platform {

// The attribute bits that the program tests, with their Windows values. Elsewhere they are derived:
// read-only when the owner cannot write, hidden when the name starts with ".", system never,
// directory, archive for regular files, reparse point for symbolic links.
namespace attr {
constexpr int kReadOnly = 1;
constexpr int kHidden = 2;
constexpr int kSystem = 4;
constexpr int kDirectory = 16;
constexpr int kArchive = 32;
constexpr int kReparsePoint = 1024;
}  // namespace attr

// What the program needs to know about an existing path. Symbolic links are followed for
// everything except the reparse-point bit.
struct PathFacts {
    int attributes = 0;
    bool folder = false;       // a directory, possibly reached through a link
    bool regularFile = false;  // a plain file of data, possibly reached through a link
    bool root = false;         // the root of a drive or of the file system
    // Identifies the folder or file itself whatever path reaches it; 0/0 where unknown.
    quint64 device = 0;
    quint64 node = 0;
};
// The facts of a path; nothing when it does not exist or cannot be examined. Never throws.
std::optional<PathFacts> ReadPathFacts(const QString& path);
// Whether the path's last-modified time can be read. Never throws.
bool LastModifiedReadable(const QString& path);

// One entry of a folder's listing, "." and ".." included. A name whose bytes cannot be decoded has
// validName false and its undecodable parts shown as "?", so it never names a real path.
struct FolderEntry {
    QString name;
    bool validName = true;
    bool folder = false;  // links followed
};
// Lists a folder in the order the file system gives. A failure to read the folder throws
// WalkFailure(); the entries given before it stand.
void ListFolder(const QString& folder, const std::function<void(const FolderEntry&)>& each);
// The failure of a folder walk for a system error code: permission denied counts as 70, a missing
// path as 76, anything else as 75 with the system's wording.
Failure WalkFailure(int systemError);

// Whether the path names an existing file that can be opened without reading or writing it: a
// file without read permission counts, a folder does not, and neither does a name that the file
// system's encoding cannot carry.
bool OpensWithoutReading(const QString& path);

// What tells one version of a file from another: its size, the times of its last write and last
// change of state, and the device and file number that identify the file itself (0 where the
// platform has none). A file that is grown, cut, written to or replaced gets a different stamp.
struct FileStamp {
    qint64 size = 0;
    qint64 modified = 0;  // in the platform's finest unit
    qint64 changed = 0;
    quint64 device = 0;
    quint64 node = 0;
    bool operator==(const FileStamp&) const = default;
};
// The stamp of an open file, through its handle; nothing when it cannot be read.
std::optional<FileStamp> StampOfOpenFile(const QFileDevice& file);
// The stamp of the file that the path names now; nothing when there is none.
std::optional<FileStamp> StampOfPath(const QString& path);

// Opens the file that the QFile names for unbuffered reading without waiting on it: a named pipe
// or a device put in a listed file's place would otherwise hold the open until something writes to
// it. Anything but a regular file is closed again and refused. Throws the read failure (75) naming
// the path. The open file keeps no name (QFile::fileName is empty afterwards).
void OpenRegularFileForReading(QFile& file);

}  // namespace platform
