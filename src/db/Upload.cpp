#include "db/Upload.h"

#include <QFile>
#include <vector>

#include "db/Statement.h"

namespace {

// Chunks are gathered into network writes of up to this size: one write per chunk would spend
// half the time on packet overhead.
constexpr qint64 kGatherBytes = 1024 * 1024;

Failure readFailure(const QString& path, const QString& reason) {
    return Failure(Failure::kPathFileAccessError,
                   QStringLiteral("The file \"%1\" could not be read: %2").arg(path, reason));
}

Failure tooLargeFailure(const QString& path, qint64 size, qint64 limit) {
    return Failure(
        0, QStringLiteral("The file \"%1\" is %2 bytes, larger than the %3 bytes that the server "
                          "accepts in one value (its max_allowed_packet). Ask the server's "
                          "administrator to raise max_allowed_packet (at most 1G), for example "
                          "with SET GLOBAL max_allowed_packet=1073741824 or in the server's "
                          "configuration, then upload the file again.")
               .arg(path)
               .arg(size)
               .arg(limit));
}

// Reads the file in order into a buffer and sends the buffer as long data whenever the next chunk
// would not fit, so the bytes reach the server in file order with bounded memory.
class ChunkSender {
public:
    ChunkSender(QFile& file, const PreparedStatement& statement)
        : file_(file), statement_(statement), buffer_(static_cast<size_t>(kGatherBytes)) {}

    void append(qint64 bytes) {
        if (filled_ + bytes > kGatherBytes) flush();
        const qint64 got = file_.read(buffer_.data() + filled_, bytes);
        if (got != bytes)
            throw readFailure(file_.fileName(),
                              got < 0 ? file_.errorString() : QStringLiteral("it became shorter"));
        filled_ += got;
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

}  // namespace

QString UploadStatement(const QString& table, const QString& field) {
    return QStringLiteral("INSERT INTO ") + QuoteIdentifier(table) + QStringLiteral(" (") +
           QuoteIdentifier(field) + QStringLiteral(") VALUES (?)");
}

void UploadFileToBlob(Connection& c, const QString& table, const QString& field,
                      const QString& path, TransferEvents& events) {
    // Preparing first reports an unknown table or column before the file is touched.
    const PreparedStatement statement(c, UploadStatement(table, field));

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw readFailure(path, file.errorString());
    const qint64 size = file.size();
    if (size == 0) return;
    const qint64 limit = c.maxAllowedPacket();
    if (size > limit) throw tooLargeFailure(path, size, limit);

    MYSQL_BIND value{};
    value.buffer_type = MYSQL_TYPE_LONG_BLOB;
    if (mysql_stmt_bind_param(statement.handle(), &value) != 0) throw statement.lastFailure();

    const qint64 wholeChunks = size / kUploadChunkBytes;
    const qint64 remainder = size % kUploadChunkBytes;
    ChunkSender sender(file, statement);
    if (remainder != 0) sender.append(remainder);

    events.progressRange(0, wholeChunks > 1 ? static_cast<int>(wholeChunks) : 1);
    events.progressValue(0);
    for (qint64 k = 1; k <= wholeChunks; ++k) {
        sender.append(kUploadChunkBytes);
        events.yield();
        events.progressValue(static_cast<int>(k));
        events.yield();
    }
    sender.flush();

    if (mysql_stmt_execute(statement.handle()) != 0) throw statement.lastFailure();
    file.close();
    events.fileStored(path);
}
