#include "db/Download.h"

#include <condition_variable>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <thread>

#include "app/Platform.h"
#include "db/Statement.h"

void DownloadStop::discard() {
    std::lock_guard lock(mutex_);
    discarded_ = true;
    if (!writing_.isEmpty()) platform::DiscardFile(writing_);
    writing_.clear();
}

bool DownloadStop::discarded() const {
    std::lock_guard lock(mutex_);
    return discarded_;
}

// Creates and places one file under the stop's lock, so that a discard either sees the temporary
// file and removes it, or comes after the file is in place, and never lets a file appear after it.
class DownloadFileGuard {
public:
    // Writes the value to its file, whole or not at all; false when the run was stopped.
    static bool write(DownloadStop& stop, const QString& path, const char* data, qint64 size) {
        std::optional<platform::StagedFile> file;
        {
            std::lock_guard lock(stop.mutex_);
            if (stop.discarded_) return false;
            file.emplace(path);
            stop.writing_ = file->temporaryPath();
        }
        try {
            file->write(data, size);
            file->sync();
        } catch (...) {
            forget(stop);
            throw;
        }
        std::lock_guard lock(stop.mutex_);
        if (stop.discarded_) return false;
        stop.writing_.clear();
        file->place();
        return true;
    }

private:
    static void forget(DownloadStop& stop) {
        std::lock_guard lock(stop.mutex_);
        stop.writing_.clear();
    }
};

namespace {

int columnType(Connection& c, const QString& sql) {
    const PreparedStatement statement(c, sql);
    if (statement.fieldCount() == 0)
        throw Failure(0, QStringLiteral("The statement returned no columns: %1").arg(sql));
    return AdoTypeOf(statement.field(0));
}

// The disk side of a download: one thread that writes the files handed to it, one at a time, in
// the order given.
class FileWriter {
public:
    FileWriter(DownloadStop& stop, const std::function<void(const QString&)>& fileWritten)
        : stop_(stop), fileWritten_(fileWritten), thread_([this] { loop(); }) {}

    ~FileWriter() {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

    // Waits until the file handed over last is complete; its failure is thrown here.
    void waitIdle() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !busy_; });
        if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
    }

    // Hands over the next file; the bytes must stay untouched until waitIdle returns. The writer
    // must be idle.
    void post(const QString& path, const char* data, qint64 size) {
        {
            std::lock_guard lock(mutex_);
            path_ = path;
            data_ = data;
            size_ = size;
            busy_ = true;
        }
        changed_.notify_all();
    }

    // Counted once idle.
    qint64 files() const { return files_; }
    qint64 bytes() const { return bytes_; }
    bool stopped() const { return stopped_; }

private:
    void loop() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return busy_ || quit_; });
            if (!busy_) return;
            const QString path = path_;
            const char* data = data_;
            const qint64 size = size_;
            lock.unlock();
            std::exception_ptr failure;
            bool written = false;
            try {
                written = DownloadFileGuard::write(stop_, path, data, size);
                if (written && fileWritten_) fileWritten_(path);
            } catch (...) {
                failure = std::current_exception();
            }
            lock.lock();
            if (written) {
                ++files_;
                bytes_ += size;
            } else if (!failure) {
                stopped_ = true;
            }
            failure_ = failure;
            busy_ = false;
            changed_.notify_all();
        }
    }

    DownloadStop& stop_;
    const std::function<void(const QString&)>& fileWritten_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool busy_ = false;
    bool quit_ = false;
    QString path_;
    const char* data_ = nullptr;
    qint64 size_ = 0;
    std::exception_ptr failure_;
    qint64 files_ = 0;
    qint64 bytes_ = 0;
    bool stopped_ = false;
    std::thread thread_;  // last, so that it starts once every member above is ready
};

// The copy of a value that the writer works on while the next row is received; its storage is
// kept from row to row, so that a run of similar values allocates once.
class ValueCopy {
public:
    const char* assign(const char* data, qint64 size) {
        if (size > capacity_) {
            storage_.reset();
            storage_ = std::make_unique_for_overwrite<char[]>(static_cast<size_t>(size));
            capacity_ = size;
        }
        if (size > 0) std::memcpy(storage_.get(), data, static_cast<size_t>(size));
        return storage_.get();
    }

private:
    std::unique_ptr<char[]> storage_;
    qint64 capacity_ = 0;
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

    // Rows are streamed whatever the cursor location, so memory stays bounded by the largest value.
    ResultPtr rows = QueryStreamed(c, sql);
    MYSQL* mysql = c.handle();

    ValueCopy copy;
    std::exception_ptr failure;
    {
        // Declared after the copy, so the writer is done with it before it goes.
        FileWriter writer(stopper, fileWritten);
        try {
            while (MYSQL_ROW row = mysql_fetch_row(rows.get())) {
                if (stopper.discarded()) break;
                ++result.rows;
                if (!row[0]) continue;
                const qint64 size = static_cast<qint64>(mysql_fetch_lengths(rows.get())[0]);
                const QString path = DownloadFileName(folder, prefix, result.rows, extension);
                writer.waitIdle();
                if (writer.stopped()) break;
                if (size > kOverlapLimit) {
                    // The row's own buffer is written from directly, before the next row
                    // replaces it.
                    writer.post(path, row[0], size);
                    writer.waitIdle();
                } else {
                    writer.post(path, copy.assign(row[0], size), size);
                }
            }
            // A file received whole is finished; a failure of its own comes before one of the
            // rows after it.
            writer.waitIdle();
            if (!stopper.discarded() && mysql_errno(mysql) != 0) throw c.lastFailure();
        } catch (...) {
            failure = std::current_exception();
            try {
                writer.waitIdle();
            } catch (...) {
                failure = std::current_exception();
            }
        }
        result.files = writer.files();
        result.bytes = writer.bytes();
        result.stopped = writer.stopped() || stopper.discarded();
    }
    if (failure || result.stopped) {
        // Freeing an unfinished streamed result would first read all its remaining rows.
        mariadb_cancel(mysql);
        rows.reset();
        c.close();
        if (failure) std::rethrow_exception(failure);
    }
    return result;
}
