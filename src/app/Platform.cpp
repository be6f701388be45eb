#include "app/Platform.h"

#include "app/FileFailure.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>
#include <algorithm>
#include <iterator>

#ifdef Q_OS_WIN
#include <winsock2.h>
// winsock2.h first: windows.h would bring the older socket declarations.
#include <io.h>
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <mariadb_version.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#endif

namespace platform {

namespace {
constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
}

QString SettingsStoreLocation(const QString& appName) {
#ifdef Q_OS_WIN
    return QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\") + appName;
#else
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/' +
           appName + QStringLiteral(".ini");
#endif
}

std::unique_ptr<QSettings> OpenSettingsStore(const QString& appName, bool forWriting) {
#ifdef Q_OS_WIN
    Q_UNUSED(forWriting);
    return std::make_unique<QSettings>(SettingsStoreLocation(appName), QSettings::NativeFormat);
#else
    const QString path = SettingsStoreLocation(appName);
    if (forWriting && !QFileInfo::exists(path)) {
        // Created empty and private before the first write, so the values are never readable by
        // others, not even for a moment. QSettings keeps a file's permissions when it rewrites it.
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly, kOwnerOnly)) file.close();
    }
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
#endif
}

void RestrictSettingsStore(const QSettings& store) {
#ifdef Q_OS_WIN
    Q_UNUSED(store);
#else
    QFile file(store.fileName());
    if (file.exists() && file.permissions() != kOwnerOnly) file.setPermissions(kOwnerOnly);
#endif
}

// ---- Paths -------------------------------------------------------------------------------------

namespace {

QString withoutTrailingSeparator(QString path) {
    while (path.size() > 1 && (path.endsWith(u'/') || path.endsWith(Separator()))) {
        if (QFileInfo(path).isRoot()) break;
        path.chop(1);
    }
    return path;
}

#ifndef Q_OS_WIN
// The last part of a path, trailing separators ignored.
QString lastName(const QString& path) {
    const QString trimmed = withoutTrailingSeparator(path);
    return trimmed.mid(LastSeparator(trimmed) + 1);
}

bool isHiddenName(const QString& name) {
    return name.startsWith(u'.') && name != QStringLiteral(".") && name != QStringLiteral("..");
}
#endif

bool isRootPath(const QString& path) {
    return !path.isEmpty() && QFileInfo(QDir::cleanPath(QDir::fromNativeSeparators(path))).isRoot();
}

}  // namespace

QChar Separator() {
#ifdef Q_OS_WIN
    return u'\\';
#else
    return u'/';
#endif
}

bool HasNetworkPaths() {
#ifdef Q_OS_WIN
    return true;
#else
    return false;
#endif
}

bool PathTooLong(const QString& path) {
#ifdef Q_OS_WIN
    return path.size() >= 260;
#else
    return path.toUtf8().size() >= PATH_MAX;  // PATH_MAX counts the terminating NUL
#endif
}

bool NameTooLong(const QString& name) {
#ifdef Q_OS_WIN
    return name.size() >= 260;
#else
    return name.toUtf8().size() > NAME_MAX;
#endif
}

QString RealFolderOf(const QString& file) {
    const QFileInfo given(file);
    // A link is followed to the end of its chain, so a program started through a link in another
    // folder still finds the files installed beside its executable.
    const QString real = given.canonicalFilePath();
    const QString folder = real.isEmpty() ? given.absolutePath() : QFileInfo(real).absolutePath();
    return withoutTrailingSeparator(QDir::toNativeSeparators(folder));
}

QString ExecutableFolder() {
    QString executable;
    if (QCoreApplication::instance()) {
        executable = QCoreApplication::applicationFilePath();
    } else {
#ifdef Q_OS_WIN
        wchar_t buffer[32768];
        const DWORD n = GetModuleFileNameW(nullptr, buffer, DWORD(std::size(buffer)));
        if (n > 0 && n < std::size(buffer)) executable = QString::fromWCharArray(buffer, int(n));
#else
        executable = QStringLiteral("/proc/self/exe");
#endif
    }
    return executable.isEmpty() ? executable : RealFolderOf(executable);
}

QString DesktopFolder() {
    QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
#ifndef Q_OS_WIN
    // Many Linux desktops have no Desktop folder at all; a destination there could never be
    // written, so the user's home folder stands in for it.
    if (!desktop.isEmpty() && !QFileInfo(desktop).isDir()) desktop = QDir::homePath();
#endif
    if (desktop.isEmpty()) return desktop;
    return withoutTrailingSeparator(QDir::toNativeSeparators(desktop));
}

// ---- Native paths
// --------------------------------------------------------------------------------

namespace {

#ifndef Q_OS_WIN
// The bytes that name a path in the file system, or nothing when the text cannot name one: a NUL
// would cut it short, and a text that does not survive the trip to bytes and back would name a
// different file.
std::optional<QByteArray> nativePath(const QString& path) {
    if (path.isEmpty() || path.contains(QChar(0))) return std::nullopt;
    QByteArray bytes = path.toUtf8();
    if (QString::fromUtf8(bytes) != path) return std::nullopt;
    return bytes;
}

QString decodeName(const char* bytes, bool* valid) {
    const QByteArray raw(bytes);
    *valid = IsValidNativeName(raw);
    if (*valid) return QString::fromUtf8(raw);
    return QString::fromUtf8(raw).replace(QChar(QChar::ReplacementCharacter), u'?');
}
#else
std::wstring widePath(const QString& path) {
    return QDir::toNativeSeparators(path).toStdWString();
}
#endif

}  // namespace

std::optional<PathFacts> ReadPathFacts(const QString& path) {
    PathFacts facts;
#ifdef Q_OS_WIN
    if (path.isEmpty() || path.contains(QChar(0)) || HasWildcards(path)) return std::nullopt;
    const DWORD a = GetFileAttributesW(widePath(path).c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    facts.attributes = int(a & 0x0FFF);
    facts.folder = (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
    facts.regularFile = !facts.folder;
#else
    const auto native = nativePath(path);
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
           GetFileAttributesExW(widePath(path).c_str(), GetFileExInfoStandard, &data);
#else
    const auto native = nativePath(path);
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
    HANDLE h = CreateFileW(widePath(path).c_str(), 0,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    const auto stamp = stampOfHandle(h);
    CloseHandle(h);
    return stamp;
#else
    const auto native = nativePath(path);
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
    const auto native = nativePath(path);
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

// ---- Names -------------------------------------------------------------------------------------

Wildcard::Wildcard(const QString& pattern) : folded_(pattern.toCaseFolded()) {
    everything_ = pattern == QStringLiteral("*.*") || pattern == QStringLiteral("*");
    if (!everything_ && folded_.endsWith(u'.')) {
        noExtension_ = true;
        while (folded_.endsWith(u'.')) folded_.chop(1);
    }
}

bool Wildcard::matches(const QString& name) const {
    if (everything_) return true;
    if (noExtension_ && name.contains(u'.')) return false;
    const QString text = name.toCaseFolded();
    // Greedy matching that remembers the last "*" and retries from one character further on.
    qsizetype p = 0, t = 0, star = -1, resume = 0;
    while (t < text.size()) {
        if (p < folded_.size() && (folded_[p] == u'?' || folded_[p] == text[t])) {
            ++p;
            ++t;
        } else if (p < folded_.size() && folded_[p] == u'*') {
            star = p++;
            resume = t;
        } else if (star >= 0) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < folded_.size() && folded_[p] == u'*') ++p;
    return p == folded_.size();
}

bool HasWildcards(const QString& text) {
    return text.contains(u'*') || text.contains(u'?');
}

bool IsRepresentable(const QString& name) {
#ifdef Q_OS_WIN
    if (name.isEmpty()) return true;
    BOOL usedDefault = FALSE;
    const std::wstring wide = name.toStdWString();
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), int(wide.size()), nullptr, 0,
                        nullptr, &usedDefault);
    return !usedDefault;
#else
    // Every character has a UTF-8 form; only a lone surrogate has none.
    return QString::fromUtf8(name.toUtf8()) == name;
#endif
}

QList<uint> CodePageCodes(const QString& name) {
    constexpr uint kUnrepresentable = 63;
    QList<uint> codes;
    codes.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const bool pair =
            name[i].isHighSurrogate() && i + 1 < name.size() && name[i + 1].isLowSurrogate();
#ifdef Q_OS_WIN
        const wchar_t wide[2] = {wchar_t(name[i].unicode()),
                                 wchar_t(pair ? name[i + 1].unicode() : 0)};
        char bytes[4];
        BOOL usedDefault = FALSE;
        const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, pair ? 2 : 1, bytes,
                                          int(sizeof bytes), nullptr, &usedDefault);
        if (usedDefault || n < 1 || n > 2)
            codes.append(kUnrepresentable);
        else if (n == 1)
            codes.append(uchar(bytes[0]));
        else
            codes.append(uint(uchar(bytes[0])) << 8 | uchar(bytes[1]));
#else
        if (pair)
            codes.append(QChar::surrogateToUcs4(name[i], name[i + 1]));
        else if (name[i].isSurrogate())
            codes.append(kUnrepresentable);
        else
            codes.append(name[i].unicode());
#endif
        if (pair) ++i;
    }
    return codes;
}

bool IsValidNativeName(const QByteArray& nativeName) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(nativeName);
    return !decoder.hasError() && !text.contains(QChar(0));
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
    const auto native = nativePath(folder);
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
    HANDLE h = CreateFileW(widePath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0x28000000, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
#else
    const auto native = nativePath(path);
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

QByteArray ClientPluginFolder() {
#ifdef Q_OS_WIN
    // The library names files in the ANSI code page.
    return (ExecutableFolder() + QStringLiteral("\\plugin")).toLocal8Bit();
#else
    return QByteArrayLiteral(MARIADB_PLUGINDIR);
#endif
}

bool HasDefaultLocalSocket() {
#ifdef Q_OS_WIN
    return false;
#else
    return true;
#endif
}

// ---- Whole files -------------------------------------------------------------------------------

namespace {
// The system's own words for an error code, as the user's system would say them.
QString systemText(int systemError) {
    return qt_error_string(systemError);
}

// A name beside the target that no other file has yet: short and of its own, so that a target
// whose name is as long as the file system allows still gets one.
QString temporaryNameFor(const QString& target) {
    return FolderPart(target) +
           QStringLiteral(".vantrelle-%1.part")
               .arg(QRandomGenerator::global()->generate(), 8, 16, QChar(u'0'));
}
}  // namespace

qsizetype LastSeparator(const QString& path) {
    return qMax(path.lastIndexOf(u'/'), path.lastIndexOf(Separator()));
}

bool HasFolderSeparator(const QString& text) {
    return LastSeparator(text) >= 0;
}

QString FolderPart(const QString& path) {
    qsizetype cut = LastSeparator(path);
#ifdef Q_OS_WIN
    // "C:name" lies in the drive's current folder, not the program's.
    if (cut < 0 && path.size() >= 2 && path.at(1) == u':') cut = 1;
#endif
    return path.left(cut + 1);
}

void StagedFile::fail(int systemError) const {
    throw FileFailure(FileAction::Write, target_, systemText(systemError));
}

#ifdef Q_OS_WIN
StagedFile::StagedFile(const QString& target) : target_(target) {
    for (int attempt = 0;; ++attempt) {
        temporary_ = temporaryNameFor(target);
        // Deleting stays possible while the file is open, so a discard can remove it at once.
        HANDLE h = CreateFileW(widePath(temporary_).c_str(), GENERIC_WRITE, FILE_SHARE_DELETE,
                               nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            handle_ = reinterpret_cast<qintptr>(h);
            return;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS || attempt >= 16) fail(static_cast<int>(error));
    }
}

StagedFile::~StagedFile() {
    if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
    if (!placed_) DeleteFileW(widePath(temporary_).c_str());
}

void StagedFile::write(const char* data, qint64 size) {
    while (size > 0) {
        const DWORD piece = static_cast<DWORD>(std::min<qint64>(size, 1 << 30));
        DWORD done = 0;
        if (!WriteFile(reinterpret_cast<HANDLE>(handle_), data, piece, &done, nullptr))
            fail(static_cast<int>(GetLastError()));
        data += done;
        size -= done;
    }
}

void StagedFile::sync() {
    HANDLE h = reinterpret_cast<HANDLE>(handle_);
    handle_ = -1;
    const bool flushed = FlushFileBuffers(h);
    const DWORD error = flushed ? 0 : GetLastError();
    if (!CloseHandle(h) && flushed) fail(static_cast<int>(GetLastError()));
    if (!flushed) fail(static_cast<int>(error));
}

void StagedFile::place() {
    if (!MoveFileExW(widePath(temporary_).c_str(), widePath(target_).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        fail(static_cast<int>(GetLastError()));
    placed_ = true;
}

void DiscardFile(const QString& path) {
    DeleteFileW(widePath(path).c_str());
}

void SyncFolder(const QString&) {
    // Renames are written through to the disk as they are made.
}
#else
StagedFile::StagedFile(const QString& target) : target_(target) {
    const auto native = nativePath(target);
    if (!native) fail(ENOENT);
    nativeTarget_ = *native;
    for (int attempt = 0;; ++attempt) {
        temporary_ = temporaryNameFor(target);
        nativeTemporary_ = temporary_.toUtf8();
        const int fd =
            ::open(nativeTemporary_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            handle_ = fd;
            return;
        }
        if (errno != EEXIST || attempt >= 16) fail(errno);
    }
}

StagedFile::~StagedFile() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
    if (!placed_) ::unlink(nativeTemporary_.constData());
}

void StagedFile::write(const char* data, qint64 size) {
    while (size > 0) {
        // Single writes stay below what every system takes in one call.
        const size_t piece = static_cast<size_t>(std::min<qint64>(size, qint64{1} << 30));
        const ssize_t done = ::write(static_cast<int>(handle_), data, piece);
        if (done < 0) {
            if (errno == EINTR) continue;
            fail(errno);
        }
        data += done;
        size -= done;
    }
}

void StagedFile::sync() {
    const int fd = static_cast<int>(handle_);
    handle_ = -1;
#if defined(Q_OS_LINUX)
    const int synced = ::fdatasync(fd);
#else
    const int synced = ::fsync(fd);
#endif
    const int syncError = synced == 0 ? 0 : errno;
    const int closed = ::close(fd);
    if (syncError != 0) fail(syncError);
    if (closed != 0 && errno != EINTR) fail(errno);
}

void StagedFile::place() {
    if (::rename(nativeTemporary_.constData(), nativeTarget_.constData()) != 0) fail(errno);
    placed_ = true;
}

void DiscardFile(const QString& path) {
    if (const auto native = nativePath(path)) ::unlink(native->constData());
}

void SyncFolder(const QString& folder) {
    const auto native = nativePath(folder);
    if (!native) throw FileFailure(FileAction::Write, folder, systemText(ENOENT));
    const int fd = ::open(native->constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        // Files can be created and renamed in a folder that may not be read (a drop box, say);
        // such a folder cannot be forced, which leaves its names as safe as any other program's.
        if (errno == EACCES || errno == EPERM) return;
        throw FileFailure(FileAction::Write, folder, systemText(errno));
    }
    const int synced = ::fsync(fd);
    const int syncError = synced == 0 ? 0 : errno;
    ::close(fd);
    // Some file systems cannot force a folder to the disk and say so; their renames need not be.
    if (syncError != 0 && syncError != EINVAL && syncError != ENOTSUP)
        throw FileFailure(FileAction::Write, folder, systemText(syncError));
}
#endif

void ResetOnClose(qintptr socket) {
    linger abortive{};
    abortive.l_onoff = 1;
    abortive.l_linger = 0;
#ifdef Q_OS_WIN
    setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_LINGER,
               reinterpret_cast<const char*>(&abortive), sizeof abortive);
#else
    setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
#endif
}

}  // namespace platform
