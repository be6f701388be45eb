#include "db/Connection.h"

#include "db/ConnectionString.h"

namespace {
// The largest packet the client accepts. A row carrying a value of the server's largest
// max_allowed_packet (1 GiB) is a little longer than that, so the client allows more.
constexpr size_t kClientMaxPacket = size_t{2} * 1024 * 1024 * 1024;

Failure driverFailure(const QString& text) {
    return Failure(0, text);
}

unsigned int parsePort(const QString& text) {
    if (text.isEmpty()) return 3306;
    bool ok = false;
    const uint port = text.toUInt(&ok);
    if (!ok || port < 1 || port > 65535 || text.front() == u'+')
        throw driverFailure(
            QStringLiteral("The port \"%1\" is not a whole number from 1 to 65535.").arg(text));
    return port;
}

void setTimeout(MYSQL* mysql, mysql_option option, int seconds) {
    const unsigned int value = static_cast<unsigned int>(seconds);
    mysql_optionsv(mysql, option, &value);
}
}  // namespace

Connection::Connection() = default;

Connection::~Connection() {
    close();
}

void Connection::close() {
    if (mysql_) mysql_close(mysql_);
    mysql_ = nullptr;
    maxAllowedPacket_ = -1;
}

MYSQL* Connection::handle() const {
    if (!mysql_)
        throw Failure(3709,
                      QStringLiteral("The connection cannot be used to perform this operation. "
                                     "It is either closed or invalid in this context."));
    return mysql_;
}

Failure Connection::lastFailure() const {
    return Failure(static_cast<int>(mysql_errno(mysql_)), QString::fromUtf8(mysql_error(mysql_)));
}

void Connection::open(const QString& connectionString) {
    close();
    const QMap<QString, QString> values = ParseConnectionString(connectionString);
    if (values.value(QStringLiteral("DRIVER")).compare(kDriverName, Qt::CaseInsensitive) != 0)
        throw driverFailure(
            QStringLiteral("Data source name not found and no default driver specified"));

    const QString server = values.value(QStringLiteral("SERVER"));
    const unsigned int port = parsePort(values.value(QStringLiteral("PORT")));
    const int options = values.value(QStringLiteral("OPTION")).toInt();
    compressed_ = (options & kCompressedProtocolOption) != 0;

    MYSQL* mysql = mysql_init(nullptr);
    if (!mysql) throw driverFailure(QStringLiteral("Out of memory"));
    std::unique_ptr<MYSQL, decltype(&mysql_close)> guard(mysql, &mysql_close);

    const int connectTimeout =
        connectionTimeout_ > 0 ? connectionTimeout_ : kDefaultConnectionTimeout;
    const int commandTimeout = commandTimeout_ > 0 ? commandTimeout_ : kDefaultCommandTimeout;
    setTimeout(mysql, MYSQL_OPT_CONNECT_TIMEOUT, connectTimeout);
    setTimeout(mysql, MYSQL_OPT_READ_TIMEOUT, commandTimeout);
    setTimeout(mysql, MYSQL_OPT_WRITE_TIMEOUT, commandTimeout);
    mysql_optionsv(mysql, MYSQL_OPT_MAX_ALLOWED_PACKET, &kClientMaxPacket);
    mysql_optionsv(mysql, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    if (compressed_) mysql_optionsv(mysql, MYSQL_OPT_COMPRESS, nullptr);

    const QByteArray host = server.toUtf8();
    const QByteArray user = values.value(QStringLiteral("USER")).toUtf8();
    const QByteArray password = values.value(QStringLiteral("PASSWORD")).toUtf8();
    const QByteArray database = values.value(QStringLiteral("DATABASE")).toUtf8();
    if (!mysql_real_connect(mysql, host.constData(), user.constData(), password.constData(),
                            database.isEmpty() ? nullptr : database.constData(), port, nullptr,
                            0)) {
        throw Failure(static_cast<int>(mysql_errno(mysql)), QString::fromUtf8(mysql_error(mysql)));
    }
    mysql_ = guard.release();
    if (commandTimeout_ > 0) {
        // The server's own waits must be as patient as the client's.
        execute(QStringLiteral("SET SESSION net_read_timeout=%1, net_write_timeout=%1")
                    .arg(commandTimeout_));
    }
}

namespace {
void send(Connection& connection, const QString& sql) {
    const QByteArray text = sql.toUtf8();
    if (mysql_real_query(connection.handle(), text.constData(),
                         static_cast<unsigned long>(text.size())) != 0)
        throw connection.lastFailure();
}

ResultPtr rowsOf(Connection& connection, MYSQL_RES* result, const QString& sql) {
    if (!result && mysql_errno(connection.handle()) != 0) throw connection.lastFailure();
    if (!result) throw Failure(0, QStringLiteral("The statement returned no rows: %1").arg(sql));
    return ResultPtr(result);
}
}  // namespace

void Connection::execute(const QString& sql) {
    send(*this, sql);
    // Discard any result so the session is ready for the next statement.
    if (MYSQL_RES* r = mysql_store_result(mysql_)) mysql_free_result(r);
}

qint64 Connection::maxAllowedPacket() {
    if (maxAllowedPacket_ < 0) {
        ResultPtr result = QueryBuffered(*this, QStringLiteral("SELECT @@max_allowed_packet"));
        MYSQL_ROW row = mysql_fetch_row(result.get());
        if (!row || !row[0]) throw Failure(0, QStringLiteral("The server did not tell its limit."));
        maxAllowedPacket_ = QByteArray(row[0]).toLongLong();
    }
    return maxAllowedPacket_;
}

ResultPtr QueryBuffered(Connection& connection, const QString& sql) {
    send(connection, sql);
    return rowsOf(connection, mysql_store_result(connection.handle()), sql);
}

ResultPtr QueryStreamed(Connection& connection, const QString& sql) {
    send(connection, sql);
    return rowsOf(connection, mysql_use_result(connection.handle()), sql);
}

ResultPtr Query(Connection& connection, const QString& sql) {
    return connection.cursorLocation() == Connection::kClientCursor
               ? QueryBuffered(connection, sql)
               : QueryStreamed(connection, sql);
}

QString QuoteIdentifier(const QString& name) {
    QString inner = name;
    inner.replace(QStringLiteral("`"), QStringLiteral("``"));
    return u'`' + inner + u'`';
}

bool CanConnectToMySQL(const ConnectionProfile& profile) {
    try {
        Connection connection;
        connection.open(BuildConnectionString(profile, false));
        return true;
    } catch (const Failure&) {
        return false;
    }
}
