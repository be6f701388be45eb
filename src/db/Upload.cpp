#include "db/Upload.h"

#include <QFile>
#include <algorithm>
#include <optional>
#include <vector>

#include "app/FileFailure.h"
#include "app/Platform.h"
#include "db/ColumnType.h"
#include "db/Download.h"
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

// Refuses, before anything is sent, a column that would keep something other than the file's bytes
// without the server saying so: numbers, dates and times, bits, enumerations and sets, geometry and
// text of fixed length convert or trim a value quietly even in a strict session, and a BINARY(n)
// column pads a shorter value with zero bytes. Binary and text columns of varying length are left
// to the server, which refuses in strict mode what they cannot hold.
void refuseConvertingColumn(Connection& c, const QString& table, const QString& field,
                            const QString& path, qint64 size) {
    const PreparedStatement select(c, DownloadStatement(table, field));
    if (select.fieldCount() == 0) return;
    const MYSQL_FIELD& column = select.field(0);
    const bool binary = column.charsetnr == kBinaryCharset;
    const bool enumOrSet = (column.flags & (ENUM_FLAG | SET_FLAG)) != 0;
    bool keepsBytes = false;
    switch (column.type) {
        case MYSQL_TYPE_TINY_BLOB:
        case MYSQL_TYPE_MEDIUM_BLOB:
        case MYSQL_TYPE_LONG_BLOB:
        case MYSQL_TYPE_BLOB:
        case MYSQL_TYPE_VARCHAR:
        case MYSQL_TYPE_VAR_STRING:
            keepsBytes = !enumOrSet;
            break;
        case MYSQL_TYPE_STRING:
            keepsBytes = binary && !enumOrSet;
            break;
        default:
            break;
    }
    if (!keepsBytes)
        throw Failure(0, QStringLiteral("The column \"%1\" would change the file's bytes (it does "
                                        "not hold binary data); the file \"%2\" was not stored.")
                             .arg(field, path));
    if (column.type == MYSQL_TYPE_STRING && size < static_cast<qint64>(column.length))
        throw Failure(0, QStringLiteral("The file \"%1\" is %2 bytes, but the column \"%3\" holds "
                                        "exactly %4 bytes and would fill the rest with zeros; it "
                                        "was not stored.")
                             .arg(path)
                             .arg(size)
                             .arg(field)
                             .arg(column.length));
}

Failure changedFailure(const QString& path) {
    return Failure(Failure::kPathFileAccessError,
                   QStringLiteral("The file \"%1\" changed while it was being uploaded; it was not "
                                  "stored.")
                       .arg(path));
}

// Reads the file in order into a buffer and sends the buffer as long data whenever it is full, so
// the bytes reach the server in file order with bounded memory.
class ChunkSender {
public:
    ChunkSender(QFile& file, const PreparedStatement& statement, qint64 pieceBytes)
        : file_(file), statement_(statement), buffer_(static_cast<size_t>(pieceBytes)) {}

    // Reads the next bytes of the file; a file that ends before them has changed.
    void append(qint64 bytes) {
        while (bytes > 0) {
            if (filled_ == static_cast<qint64>(buffer_.size())) flush();
            const qint64 want = std::min(bytes, static_cast<qint64>(buffer_.size()) - filled_);
            const qint64 got = file_.read(buffer_.data() + filled_, want);
            if (got < 0) throw FileFailure(FileAction::Read, file_.fileName(), file_);
            if (got < want) throw changedFailure(file_.fileName());
            filled_ += got;
            bytes -= got;
        }
    }

    // Whether the file ends where it ended when it was opened.
    bool atEnd() {
        char extra = 0;
        const qint64 got = file_.read(&extra, 1);
        if (got < 0) throw FileFailure(FileAction::Read, file_.fileName(), file_);
        return got == 0;
    }

    void flush() {
        if (filled_ == 0) return;
        if (mysql_stmt_send_long_data(statement_.handle(), 0, buffer_.data(),
                                      static_cast<unsigned long>(filled_)) != 0)
            throw statement_.lastFailure();
        filled_ = 0;
    }

private:
    QFile& file_;
    const PreparedStatement& statement_;
    std::vector<char> buffer_;
    qint64 filled_ = 0;
};

// A transaction that holds one row: rolled back unless committed, so a failure anywhere leaves
// nothing behind.
class OwnTransaction {
public:
    explicit OwnTransaction(Connection& c) : c_(c) {
        c_.execute(QStringLiteral("START TRANSACTION"));
    }
    ~OwnTransaction() {
        if (committed_) return;
        try {
            c_.execute(QStringLiteral("ROLLBACK"));
        } catch (const Failure&) {
            // A session that is gone took its transaction with it.
        }
    }
    OwnTransaction(const OwnTransaction&) = delete;
    OwnTransaction& operator=(const OwnTransaction&) = delete;

    void commit() {
        c_.execute(QStringLiteral("COMMIT"));
        committed_ = true;
    }

private:
    Connection& c_;
    bool committed_ = false;
};

// The first warning that the last statement left, with the server's code and text.
Failure firstWarning(Connection& c) {
    ResultPtr result = QueryBuffered(c, QStringLiteral("SHOW WARNINGS"));
    if (MYSQL_ROW row = mysql_fetch_row(result.get()); row && row[1] && row[2])
        return Failure(QByteArray(row[1]).toInt(), QString::fromUtf8(row[2]));
    return Failure(0, QStringLiteral("The server warned about the value, so it was not stored."));
}

}  // namespace

QString UploadStatement(const QString& table, const QString& field) {
    return QStringLiteral("INSERT INTO ") + QuoteIdentifier(table) + QStringLiteral(" (") +
           QuoteIdentifier(field) + QStringLiteral(") VALUES (?)");
}

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
    // Preparing first reports an unknown table or column before the file is touched.
    const PreparedStatement statement(c, UploadStatement(table, field));

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw FileFailure(FileAction::Read, path, file);
    // What the file is now; any difference at the end means it changed while it was read.
    const std::optional<platform::FileStamp> opened = platform::StampOfOpenFile(file);
    if (!opened) throw FileFailure(FileAction::Read, path, file);
    const qint64 size = opened->size;
    if (size == 0) return;
    const qint64 limit = c.maxAllowedPacket();
    if (size > limit) throw tooLargeFailure(path, size, limit);
    refuseConvertingColumn(c, table, field, path, size);

    MYSQL_BIND value{};
    value.buffer_type = MYSQL_TYPE_LONG_BLOB;
    if (mysql_stmt_bind_param(statement.handle(), &value) != 0) throw statement.lastFailure();

    OwnTransaction transaction(c);
    const qint64 wholeChunks = size / kUploadChunkBytes;
    const qint64 remainder = size % kUploadChunkBytes;
    ChunkSender sender(file, statement, LongDataPieceBytes(limit, c.compressed()));
    if (remainder != 0) sender.append(remainder);

    events.progressRange(0, wholeChunks > 1 ? static_cast<int>(wholeChunks) : 1);
    events.progressValue(0);
    for (qint64 k = 1; k <= wholeChunks; ++k) {
        sender.append(kUploadChunkBytes);
        events.yield();
        events.progressValue(static_cast<int>(k));
        events.yield();
    }
    if (!sender.atEnd() || platform::StampOfPath(path) != opened) throw changedFailure(path);
    sender.flush();

    if (mysql_stmt_execute(statement.handle()) != 0) throw statement.lastFailure();
    // Strict mode turns a value that does not fit into an error; whatever still only warns is
    // not trusted to be the file's bytes either.
    if (mysql_warning_count(c.handle()) != 0) throw firstWarning(c);
    transaction.commit();
    file.close();
    events.fileStored(path);
}
