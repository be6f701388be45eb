#pragma once

#include <mysql.h>

#include <QString>
#include <QStringList>
#include <map>
#include <memory>
#include <optional>

#include "core/Failure.h"

// Sets the protections every session of the program has on a handle not yet connected: no files
// sent at the server's request, only authentication methods that keep the password from the
// wire (a method that sends the password itself only inside TLS), the program's own method first
// so that a refusal can name the method the server asked for, plug-ins from the library's own
// folder, and over TCP encryption whenever the server offers it.
void ProtectSession(MYSQL* mysql, bool overTcp);

// A failure from the client library's or the server's error number and message. An empty message
// is described by its number.
Failure DatabaseFailure(unsigned int number, const char* text);

// What a kind of work learns and prepares once per session and then reuses for every item it
// handles: prepared statements, what it found out about a table. It goes before the session does.
struct SessionState {
    virtual ~SessionState() = default;
};

// One session with the server, opened from a connection string and the few connection properties
// the program sets before opening. It is closed when the object goes, so no connection outlives the
// action that made it.
class Connection {
public:
    static constexpr int kDefaultConnectionTimeout = 15;
    static constexpr int kDefaultCommandTimeout = 30;

    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Seconds to wait for the server to answer a statement (read and write timeouts).
    void setCommandTimeout(int seconds) { commandTimeout_ = seconds; }
    // Seconds to wait for the connection to be made.
    void setConnectionTimeout(int seconds) { connectionTimeout_ = seconds; }
    // Whether the compressed protocol, where the connection string asks for it, pays for the
    // processor time it costs: bytes that do not shrink are sent as they are.
    void setCompressionPays(bool pays) { compressionPays_ = pays; }

    bool compressed() const { return compressed_; }
    // The cipher of the session's TLS, or empty when it runs in clear (a local socket, or a
    // server without TLS).
    QString tlsCipher() const;

    // Opens the session; throws a Failure with the driver's or the server's text. The server is
    // reached over TCP, encrypted whenever it offers TLS; "localhost" falls back to the local
    // socket when nothing listens at the port. Only authentication methods that keep the password
    // unreadable are allowed; the password itself goes only inside TLS to a server whose
    // certificate the system trusts or is the one remembered for it. The first certificate that a
    // server shows in a successful login over TLS is remembered for its name and port.
    void open(const QString& connectionString);
    void close();
    // Ends the session at once, in the middle of a result too: every later read or write on it
    // fails, and the server learns of the end at once instead of waiting to send the rest.
    void abort();
    bool isOpen() const { return mysql_ != nullptr; }
    // Whether the session is gone: the link to the server broke or the server ended it (it was
    // killed, it timed out waiting, or it restarted), so no later statement can succeed on it.
    // Asks nothing of the server; to be called between statements.
    bool lost() const;
    // Opens a new session from the string of the last open, with the same properties; the old
    // one and everything kept on it go.
    void reopen();

    // The open session, for the statements of the database layer.
    MYSQL* handle() const;

    // Runs a statement that returns no rows.
    void execute(const QString& sql);

    // The server's last error on this session as a Failure.
    Failure lastFailure() const;

    // The largest value, in bytes, that the server accepts from this session (its
    // max_allowed_packet, fixed for the life of the session); asked once per session.
    qint64 maxAllowedPacket();

    // Whether the server can give back what an INSERT stored in the same answer (INSERT ...
    // RETURNING, MariaDB 10.5 and later). The version is the one the server tells inside the
    // session, asked with the limit above: the one in its greeting travels before encryption
    // starts, so anyone on the way could have changed it.
    bool insertReturns();

    // Makes each statement commit on its own (true) or wait for COMMIT or ROLLBACK (false). Asks
    // the server only when the session is not that way already.
    void setAutocommit(bool on);

    // The state that the work named by the key keeps on this session, or nothing.
    SessionState* state(const QString& key) const;
    // Keeps the state for the life of the session, replacing any under that key.
    SessionState& keepState(const QString& key, std::unique_ptr<SessionState> state);
    void dropState(const QString& key);

private:
    // Asks the server once per session for what it tells about itself.
    void learnServer();

    MYSQL* mysql_ = nullptr;
    int commandTimeout_ = 0;
    int connectionTimeout_ = 0;
    bool compressed_ = false;
    bool compressionPays_ = true;
    qint64 maxAllowedPacket_ = -1;
    QString serverVersion_;
    QString connectionString_;
    std::map<QString, std::unique_ptr<SessionState>> states_;
};

struct ResultDeleter {
    void operator()(MYSQL_RES* r) const { mysql_free_result(r); }
};
using ResultPtr = std::unique_ptr<MYSQL_RES, ResultDeleter>;

// Runs a statement that returns rows and fetches its whole result at once.
ResultPtr QueryBuffered(Connection& connection, const QString& sql);
// Runs a statement that returns rows, which are then read from the server one at a time, so memory
// is bounded by the largest row. The session is busy until the last row has been read.
ResultPtr QueryStreamed(Connection& connection, const QString& sql);

// A name between backquotes with every backquote inside it doubled, so that nothing in a table or
// column name can change a statement.
QString QuoteIdentifier(const QString& name);

// The number of the failure that keeps the password from a server whose certificate has changed
// since it was first seen; the login window's "Test Connection" shows its description.
constexpr int kCertificateChangedFailure = 100001;

// Opens a connection with the profile's standard string and no properties, and gives it up:
// nothing when it opens, else why it did not.
struct ConnectionProfile;
std::optional<Failure> ConnectionFailure(const ConnectionProfile& profile);
// True when a connection opened with the profile's standard string and no properties opens.
bool CanConnectToMySQL(const ConnectionProfile& profile);
