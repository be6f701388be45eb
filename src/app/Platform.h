#pragma once

// Everything that differs between Windows and the other platforms lives behind these functions, so
// a port changes only Platform.cpp.

#include <QList>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <memory>
#include <optional>

#include "app/Failure.h"

class QFile;
class QFileDevice;
class QSettings;

namespace platform {

// Where the per-user settings store of an application lives: on Windows the registry key
// "HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<appName>", elsewhere the INI file
// <config folder>/<appName>.ini. Works before the program's application object exists.
QString SettingsStoreLocation(const QString& appName);
// Opens that store. A store opened for writing is created first, private to its owner, when it
// does not exist.
std::unique_ptr<QSettings> OpenSettingsStore(const QString& appName, bool forWriting);
// Keeps a file-based store readable and writable by its owner only.
void RestrictSettingsStore(const QSettings& store);

// ---- Paths -------------------------------------------------------------------------------------

// The separator that the program puts between the parts of a path: "\" on Windows, "/" elsewhere.
QChar Separator();
// Whether a path that starts with a separator names a network share ("\\server\share"). Where every
// absolute path starts with a separator, it does not.
bool HasNetworkPaths();
// A path or a single name this long or longer cannot be used on this platform.
bool PathTooLong(const QString& path);
bool NameTooLong(const QString& name);

// The folder that holds the running executable, without a trailing separator (except a root).
// When the program was started through a symbolic link, this is the folder of the real file.
QString ExecutableFolder();
// The folder of the file that a path names, symbolic links resolved to the real file, without a
// trailing separator (except a root). For a path that names nothing, the folder the path shows.
QString RealFolderOf(const QString& file);
// The user's Desktop folder, without a trailing separator; empty when the platform knows none.
// Outside Windows, where the Desktop folder does not exist, the user's home folder.
QString DesktopFolder();

// ---- Database ----------------------------------------------------------------------------------

// The folder that the client library loads its authentication plug-ins from, in the form the
// library takes: on Windows the folder "plugin" beside the executable, elsewhere the library's own.
QByteArray ClientPluginFolder();

// Whether the client library has a default local socket to reach a server on this computer when
// "localhost" answers on no TCP port. Windows reaches "localhost" over TCP only.
bool HasDefaultLocalSocket();

// ---- Attributes --------------------------------------------------------------------------------

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

// ---- Names -------------------------------------------------------------------------------------

// Wildcard matching of file names as Windows does it: "*" any run of characters, "?" any one
// character, letters compared without regard to case; "*.*" matches every name, with or without a
// dot, and a pattern that ends in "." matches names without an extension.
class Wildcard {
public:
    explicit Wildcard(const QString& pattern);
    bool matches(const QString& name) const;

private:
    QString folded_;
    bool everything_ = false;
    bool noExtension_ = false;
};
bool HasWildcards(const QString& text);

// Whether every character of the name exists in the code page that file names are stored in.
// Where file names are UTF-8 that is every character.
bool IsRepresentable(const QString& name);
// The code of each character of a name in the code page that file names are stored in; a
// character that the code page cannot hold gives 63 ("?"). Where names are UTF-8 these are the
// Unicode code points.
QList<uint> CodePageCodes(const QString& name);
// Whether the bytes of a name as the file system stores it decode without loss.
bool IsValidNativeName(const QByteArray& nativeName);

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

// ---- File versions -----------------------------------------------------------------------------

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

// Where the last folder separator of a path lies ("/", and the platform's own), or -1.
qsizetype LastSeparator(const QString& path);

// Whether a text holds a character that separates folders in a path.
bool HasFolderSeparator(const QString& text);

// The part of a path up to and including its last separator: the folder that a file name lies
// in, as written ("" for a bare name).
QString FolderPart(const QString& path);

// ---- Whole files -------------------------------------------------------------------------------

// A new file that reaches its target name only whole: it is written under a temporary name in the
// target's folder, forced to the disk and then renamed over the target, replacing any file of that
// name. Until then the target is untouched; a file that is never placed leaves nothing behind.
// Every failure throws Failure 75 naming the target, with the system's own words for the cause ("No
// space left on device").
class StagedFile {
public:
    // Creates the temporary file; it is private to this object until placed.
    explicit StagedFile(const QString& target);
    // Removes the temporary file unless it was placed.
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    const QString& target() const { return target_; }
    const QString& temporaryPath() const { return temporary_; }

    void write(const char* data, qint64 size);
    // Forces the written bytes to the disk and closes the temporary file.
    void sync();
    // Renames the synced temporary file over the target.
    void place();

private:
    [[noreturn]] void fail(int systemError) const;

    QString target_;
    QString temporary_;
    QByteArray nativeTarget_;
    QByteArray nativeTemporary_;
    qintptr handle_ = -1;
    bool placed_ = false;
};

// Removes a file by name and says nothing when it cannot: used to discard a temporary file that
// another thread is still writing.
void DiscardFile(const QString& path);

// Makes closing the socket reset the connection at once instead of ending it in order: a peer
// still sending (a server in the middle of a result) learns of it immediately, not only when the
// system gives up on the closed socket a minute later.
void ResetOnClose(qintptr socket);

// Forces the names in a folder to the disk, so that files renamed into it keep their names after
// a power cut. A folder that cannot be forced (one that may not be read, or a file system without
// the means) is left as it is. Throws Failure 75 naming the folder.
void SyncFolder(const QString& folder);

}  // namespace platform
