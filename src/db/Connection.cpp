#include "db/Connection.h"

#include <errmsg.h>
#include <mariadb_version.h>
#include <mysqld_error.h>

#include <optional>

#include "core/platform/ServerCertificate.h"
#include "core/platform/ServerLink.h"
#include "db/AuthenticationMethods.h"
#include "db/ConnectionString.h"
#include "db/RememberedCertificates.h"
#include "db/ServerAddress.h"

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

const QString kLocalHost = QStringLiteral("localhost");

struct Login {
    QString user;
    QString password;
    QString database;
    unsigned int port = 0;
    bool compressed = false;
    int connectTimeout = 0;
    int commandTimeout = 0;
};

enum class Transport { Tcp, LocalSocket };

bool isUnreachable(const Failure& f) {
    return f.number == CR_CONNECTION_ERROR || f.number == CR_CONN_HOST_ERROR;
}

// The server as the user named it, which its certificate is remembered under.
struct Server {
    QString name;
    unsigned int port = 0;
    QByteArray rememberedKey;
};

Failure refusal(const AuthenticationRefusal& r, const Server& server) {
    if (r.reason == AuthenticationRefusal::Reason::CertificateChanged)
        return Failure(
            kCertificateChangedFailure,
            // Short enough to be shown whole in a report, the place to remove coming before the
            // last words.
            QStringLiteral(
                "The certificate of the server %1 (port %2) has changed since it was first seen "
                "and the system does not trust it, so the password that \"%3\" asks for was not "
                "sent. To accept the new certificate, remove %4; the next login remembers it.")
                .arg(server.name)
                .arg(server.port)
                .arg(r.method, RememberedCertificateLocation(server.name, server.port)));
    if (r.method.isEmpty())
        return Failure(CR_PLUGIN_NOT_ALLOWED,
                       QStringLiteral("The server asked for an authentication method that the "
                                      "program does not allow."));
    QString why;
    switch (r.reason) {
        case AuthenticationRefusal::Reason::ClearText:
            why = QStringLiteral(
                "which would send the password unencrypted; the program does "
                "not allow it.");
            break;
        case AuthenticationRefusal::Reason::NeedsTls:
            why = QStringLiteral(
                "which sends the password itself and is safe only over an "
                "encrypted connection, but the server offers no encryption; the "
                "program does not allow it.");
            break;
        default:
            why = QStringLiteral("which the program does not allow.");
    }
    return Failure(CR_PLUGIN_NOT_ALLOWED,
                   QStringLiteral("The server asked for the authentication method \"%1\", %2")
                       .arg(r.method, why));
}

// One attempt at one address. Nothing of the profile reaches the library as an option: the host is
// a checked name or address, the other values travel as data in the login.
MYSQL* connectOnce(const Login& login, const Server& server, Transport transport,
                   const QString& host) {
    MYSQL* mysql = mysql_init(nullptr);
    if (!mysql) throw driverFailure(QStringLiteral("Out of memory"));
    std::unique_ptr<MYSQL, decltype(&mysql_close)> guard(mysql, &mysql_close);

    setTimeout(mysql, MYSQL_OPT_CONNECT_TIMEOUT, login.connectTimeout);
    setTimeout(mysql, MYSQL_OPT_READ_TIMEOUT, login.commandTimeout);
    setTimeout(mysql, MYSQL_OPT_WRITE_TIMEOUT, login.commandTimeout);
    mysql_optionsv(mysql, MYSQL_OPT_MAX_ALLOWED_PACKET, &kClientMaxPacket);
    mysql_optionsv(mysql, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    if (login.compressed) mysql_optionsv(mysql, MYSQL_OPT_COMPRESS, nullptr);
    ProtectSession(mysql, transport == Transport::Tcp);
    const unsigned int protocol =
        transport == Transport::Tcp ? MYSQL_PROTOCOL_TCP : MYSQL_PROTOCOL_SOCKET;
    mysql_optionsv(mysql, MYSQL_OPT_PROTOCOL, &protocol);

    StartAuthenticationNotes(server.name, server.rememberedKey);
    const QByteArray hostText = host.toUtf8();
    const QByteArray user = login.user.toUtf8();
    const QByteArray password = login.password.toUtf8();
    const QByteArray database = login.database.toUtf8();
    if (!mysql_real_connect(mysql, hostText.constData(), user.constData(), password.constData(),
                            database.isEmpty() ? nullptr : database.constData(), login.port,
                            nullptr, 0)) {
        const AuthenticationRefusal refused = TakeAuthenticationRefusal(mysql_errno(mysql));
        if (refused.reason != AuthenticationRefusal::Reason::None) throw refusal(refused, server);
        throw DatabaseFailure(mysql_errno(mysql), mysql_error(mysql));
    }
    if (transport == Transport::Tcp)
        RememberCertificate(server.name, server.port,
                            platform::SessionCertificate(mysql, server.name).publicKeySha256);
    return guard.release();
}
}  // namespace

void ProtectSession(MYSQL* mysql, bool overTcp) {
    // A server must not be able to ask for the user's files.
    const my_bool off = 0;
    mysql_optionsv(mysql, MYSQL_OPT_LOCAL_INFILE, &off);
    mysql_optionsv(mysql, MARIADB_OPT_RESTRICTED_AUTH, AllowedAuthenticationMethods());
    StartWithOwnMethod(mysql);
    // Plug-ins come from the program's plug-in folder only.
    mysql_optionsv(mysql, MYSQL_PLUGIN_DIR, platform::ClientPluginFolder().constData());
    if (overTcp) {
        // Encrypted whenever the server offers TLS, in clear with one that does not.
        const my_bool on = 1;
        mysql_optionsv(mysql, MYSQL_OPT_SSL_ENFORCE, &on);
        mysql_optionsv(mysql, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &off);
    }
}

Connection::Connection() = default;

Connection::~Connection() {
    close();
}

void Connection::close() {
    // Prepared statements go back to the session that made them.
    states_.clear();
    if (mysql_) mysql_close(mysql_);
    mysql_ = nullptr;
    maxAllowedPacket_ = -1;
    serverVersion_.clear();
}

void Connection::abort() {
    if (!mysql_) return;
    platform::ResetOnClose(static_cast<qintptr>(mysql_get_socket(mysql_)));
    mariadb_cancel(mysql_);
}

MYSQL* Connection::handle() const {
    if (!mysql_)
        throw Failure(3709,
                      QStringLiteral("The connection cannot be used to perform this operation. "
                                     "It is either closed or invalid in this context."));
    return mysql_;
}

Failure Connection::lastFailure() const {
    return DatabaseFailure(mysql_errno(mysql_), mysql_error(mysql_));
}

Failure DatabaseFailure(unsigned int number, const char* text) {
    // A message that is empty, or that starts with a zero byte and so reads as empty, still says
    // which error it was.
    if (!text || text[0] == '\0')
        return Failure(
            static_cast<int>(number),
            QStringLiteral("The server reported error %1 without a description.").arg(number));
    return Failure(static_cast<int>(number), QString::fromUtf8(text));
}

void Connection::open(const QString& connectionString) {
    close();
    connectionString_ = connectionString;
    const QMap<QString, QString> values = ParseConnectionString(connectionString);
    if (values.value(QStringLiteral("DRIVER")).compare(kDriverName, Qt::CaseInsensitive) != 0)
        throw driverFailure(
            QStringLiteral("Data source name not found and no default driver specified"));

    const QString server = values.value(QStringLiteral("SERVER"));
    const unsigned int port = parsePort(values.value(QStringLiteral("PORT")));
    const int options = values.value(QStringLiteral("OPTION")).toInt();

    Login login;
    login.user = values.value(QStringLiteral("USER"));
    login.password = values.value(QStringLiteral("PASSWORD"));
    login.database = values.value(QStringLiteral("DATABASE"));
    CheckProfileText(QStringLiteral("user name"), login.user);
    CheckProfileText(QStringLiteral("password"), login.password);
    CheckProfileText(QStringLiteral("database name"), login.database);
    // An empty server means this computer, as it always has.
    const QString host = server.isEmpty() ? kLocalHost : LibraryHostFor(server);
    login.port = port;
    login.compressed = (options & kCompressedProtocolOption) != 0 && compressionPays_;
    login.connectTimeout = connectionTimeout_ > 0 ? connectionTimeout_ : kDefaultConnectionTimeout;
    login.commandTimeout = commandTimeout_ > 0 ? commandTimeout_ : kDefaultCommandTimeout;

    const Server identity{host, port, RememberedCertificate(host, port)};

    // Every address of the name is tried over TCP in turn; "localhost" falls back to the client
    // library's local socket only when nothing accepts a TCP connection at the port.
    std::optional<Failure> unreachable;
    for (const QString& address : ResolveHost(host, login.connectTimeout)) {
        try {
            mysql_ = connectOnce(login, identity, Transport::Tcp, address);
            break;
        } catch (const Failure& f) {
            if (!isUnreachable(f)) throw;
            if (!unreachable) unreachable = f;
        }
    }
    if (!mysql_ && host.compare(kLocalHost, Qt::CaseInsensitive) == 0 &&
        platform::HasDefaultLocalSocket()) {
        try {
            mysql_ = connectOnce(login, identity, Transport::LocalSocket, kLocalHost);
        } catch (const Failure& f) {
            if (!isUnreachable(f)) throw;
        }
    }
    if (!mysql_) throw *unreachable;
    compressed_ = login.compressed;

    if (commandTimeout_ > 0) {
        // The server's own waits must be as patient as the client's.
        execute(QStringLiteral("SET SESSION net_read_timeout=%1, net_write_timeout=%1")
                    .arg(commandTimeout_));
    }
}

QString Connection::tlsCipher() const {
    const char* cipher = mysql_get_ssl_cipher(handle());
    return cipher ? QString::fromLatin1(cipher) : QString();
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

void Connection::learnServer() {
    if (maxAllowedPacket_ >= 0) return;
    ResultPtr result =
        QueryBuffered(*this, QStringLiteral("SELECT @@max_allowed_packet, VERSION()"));
    MYSQL_ROW row = mysql_fetch_row(result.get());
    if (!row || !row[0]) throw Failure(0, QStringLiteral("The server did not tell its limit."));
    maxAllowedPacket_ = QByteArray(row[0]).toLongLong();
    serverVersion_ = row[1] ? QString::fromUtf8(row[1]) : QString();
}

qint64 Connection::maxAllowedPacket() {
    learnServer();
    return maxAllowedPacket_;
}

bool Connection::insertReturns() {
    learnServer();
    // MariaDB names itself in its version ("10.11.6-MariaDB-log"); MySQL has no RETURNING.
    if (!serverVersion_.contains(QLatin1String("MariaDB"))) return false;
    const QStringList parts = serverVersion_.section(u'-', 0, 0).split(u'.');
    const int major = parts.value(0).toInt();
    const int minor = parts.value(1).toInt();
    return major > 10 || (major == 10 && minor >= 5);
}

bool Connection::lost() const {
    if (!mysql_) return false;
    // The library closes its side of a link that broke; a session the server ended may still
    // have it open, but its last answer said so.
    const my_socket socket = mysql_get_socket(mysql_);
    if (socket == static_cast<my_socket>(MARIADB_INVALID_SOCKET)) return true;
    // A server that ended an idle session has closed its side, or said why first.
    if (platform::HasUnaskedInput(static_cast<qintptr>(socket))) return true;
    switch (mysql_errno(mysql_)) {
        case CR_SERVER_GONE_ERROR:
        case CR_SERVER_LOST:
        case CR_SERVER_LOST_EXTENDED:
        case ER_CONNECTION_KILLED:
            return true;
        default:
            return false;
    }
}

void Connection::reopen() {
    if (connectionString_.isEmpty()) handle();  // never opened: says so as any use would
    open(QString(connectionString_));
}

void Connection::setAutocommit(bool on) {
    unsigned int status = 0;
    mariadb_get_infov(handle(), MARIADB_CONNECTION_SERVER_STATUS, &status);
    if (((status & SERVER_STATUS_AUTOCOMMIT) != 0) == on) return;
    if (mysql_autocommit(handle(), on ? 1 : 0) != 0) throw lastFailure();
}

SessionState* Connection::state(const QString& key) const {
    const auto found = states_.find(key);
    return found == states_.end() ? nullptr : found->second.get();
}

SessionState& Connection::keepState(const QString& key, std::unique_ptr<SessionState> state) {
    std::unique_ptr<SessionState>& slot = states_[key];
    slot = std::move(state);
    return *slot;
}

void Connection::dropState(const QString& key) {
    states_.erase(key);
}

ResultPtr QueryBuffered(Connection& connection, const QString& sql) {
    send(connection, sql);
    return rowsOf(connection, mysql_store_result(connection.handle()), sql);
}

ResultPtr QueryStreamed(Connection& connection, const QString& sql) {
    send(connection, sql);
    return rowsOf(connection, mysql_use_result(connection.handle()), sql);
}

QString QuoteIdentifier(const QString& name) {
    QString inner = name;
    inner.replace(QStringLiteral("`"), QStringLiteral("``"));
    return u'`' + inner + u'`';
}

std::optional<Failure> ConnectionFailure(const ConnectionProfile& profile) {
    try {
        Connection connection;
        connection.open(BuildConnectionString(profile, false));
        return std::nullopt;
    } catch (const Failure& f) {
        return f;
    }
}

bool CanConnectToMySQL(const ConnectionProfile& profile) {
    return !ConnectionFailure(profile);
}
