#include "db/Upload.h"

#include <zlib.h>

#include <QFile>
#include <algorithm>
#include <optional>
#include <vector>

#include "core/FileFailure.h"
#include "core/platform/FileSystem.h"
#include "db/Statement.h"

namespace {

// Chunks are gathered into network writes of up to this size: one write per chunk would spend
// half the time on packet overhead.
constexpr qint64 kGatherBytes = 1024 * 1024;
// What travels with each piece of long data: command, statement id and parameter number.
constexpr qint64 kLongDataHeaderBytes = 7;
constexpr qint64 kCompressedPacketHeaderBytes = 4;

// Kept short, so that the advice fits in a report beside a long path.
Failure tooLargeFailure(const QString& path, qint64 size, qint64 limit) {
    return Failure(0, QStringLiteral("The file \"%1\" is %2 bytes, larger than the %3 bytes that "
                                     "the server accepts in one value (max_allowed_packet). Ask "
                                     "its administrator to raise it (at most 1G), e.g. SET GLOBAL "
                                     "max_allowed_packet=1073741824, then upload the file again.")
                          .arg(path)
                          .arg(size)
                          .arg(limit));
}

Failure changedFailure(const QString& path) {
    return Failure(Failure::kPathFileAccessError,
                   QStringLiteral("The file \"%1\" changed while it was being uploaded; it was not "
                                  "stored.")
                       .arg(path));
}

// What the server refused while a file was sent or stored, naming the file, so that a report of it
// says which file of the run was left out.
Failure notStored(const Failure& reason, const QString& path) {
    return Failure(
        reason.number,
        QStringLiteral("The file \"%1\" was not stored: %2").arg(path, reason.description));
}

// The reads of a file disagree with its size: either it changed meanwhile, or it is one whose size
// the system cannot tell (files of the kernel's report 0 or 4096 and read something else).
Failure sizeFailure(const QFile& file, const QString& path, const platform::FileStamp& opened) {
    if (platform::StampOfOpenFile(file) == opened && platform::StampOfPath(path) == opened)
        return FileFailure(FileAction::Read, path,
                           QStringLiteral("the system does not tell its size"));
    return changedFailure(path);
}

// Whether the open file has no byte left to read.
bool atEnd(QFile& file, const QString& path) {
    char extra = 0;
    const qint64 got = file.read(&extra, 1);
    if (got < 0) throw FileFailure(FileAction::Read, path, file);
    return got == 0;
}

// The buffer that the pieces of a session's files are gathered in: made once and grown to the
// largest piece that a file of the session needs, since a fresh buffer for every file was most of
// what an upload of many small files cost.
struct PieceBuffer final : SessionState {
    std::vector<char> bytes;

    // The session's buffer, at least `needed` bytes long.
    static std::vector<char>& of(Connection& c, qint64 needed) {
        const QString key = QStringLiteral("upload piece buffer");
        auto* kept = static_cast<PieceBuffer*>(c.state(key));
        if (!kept)
            kept = &static_cast<PieceBuffer&>(c.keepState(key, std::make_unique<PieceBuffer>()));
        if (static_cast<qint64>(kept->bytes.size()) < needed)
            kept->bytes.resize(static_cast<size_t>(needed));
        return kept->bytes;
    }
};

// Reads the file in order into a buffer and sends the buffer as long data whenever it is full, so
// the bytes reach the server in file order with bounded memory. Keeps the CRC32 of what it sent
// when the server's copy is to be compared with it. The buffer's size is the largest piece the
// session may send at once.
class ChunkSender {
public:
    ChunkSender(QFile& file, const QString& path, const platform::FileStamp& opened,
                const PreparedStatement& statement, std::vector<char>& buffer, bool summing)
        : file_(file),
          path_(path),
          opened_(opened),
          statement_(statement),
          buffer_(buffer),
          summing_(summing) {}

    // Takes the next bytes of the file; a file that ends before them disagrees with its size. The
    // file is read ahead as far as the buffer and the size it was opened with allow, so that a
    // small file takes one read however many chunks it counts as.
    void append(qint64 bytes) {
        while (bytes > 0) {
            if (filled_ == static_cast<qint64>(buffer_.size())) flush();
            if (read_ == filled_) {
                const qint64 want = std::min(static_cast<qint64>(buffer_.size()) - read_,
                                             opened_.size - readInAll_);
                const qint64 got = want > 0 ? file_.read(buffer_.data() + read_, want) : 0;
                if (got < 0) throw FileFailure(FileAction::Read, path_, file_);
                if (got == 0) throw sizeDisagrees();
                read_ += got;
                readInAll_ += got;
            }
            const qint64 taken = std::min(bytes, read_ - filled_);
            filled_ += taken;
            bytes -= taken;
        }
    }

    // Refuses a file with bytes past the size it had when it was opened.
    void expectEnd() {
        if (!atEnd(file_, path_)) throw sizeDisagrees();
    }

    void flush() {
        if (filled_ == 0) return;
        if (mysql_stmt_send_long_data(statement_.handle(), 0, buffer_.data(),
                                      static_cast<unsigned long>(filled_)) != 0)
            throw notStored(statement_.lastFailure(), path_);
        // Summed once the bytes are on their way, while the server takes them in.
        if (summing_)
            crc_ = crc32_z(crc_, reinterpret_cast<const Bytef*>(buffer_.data()),
                           static_cast<size_t>(filled_));
        // Nothing is read ahead past a full buffer, nor past the last chunk.
        filled_ = 0;
        read_ = 0;
    }

    quint32 crc() const { return static_cast<quint32>(crc_); }

private:
    Failure sizeDisagrees() const { return sizeFailure(file_, path_, opened_); }

    QFile& file_;
    const QString& path_;
    const platform::FileStamp& opened_;
    const PreparedStatement& statement_;
    std::vector<char>& buffer_;
    qint64 filled_ = 0;     // the bytes of the buffer that the chunks so far have taken
    qint64 read_ = 0;       // the bytes of the buffer read from the file
    qint64 readInAll_ = 0;  // the bytes read from the file since it was opened
    bool summing_ = false;
    uLong crc_ = crc32_z(0, nullptr, 0);
};

// The first warning that the last statement left, with the server's code and text.
Failure firstWarning(Connection& c) {
    ResultPtr result = QueryBuffered(c, QStringLiteral("SHOW WARNINGS"));
    if (MYSQL_ROW row = mysql_fetch_row(result.get()); row && row[1] && row[2])
        return Failure(QByteArray(row[1]).toInt(), QString::fromUtf8(row[2]));
    return Failure(0, QStringLiteral("The server warned about the value, so it was not stored."));
}

// The stored value's length and CRC32 (a length of -1 when the server gave nothing to compare),
// and the new row's key when the table has one.
struct StoredValue {
    qint64 length = -1;
    quint32 crc = 0;
    std::optional<qint64> key;
};

// Reads what the INSERT gave back: length, CRC32 and, where asked for, the key.
StoredValue readBack(const PreparedStatement& insert, bool withKey, const QString& path) {
    MYSQL_STMT* stmt = insert.handle();
    StoredValue stored;
    long long values[3] = {0, 0, 0};
    my_bool nulls[3] = {0, 0, 0};
    MYSQL_BIND columns[3]{};
    for (int i = 0; i < 3; ++i) {
        columns[i].buffer_type = MYSQL_TYPE_LONGLONG;
        columns[i].buffer = &values[i];
        columns[i].is_null = &nulls[i];
    }
    // A value the server refuses is refused here, where the answer to the INSERT is read.
    if (mysql_stmt_bind_result(stmt, columns) != 0 || mysql_stmt_store_result(stmt) != 0)
        throw notStored(insert.lastFailure(), path);
    const int fetched = mysql_stmt_fetch(stmt);
    if (fetched == 1) throw notStored(insert.lastFailure(), path);
    if (fetched == 0 || fetched == MYSQL_DATA_TRUNCATED) {
        if (!nulls[0] && !nulls[1]) {
            stored.length = values[0];
            stored.crc = static_cast<quint32>(values[1]);
        }
        // A key past the signed range comes back cut, and would name another row.
        if (withKey && !nulls[2] && fetched == 0) stored.key = values[2];
    }
    mysql_stmt_free_result(stmt);
    return stored;
}

// Reads the new row back by the key that the INSERT gave it, inside the row's transaction, on a
// server whose INSERT cannot give back what it stored.
StoredValue readBackByKey(Connection& c, const UploadTarget& target, qint64 key,
                          const QString& path) {
    const QString column = QuoteIdentifier(target.field());
    const QString sql =
        QStringLiteral("SELECT LENGTH(%1), CRC32(%1) FROM %2 WHERE %3 = ?")
            .arg(column, QuoteIdentifier(target.table()), QuoteIdentifier(target.key()));
    QStringList row;
    try {
        row = FirstRowOf(c, sql, {QString::number(key)});
    } catch (const Failure& f) {
        throw notStored(f, path);
    }
    StoredValue stored;
    stored.key = key;
    if (!row.value(0).isNull() && !row.value(1).isNull()) {
        stored.length = row.value(0).toLongLong();
        stored.crc = row.value(1).toUInt();
    }
    return stored;
}

// One row on its way into the table. Unless it is finished, leaving undoes it: a checked row's
// transaction is rolled back, and long data the server holds for the statement is dropped, so the
// next file starts clean. A statement that cannot be reset is forgotten and prepared afresh.
class PendingRow {
public:
    PendingRow(Connection& c, const QString& table, const QString& field, UploadTarget& target)
        : c_(c), table_(table), field_(field), target_(target) {
        // A checked row waits for COMMIT; any other commits with its INSERT.
        c_.setAutocommit(!target.checked());
    }
    ~PendingRow() {
        if (finished_) return;
        try {
            if (executed_ && !undone_ && target_.checked()) c_.execute(QStringLiteral("ROLLBACK"));
        } catch (const Failure&) {
            // A session that is gone took its transaction with it.
        }
        MYSQL_STMT* stmt = target_.insert().handle();
        if (mysql_stmt_reset(stmt) != 0) UploadTarget::forget(c_, table_, field_);
    }
    PendingRow(const PendingRow&) = delete;
    PendingRow& operator=(const PendingRow&) = delete;

    void execute(const QString& path) {
        executed_ = true;
        if (mysql_stmt_execute(target_.insert().handle()) != 0)
            throw notStored(target_.insert().lastFailure(), path);
    }
    void commit(const QString& path) {
        try {
            if (target_.checked()) c_.execute(QStringLiteral("COMMIT"));
        } catch (const Failure& f) {
            throw notStored(f, path);
        }
        finished_ = true;
    }
    // Takes back a row whose stored value is not the file's; tells whether it stays all the same.
    // A rollback undoes it unless the table cannot undo (MyISAM, Aria: the server warns so); a
    // row committed already, or kept by such a table, is deleted by its key, with the value that
    // was stored, so no other row can be hit.
    bool undo(const StoredValue& stored) {
        undone_ = true;
        bool stays = true;
        if (target_.checked()) {
            c_.execute(QStringLiteral("ROLLBACK"));
            stays = mysql_warning_count(c_.handle()) != 0;
        }
        if (!stays || !stored.key) return stays;
        const QString column = QuoteIdentifier(target_.field());
        const auto value = [](qint64 v, bool known) {
            return known ? QString::number(v) : QStringLiteral("NULL");
        };
        try {
            c_.execute(QStringLiteral("DELETE FROM %1 WHERE %2 = %3 AND LENGTH(%4) <=> %5 AND "
                                      "CRC32(%4) <=> %6 LIMIT 1")
                           .arg(QuoteIdentifier(target_.table()), QuoteIdentifier(target_.key()))
                           .arg(*stored.key)
                           .arg(column, value(stored.length, stored.length >= 0),
                                value(stored.crc, stored.length >= 0)));
            const my_ulonglong removed = mysql_affected_rows(c_.handle());
            if (target_.checked()) c_.execute(QStringLiteral("COMMIT"));
            // Nothing to delete after a rollback: the row went with it (another table of the
            // statement, written by a trigger, could not be undone). A committed row stays.
            return removed == 0 && !target_.checked();
        } catch (const Failure&) {
            return true;  // not allowed to delete, or the table changed: the row is still there
        }
    }

private:
    Connection& c_;
    const QString& table_;
    const QString& field_;
    UploadTarget& target_;
    bool executed_ = false;
    bool undone_ = false;
    bool finished_ = false;
};

QString storedText(qint64 size, const StoredValue& stored) {
    return stored.length < 0 ? QStringLiteral("nothing it could check")
           : stored.length == size
               ? QStringLiteral("other bytes of the same length")
               : QStringLiteral("%1 bytes where the file has %2").arg(stored.length).arg(size);
}

Failure otherBytesFailure(const QString& path, qint64 size, const StoredValue& stored,
                          const std::optional<Failure>& warning, bool stays) {
    QString text = stays ? QStringLiteral(
                               "The server stored %1 for the file \"%2\"; the row stays, because "
                               "the table cannot undo it.")
                         : QStringLiteral(
                               "The server would have stored %1 for the file \"%2\"; it was "
                               "not stored.");
    text = text.arg(storedText(size, stored), path);
    if (warning) text += QStringLiteral(" The server said: ") + warning->description;
    return Failure(warning ? warning->number : 0, text);
}

}  // namespace

void MakeUploadSessionStrict(Connection& c) {
    c.execute(
        QStringLiteral("SET SESSION sql_mode = IF(@@SESSION.sql_mode = '', 'STRICT_ALL_TABLES', "
                       "CONCAT(@@SESSION.sql_mode, ',STRICT_ALL_TABLES'))"));
}

qint64 LongDataPieceBytes(qint64 maxAllowedPacket, bool compressed) {
    const qint64 header = kLongDataHeaderBytes + (compressed ? kCompressedPacketHeaderBytes : 0);
    return std::clamp(maxAllowedPacket - header - 1, qint64{1}, kGatherBytes);
}

void UploadFileToBlob(Connection& c, const QString& table, const QString& field,
                      const QString& path, TransferEvents& events) {
    // A session lost with the file before (or one that could not be opened again for it) is
    // opened anew, once for this file: one lost connection costs one file, not the rest of the run.
    if (c.lost() || !c.isOpen()) {
        c.reopen();
        MakeUploadSessionStrict(c);
    }
    // Made on the first file: an unknown table or column is reported before the file is touched.
    UploadTarget& target = UploadTarget::of(c, table, field);

    QFile file(path);
    platform::OpenRegularFileForReading(file);
    // What the file is now; any difference at the end means it changed while it was read.
    const std::optional<platform::FileStamp> opened = platform::StampOfOpenFile(file);
    if (!opened) throw FileFailure(FileAction::Read, path, file);
    const qint64 size = opened->size;
    const qint64 limit = c.maxAllowedPacket();
    if (size > limit) throw tooLargeFailure(path, size, limit);
    if (size == 0) {
        // An empty file adds no row, but one that only says it is empty is not taken for one.
        if (!atEnd(file, path)) throw sizeFailure(file, path, *opened);
        return;
    }
    target.refuseFor(path, size);

    PendingRow row(c, table, field, target);
    ChunkSender sender(
        file, path, *opened, target.insert(),
        PieceBuffer::of(c, std::min(size, LongDataPieceBytes(limit, c.compressed()))),
        target.readsBack() || !target.key().isEmpty());
    const qint64 wholeChunks = size / kUploadChunkBytes;
    const qint64 remainder = size % kUploadChunkBytes;
    if (remainder != 0) sender.append(remainder);

    events.progressRange(0, wholeChunks > 1 ? static_cast<int>(wholeChunks) : 1);
    events.progressValue(0);
    for (qint64 k = 1; k <= wholeChunks; ++k) {
        sender.append(kUploadChunkBytes);
        events.yield();
        events.progressValue(static_cast<int>(k));
        events.yield();
    }
    sender.expectEnd();
    if (platform::StampOfPath(path) != opened) throw changedFailure(path);
    sender.flush();

    row.execute(path);
    // The INSERT's own warnings, read before any other statement replaces them.
    std::optional<Failure> warning;
    const auto takeWarning = [&] {
        if (mysql_warning_count(c.handle()) != 0) warning = firstWarning(c);
    };
    std::optional<StoredValue> stored;
    if (target.readsBack()) {
        stored = readBack(target.insert(), !target.key().isEmpty(), path);
    } else if (const my_ulonglong key = mysql_stmt_insert_id(target.insert().handle());
               target.checked() && !target.key().isEmpty() && key != 0) {
        takeWarning();
        stored = readBackByKey(c, target, static_cast<qint64>(key), path);
    }
    if (stored) {
        if (stored->length != size || stored->crc != sender.crc()) {
            if (target.readsBack()) takeWarning();
            throw otherBytesFailure(path, size, *stored, warning, row.undo(*stored));
        }
    } else if (target.checked() && mysql_warning_count(c.handle()) != 0) {
        // Without the stored value to compare, whatever the server warned about is not trusted to
        // be the file's bytes.
        throw notStored(firstWarning(c), path);
    }
    row.commit(path);
    file.close();
    events.fileStored(path);
}
