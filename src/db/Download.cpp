#include "db/Download.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "core/platform/Paths.h"
#include "core/platform/StagedFile.h"
#include "db/Statement.h"

void DownloadStop::discard() {
    std::lock_guard lock(mutex_);
    discarded_ = true;
    for (const QString& path : std::as_const(writing_)) platform::DiscardFile(path);
    writing_.clear();
}

bool DownloadStop::discarded() const {
    std::lock_guard lock(mutex_);
    return discarded_;
}

// Creates and places files under the stop's lock, so that a discard either finds a temporary file
// and removes it, or comes after the file is in place, and no file appears after it.
class DownloadFileGuard {
public:
    // A new temporary file for the target holding the value, not yet forced to the disk; nothing
    // when the run was stopped. A file that cannot be written is removed before the failure goes
    // on.
    static std::unique_ptr<platform::StagedFile> createWritten(DownloadStop& stop,
                                                               const QString& target,
                                                               const char* data, qint64 size) {
        std::unique_ptr<platform::StagedFile> file;
        {
            std::lock_guard lock(stop.mutex_);
            if (stop.discarded_) return nullptr;
            file = std::make_unique<platform::StagedFile>(target);
            stop.writing_.append(file->temporaryPath());
        }
        try {
            file->write(data, size);
        } catch (...) {
            drop(stop, file);
            throw;
        }
        return file;
    }
    // Renames the synced file over its target; false when the run was stopped.
    static bool place(DownloadStop& stop, platform::StagedFile& file) {
        std::lock_guard lock(stop.mutex_);
        if (stop.discarded_) return false;
        file.place();
        stop.writing_.removeOne(file.temporaryPath());
        return true;
    }
    // The file will not be placed: it is removed under the stop's lock, so that a discard finds
    // it either listed or already gone.
    static void drop(DownloadStop& stop, std::unique_ptr<platform::StagedFile>& file) {
        std::lock_guard lock(stop.mutex_);
        if (!file) return;
        stop.writing_.removeOne(file->temporaryPath());
        file.reset();
    }
};

namespace {

int columnType(Connection& c, const QString& sql) {
    const PreparedStatement statement(c, sql);
    if (statement.fieldCount() == 0)
        throw Failure(0, QStringLiteral("The statement returned no columns: %1").arg(sql));
    return AdoTypeOf(statement.field(0));
}

// Creating, writing and forcing a file to the disk wait for the file system, not the processor,
// and several files handled at once cost little more than one; the bound keeps the open files few.
constexpr int kSyncThreads = 4;
constexpr std::size_t kMaxUnplaced = 32;
// Values up to this size are copied and left to the file threads while the next rows are
// received; larger ones are written by the receiving thread before it reads on, so that memory
// holds the value being received and at most a few small copies: peak memory stays within the
// largest value and a fixed amount. The copies waiting for their files take at most this much
// together, too.
constexpr qint64 kHandOverBytes = qint64{8} * 1024 * 1024;

// The disk side of a download: takes values in row order, either as files already written or as
// copies still to be written, creates and writes the copies and forces every file to the disk on a
// few threads at once, and renames each over its target once every file before it is in place.
// The first failure in row order ends the placing: files after it are removed.
class FilePlacer {
public:
    FilePlacer(DownloadStop& stop, const std::function<void(const QString&)>& fileWritten)
        : stop_(stop), fileWritten_(fileWritten) {
        try {
            for (int i = 0; i < kSyncThreads; ++i) threads_.emplace_back([this] { syncLoop(); });
        } catch (...) {
            // A thread the system would not start: the ones started end before the failure
            // is reported.
            endThreads();
            throw;
        }
    }

    ~FilePlacer() {
        endThreads();
        dropUnplaced();
    }

    // Takes the next written file, waiting while too many are unplaced. False when placing has
    // ended (a failure or a stop), so that no more rows need be read.
    bool add(std::unique_ptr<platform::StagedFile> file, qint64 size) {
        std::unique_lock lock(mutex_);
        progress_.wait(lock, [this] { return ended_ || unplaced_.size() < kMaxUnplaced; });
        if (ended_) {
            DownloadFileGuard::drop(stop_, file);
            return false;
        }
        auto entry = std::make_unique<Entry>();
        entry->file = std::move(file);
        entry->size = size;
        queue(std::move(entry));
        return true;
    }

    // Takes the next value as a copy for a file thread to write, waiting while too many files are
    // unplaced or the copies already waiting would take more than their budget. False when
    // placing has ended.
    bool add(const QString& target, const char* data, qint64 size) {
        std::unique_lock lock(mutex_);
        progress_.wait(lock, [&] {
            return ended_ ||
                   (unplaced_.size() < kMaxUnplaced && handedOver_ + size <= kHandOverBytes);
        });
        if (ended_) return false;
        auto entry = std::make_unique<Entry>();
        entry->target = target;
        entry->data = QByteArray(data, size);
        entry->size = size;
        handedOver_ += size;
        queue(std::move(entry));
        return true;
    }

    // Waits until every file taken is in place, or placing has ended and no file is being forced
    // to the disk any more; throws the first failure in row order.
    void finish() {
        std::unique_lock lock(mutex_);
        progress_.wait(lock, [this] { return (ended_ || unplaced_.empty()) && syncing_ == 0; });
        toSync_.clear();
        dropUnplaced();
        unplaced_.clear();
        if (failure_) std::rethrow_exception(failure_);
    }

    qint64 files() const { return files_; }
    qint64 bytes() const { return bytes_; }

private:
    enum class State { Written, Synced, Failed };
    struct Entry {
        std::unique_ptr<platform::StagedFile> file;  // null until a copy is written
        QString target;                              // for a copy
        QByteArray data;                             // the copy, until it is written
        qint64 size = 0;
        State state = State::Written;
        std::exception_ptr failure;
    };

    void syncLoop() {
        std::unique_lock lock(mutex_);
        for (;;) {
            work_.wait(lock, [this] { return quit_ || (!ended_ && !toSync_.empty()); });
            if (quit_) return;
            Entry* entry = toSync_.front();
            toSync_.pop_front();
            ++syncing_;
            lock.unlock();
            std::exception_ptr failure;
            std::unique_ptr<platform::StagedFile> created;
            platform::StagedFile* file = entry->file.get();
            try {
                if (!file) {
                    created = DownloadFileGuard::createWritten(
                        stop_, entry->target, entry->data.constData(), entry->size);
                    file = created.get();
                }
                if (file) file->sync();
            } catch (...) {
                failure = std::current_exception();
            }
            lock.lock();
            --syncing_;
            if (!entry->file) {
                entry->data = QByteArray();
                handedOver_ -= entry->size;
                if (failure) DownloadFileGuard::drop(stop_, created);
                entry->file = std::move(created);
            }
            if (!file && !failure) {
                // The run was stopped before the copy's file was made.
                ended_ = true;
                progress_.notify_all();
                continue;
            }
            entry->state = failure ? State::Failed : State::Synced;
            entry->failure = failure;
            placeInOrder();
            progress_.notify_all();
        }
    }

    void endThreads() {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        work_.notify_all();
        for (std::thread& t : threads_) t.join();
    }

    void queue(std::unique_ptr<Entry> entry) {
        unplaced_.push_back(std::move(entry));
        toSync_.push_back(unplaced_.back().get());
        work_.notify_one();
    }

    void dropUnplaced() {
        for (const auto& entry : unplaced_) {
            DownloadFileGuard::drop(stop_, entry->file);
        }
    }

    // Places the synced files at the front of the row order; the first failure there ends it all.
    void placeInOrder() {
        while (!ended_ && !unplaced_.empty()) {
            Entry& entry = *unplaced_.front();
            if (entry.state == State::Written) return;
            try {
                if (entry.state == State::Failed) std::rethrow_exception(entry.failure);
                if (!DownloadFileGuard::place(stop_, *entry.file)) {
                    ended_ = true;
                    return;
                }
                ++files_;
                bytes_ += entry.size;
                if (fileWritten_) fileWritten_(entry.file->target());
            } catch (...) {
                failure_ = std::current_exception();
                ended_ = true;
                return;
            }
            unplaced_.pop_front();
        }
    }

    DownloadStop& stop_;
    const std::function<void(const QString&)>& fileWritten_;
    std::mutex mutex_;
    // Wakes a file thread for a value to write or the end; wakes the receiving thread when a value
    // was finished, so that memory or file handles are free again, or placing has ended.
    std::condition_variable work_;
    std::condition_variable progress_;
    std::deque<std::unique_ptr<Entry>> unplaced_;  // in row order
    std::deque<Entry*> toSync_;
    int syncing_ = 0;
    qint64 handedOver_ = 0;  // bytes of the copies not yet written
    bool ended_ = false;
    bool quit_ = false;
    std::exception_ptr failure_;
    qint64 files_ = 0;
    qint64 bytes_ = 0;
    std::vector<std::thread> threads_;
};

}  // namespace

QString DownloadStatement(const QString& table, const QString& field) {
    return QStringLiteral("Select ") + QuoteIdentifier(field) + QStringLiteral(" FROM ") +
           QuoteIdentifier(table);
}

QString DownloadFileName(const QString& folder, const QString& prefix, qint64 n,
                         const QString& extension) {
    return folder + platform::Separator() + prefix + QString::number(n) + u'.' + extension;
}

DownloadResult DownloadBlobs(Connection& c, const QString& table, const QString& field,
                             const QString& prefix, const QString& folder, const QString& extension,
                             const std::function<void(const QString&)>& fileWritten,
                             DownloadStop* stop) {
    DownloadStop ownStop;
    DownloadStop& stopper = stop ? *stop : ownStop;
    const QString sql = DownloadStatement(table, field);
    DownloadResult result;
    if (stopper.discarded()) {
        result.stopped = true;
        return result;
    }
    // The type is known from preparing the statement, so a refused column costs no row.
    result.adoType = columnType(c, sql);
    if (!IsBlobType(result.adoType)) {
        result.wrongType = true;
        return result;
    }

    // The row number is the only part of a name that changes; an extension that holds a folder
    // separator could step out of the numbered part ("x/../y") and give every row one name, each
    // file replacing the one before.
    if (platform::HasFolderSeparator(extension))
        throw Failure(
            Failure::kBadFileName,
            QStringLiteral("The extension \"%1\" holds a folder separator, so the files of "
                           "different rows could get one name.")
                .arg(extension));

    MYSQL* mysql = c.handle();
    ResultPtr rows;
    std::exception_ptr failure;
    {
        // The file threads start before the query, so that a system that will not start them
        // leaves no result half read.
        FilePlacer placer(stopper, fileWritten);
        // Rows are streamed, so memory stays bounded by the largest value.
        rows = QueryStreamed(c, sql);
        try {
            while (MYSQL_ROW row = mysql_fetch_row(rows.get())) {
                if (stopper.discarded()) break;
                ++result.rows;
                if (!row[0]) continue;
                const qint64 size = static_cast<qint64>(mysql_fetch_lengths(rows.get())[0]);
                const QString target = DownloadFileName(folder, prefix, result.rows, extension);
                if (size <= kHandOverBytes) {
                    if (!placer.add(target, row[0], size)) break;
                    continue;
                }
                auto file = DownloadFileGuard::createWritten(stopper, target, row[0], size);
                if (!file || !placer.add(std::move(file), size)) break;
            }
            if (!stopper.discarded() && mysql_errno(mysql) != 0) throw c.lastFailure();
        } catch (...) {
            failure = std::current_exception();
        }
        // The files taken before are finished; a failure of theirs comes before one of the rows
        // after them.
        try {
            placer.finish();
        } catch (...) {
            failure = std::current_exception();
        }
        result.files = placer.files();
        result.bytes = placer.bytes();
        // Placing ends without a failure only when the run was stopped.
        result.stopped = stopper.discarded();
        // The renames themselves reach the disk with their folder: once for the whole run. Every
        // name lies in one folder, the prefix's own folder part included, since the extension
        // holds no separator. A run that the program's end stopped does not wait for it.
        if (result.files > 0 && !result.stopped) {
            try {
                platform::SyncFolder(
                    platform::FolderPart(DownloadFileName(folder, prefix, 1, extension)));
            } catch (...) {
                if (!failure) failure = std::current_exception();
            }
        }
    }
    if (failure || result.stopped) {
        // Freeing an unfinished streamed result would first read all its remaining rows, and a
        // server left sending them would hold the table until it gave up.
        c.abort();
        rows.reset();
        c.close();
        if (failure) std::rethrow_exception(failure);
    }
    return result;
}
