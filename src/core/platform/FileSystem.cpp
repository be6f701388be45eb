#include "core/platform/FileSystem.h"

#include "core/FileFailure.h"
#include "core/platform/Names.h"
#include "core/platform/Native.h"
#include "core/platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace platform {

namespace {

#ifndef Q_OS_WIN
// The last part of a path, trailing separators ignored.
QString lastName(const QString& path) {
    const QString trimmed = WithoutTrailingSeparator(path);
    return trimmed.mid(LastSeparator(trimmed) + 1);
}

bool isHiddenName(const QString& name) {
    return name.startsWith(u'.') && name != QStringLiteral(".") && name != QStringLiteral("..");
}

QString decodeName(const char* bytes, bool* valid) {
    const QByteArray raw(bytes);
    *valid = IsValidNativeName(raw);
    if (*valid) return QString::fromUtf8(raw);
    return QString::fromUtf8(raw).replace(QChar(QChar::ReplacementCharacter), u'?');
}
#endif

bool isRootPath(const QString& path) {
    return !path.isEmpty() && QFileInfo(QDir::cleanPath(QDir::fromNativeSeparators(path))).isRoot();
}

}  // namespace

std::optional<PathFacts> ReadPathFacts(const QString& path) {
    PathFacts facts;
#ifdef Q_OS_WIN
    if (path.isEmpty() || path.contains(QChar(0)) || HasWildcards(path)) return std::nullopt;
    const DWORD a = GetFileAttributesW(detail::widePath(path).c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    facts.attributes = int(a & 0x0FFF);
    facts.folder = (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
    facts.regularFile = !facts.folder;
#else
    const auto native = detail::nativePath(path);
    if (!native) return std::nullopt;
    struct stat linkStat {};
    if (lstat(native->constData(), &linkStat) != 0) return std::nullopt;
    struct stat st = linkStat;
    if (S_ISLNK(linkStat.st_mode)) {
        facts.attributes |= attr::kReparsePoint;
        if (stat(native->constData(), &st) != 0) st = linkStat;  // a dangling link
    }
    facts.folder = S_ISDIR(st.st_mode);
    facts.regularFile = S_ISREG(st.st_mode);
    if (!(st.st_mode & S_IWUSR)) facts.attributes |= attr::kReadOnly;
    if (isHiddenName(lastName(path))) facts.attributes |= attr::kHidden;
    if (facts.folder) facts.attributes |= attr::kDirectory;
    if (facts.regularFile) facts.attributes |= attr::kArchive;
    facts.device = quint64(st.st_dev);
    facts.node = quint64(st.st_ino);
#endif
    facts.root = facts.folder && isRootPath(path);
    return facts;
}

bool LastModifiedReadable(const QString& path) {
#ifdef Q_OS_WIN
    WIN32_FILE_ATTRIBUTE_DATA data;
    return !path.isEmpty() && !path.contains(QChar(0)) && !HasWildcards(path) &&
           GetFileAttributesExW(detail::widePath(path).c_str(), GetFileExInfoStandard, &data);
#else
    const auto native = detail::nativePath(path);
    struct stat st {};
    return native && stat(native->constData(), &st) == 0;
#endif
}

// ---- File versions -----------------------------------------------------------------------------

namespace {
#ifdef Q_OS_WIN
qint64 ticks(const FILETIME& t) {
    return qint64((quint64(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

std::optional<FileStamp> stampOfHandle(HANDLE h) {
    BY_HANDLE_FILE_INFORMATION info;
    if (h == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(h, &info)) return std::nullopt;
    FileStamp stamp;
    stamp.size = qint64((quint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    stamp.modified = ticks(info.ftLastWriteTime);
    stamp.changed = stamp.modified;
    stamp.device = info.dwVolumeSerialNumber;
    stamp.node = (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return stamp;
}
#else
qint64 nanoseconds(const struct timespec& t) {
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

FileStamp stampOfStat(const struct stat& st) {
    FileStamp stamp;
    stamp.size = qint64(st.st_size);
#ifdef Q_OS_DARWIN
    stamp.modified = nanoseconds(st.st_mtimespec);
    stamp.changed = nanoseconds(st.st_ctimespec);
#else
    stamp.modified = nanoseconds(st.st_mtim);
    stamp.changed = nanoseconds(st.st_ctim);
#endif
    stamp.device = quint64(st.st_dev);
    stamp.node = quint64(st.st_ino);
    return stamp;
}
#endif
}  // namespace

std::optional<FileStamp> StampOfOpenFile(const QFileDevice& file) {
    const int fd = file.handle();
    if (fd < 0) return std::nullopt;
#ifdef Q_OS_WIN
    return stampOfHandle(reinterpret_cast<HANDLE>(_get_osfhandle(fd)));
#else
    struct stat st {};
    if (fstat(fd, &st) != 0) return std::nullopt;
    return stampOfStat(st);
#endif
}

std::optional<FileStamp> StampOfPath(const QString& path) {
#ifdef Q_OS_WIN
    if (path.isEmpty() || path.contains(QChar(0)) || HasWildcards(path)) return std::nullopt;
    // No access rights asked and every kind of sharing allowed, so a file being written still
    // opens; backup semantics are needed to open it without reading.
    HANDLE h = CreateFileW(detail::widePath(path).c_str(), 0,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    const auto stamp = stampOfHandle(h);
    CloseHandle(h);
    return stamp;
#else
    const auto native = detail::nativePath(path);
    struct stat st {};
    if (!native || stat(native->constData(), &st) != 0) return std::nullopt;
    return stampOfStat(st);
#endif
}

void OpenRegularFileForReading(QFile& file) {
    const QString path = file.fileName();
    const QString notRegular = QStringLiteral("it is not a regular file");
#ifdef Q_OS_WIN
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw FileFailure(FileAction::Read, path, file);
    const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()));
    if (GetFileType(h) != FILE_TYPE_DISK) {
        file.close();
        throw FileFailure(FileAction::Read, path, notRegular);
    }
#else
    const auto native = detail::nativePath(path);
    if (!native) throw FileFailure(FileAction::Read, path, qt_error_string(ENOENT));
    // Without O_NONBLOCK, opening a named pipe waits for a writer.
    const int fd = ::open(native->constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) throw FileFailure(FileAction::Read, path, qt_error_string(errno));
    struct stat st {};
    const bool known = fstat(fd, &st) == 0;
    if (!known || !S_ISREG(st.st_mode)) {
        const int error = errno;
        ::close(fd);
        throw FileFailure(FileAction::Read, path, known ? notRegular : qt_error_string(error));
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 ||
        !file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        const int error = errno;
        ::close(fd);
        throw FileFailure(FileAction::Read, path, qt_error_string(error));
    }
#endif
}

void ListFolder(const QString& folder, const std::function<void(const FolderEntry&)>& each) {
#ifdef Q_OS_WIN
    QString pattern = QDir::toNativeSeparators(folder);
    if (!pattern.endsWith(u'\\')) pattern += u'\\';
    pattern += u'*';
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.toStdWString().c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) return;  // an empty drive root has not even "."
        throw WalkFailure(int(error));
    }
    struct Closer {
        HANDLE h;
        ~Closer() { FindClose(h); }
    } closer{search};
    do {
        FolderEntry entry;
        entry.name = QString::fromWCharArray(found.cFileName);
        entry.validName = IsRepresentable(entry.name);
        entry.folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        each(entry);
    } while (FindNextFileW(search, &found));
    const DWORD error = GetLastError();
    if (error != ERROR_NO_MORE_FILES) throw WalkFailure(int(error));
#else
    const auto native = detail::nativePath(folder);
    if (!native) throw Failure::pathNotFound();
    DIR* dir = opendir(native->constData());
    if (!dir) throw WalkFailure(errno);
    struct Closer {
        DIR* d;
        ~Closer() { closedir(d); }
    } closer{dir};
    for (;;) {
        errno = 0;
        const dirent* e = readdir(dir);
        if (!e) {
            if (errno != 0) throw WalkFailure(errno);
            return;
        }
        FolderEntry entry;
        entry.name = decodeName(e->d_name, &entry.validName);
        bool folderKnown = false;
#ifdef _DIRENT_HAVE_D_TYPE
        if (e->d_type != DT_UNKNOWN && e->d_type != DT_LNK) {
            entry.folder = e->d_type == DT_DIR;
            folderKnown = true;
        }
#endif
        if (!folderKnown) {
            struct stat st {};
            entry.folder = fstatat(dirfd(dir), e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        each(entry);
    }
#endif
}

Failure WalkFailure(int systemError) {
#ifdef Q_OS_WIN
    switch (systemError) {
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return Failure::permissionDenied();
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_DIRECTORY:
        case ERROR_INVALID_NAME:
            return Failure::pathNotFound();
        default:
            return Failure(Failure::kPathFileAccessError, qt_error_string(systemError));
    }
#else
    switch (systemError) {
        case EACCES:
        case EPERM:
            return Failure::permissionDenied();
        case ENOENT:
        case ENOTDIR:
            return Failure::pathNotFound();
        default:
            return Failure(Failure::kPathFileAccessError, qt_error_string(systemError));
    }
#endif
}

bool OpensWithoutReading(const QString& path) {
#ifdef Q_OS_WIN
    if (path.isEmpty() || path.contains(QChar(0)) || !IsRepresentable(path)) return false;
    // No access rights, sharing read and write, existing only, no buffering + sequential scan.
    // Without backup semantics a folder cannot be opened this way.
    HANDLE h = CreateFileW(detail::widePath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0x28000000, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
#else
    const auto native = detail::nativePath(path);
    if (!native) return false;
    int fd = -1;
#ifdef O_PATH
    // Opens the name itself, asking for no access, so a file without read permission counts.
    fd = open(native->constData(), O_PATH | O_CLOEXEC);
#endif
    if (fd < 0) fd = open(native->constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    if (fd < 0) {
        // Where the name cannot be opened without reading, a file that exists without read
        // permission still counts, as it does for an open that asks for no access.
        return errno == EACCES && stat(native->constData(), &st) == 0 && S_ISREG(st.st_mode);
    }
    const bool ok = fstat(fd, &st) == 0;
    close(fd);
    // Only plain files: a device or a pipe holds no file to store, and reading one could block.
    return ok && S_ISREG(st.st_mode);
#endif
}

}  // namespace platform
