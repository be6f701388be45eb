#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>
#include <atomic>
#include <mutex>
#include <optional>
#include <thread>

// A server on a loopback port that speaks just enough of the MySQL protocol to greet a client,
// optionally encrypt the session with TLS (a throw-away certificate made for the test run), ask it
// to authenticate with a method of the test's choice, and record every byte the client sends.
// It speaks "caching_sha2_password" (fast path and full authentication) and "sha256_password" as
// a real server does, including handing out a public key of its own to a client that asks for it.
class FakeServer {
public:
    // The certificate that the server shows in its TLS handshakes: two self-signed ones with keys
    // of their own, and two signed by a throw-away authority (AuthorityPem), one made out to the
    // loopback address the server listens on and one to another name.
    enum class Certificate { First, Second, SignedForLoopback, SignedForAnotherName };
    // The throw-away authority's certificate, in PEM; empty without TLS support.
    static QByteArray AuthorityPem();

    struct Script {
        // The method named in the greeting.
        QByteArray greetingMethod = "mysql_native_password";
        // The account's method: a login that names another one is asked to switch to it.
        QByteArray method = "mysql_native_password";
        // The account's password, which the methods above check.
        QByteArray password;
        // Offers TLS in the greeting and encrypts the session when the client asks.
        bool tls = false;
        // "caching_sha2_password" knows the account, so a correct scramble is enough.
        bool cached = false;
        // When set, the login is answered with an error packet carrying this message.
        std::optional<QByteArray> errorMessage = std::nullopt;
        // The certificate shown in the TLS handshake.
        Certificate certificate = Certificate::First;
    };

    explicit FakeServer(Script script);
    // A server without TLS that names greetingMethod in its greeting and wants method (the
    // greeting's when empty).
    FakeServer(QByteArray greetingMethod, QByteArray method);
    ~FakeServer();
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

    // Follows this script from the next connection on.
    void setScript(Script script);

    int port() const { return port_; }
    // Everything received so far, over all connections, as it crossed the wire.
    QByteArray received() const;
    // Everything received so far as the server read it, that is after TLS decryption.
    QByteArray plainText() const;
    // The packets the client sent after its login packet, over all connections.
    QList<QByteArray> answers() const;
    int connections() const { return connections_; }
    // Logins the server accepted.
    int accepted() const { return accepted_; }

    // Whether the fake server can encrypt a session (it needs OpenSSL, which a Windows build of
    // the tests does not have).
#if VANTRELLE_FAKE_SERVER_TLS
    static constexpr bool kSpeaksTls = true;
#else
    static constexpr bool kSpeaksTls = false;
#endif
    // A socket's handle: an int where sockets are files, an unsigned handle on Windows.
#ifdef Q_OS_WIN
    using Socket = quintptr;
    static constexpr Socket kNoSocket = ~Socket{0};
#else
    using Socket = int;
    static constexpr Socket kNoSocket = -1;
#endif

private:
    class Channel;
    void serve();
    void talk(Socket client);
    bool authenticate(Channel& channel, const Script& script, QByteArray answer);

    Script script_;
    Socket listener_ = kNoSocket;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::atomic<int> accepted_{0};
    mutable std::mutex mutex_;
    QByteArray received_;
    QByteArray plainText_;
    QList<QByteArray> answers_;
    std::thread thread_;
};
