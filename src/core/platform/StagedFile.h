#pragma once

// Files written whole or not at all.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace platform {

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

// Forces the names in a folder to the disk, so that files renamed into it keep their names after
// a power cut. A folder that cannot be forced (one that may not be read, or a file system without
// the means) is left as it is. Throws Failure 75 naming the folder.
void SyncFolder(const QString& folder);

}  // namespace platform
