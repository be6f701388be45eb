#include "core/platform/StagedFile.h"

#include "core/FileFailure.h"
#include "core/platform/Native.h"
#include "core/platform/Paths.h"

#include <QRandomGenerator>
#include <algorithm>

namespace platform {

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

void StagedFile::fail(int systemError) const {
    throw FileFailure(FileAction::Write, target_, systemText(systemError));
}

#ifdef Q_OS_WIN
StagedFile::StagedFile(const QString& target) : target_(target) {
    for (int attempt = 0;; ++attempt) {
        temporary_ = temporaryNameFor(target);
        // Deleting stays possible while the file is open, so a discard can remove it at once.
        HANDLE h =
            CreateFileW(detail::widePath(temporary_).c_str(), GENERIC_WRITE, FILE_SHARE_DELETE,
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
    if (!placed_) DeleteFileW(detail::widePath(temporary_).c_str());
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
    if (!MoveFileExW(detail::widePath(temporary_).c_str(), detail::widePath(target_).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        fail(static_cast<int>(GetLastError()));
    placed_ = true;
}

void DiscardFile(const QString& path) {
    DeleteFileW(detail::widePath(path).c_str());
}

void SyncFolder(const QString&) {
    // Renames are written through to the disk as they are made.
}
#else
StagedFile::StagedFile(const QString& target) : target_(target) {
    const auto native = detail::nativePath(target);
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
    if (const auto native = detail::nativePath(path)) ::unlink(native->constData());
}

void SyncFolder(const QString& folder) {
    const auto native = detail::nativePath(folder);
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

}  // namespace platform
