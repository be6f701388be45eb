#include "support/FakeServer.h"

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif
#if VANTRELLE_FAKE_SERVER_TLS
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#else
struct ssl_st;
using SSL = ssl_st;  // no session is ever encrypted without TLS support
#endif

#include <QCryptographicHash>

namespace {

using Socket = FakeServer::Socket;

#ifdef Q_OS_WIN
constexpr int kSendFlags = 0;
int pollSocket(pollfd* p, int timeoutMs) {
    return WSAPoll(p, 1, timeoutMs);
}
void closeSocket(Socket s) {
    ::closesocket(s);
}
void setReadTimeout(Socket s, int seconds) {
    const DWORD wait = static_cast<DWORD>(seconds) * 1000;
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&wait), sizeof wait);
}
#else
constexpr int kSendFlags = MSG_NOSIGNAL;
int pollSocket(pollfd* p, int timeoutMs) {
    return ::poll(p, 1, timeoutMs);
}
void closeSocket(Socket s) {
    ::close(s);
}
void setReadTimeout(Socket s, int seconds) {
    const timeval wait{seconds, 0};
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
}
#endif

constexpr quint32 kClientConnectWithDb = 0x8;
constexpr quint32 kClientSsl = 0x800;
constexpr quint32 kClientSecureConnection = 0x8000;
constexpr quint32 kClientPluginAuth = 0x80000;
constexpr quint32 kClientLenencClientData = 0x200000;

const QByteArray kNonce = "abcdefghijklmnopqrst";

void appendLe(QByteArray& out, quint32 value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.append(static_cast<char>((value >> (8 * i)) & 0xff));
}

quint32 readLe(const QByteArray& in, qsizetype at, int bytes) {
    quint32 value = 0;
    for (int i = 0; i < bytes && at + i < in.size(); ++i)
        value |= static_cast<quint32>(static_cast<quint8>(in[at + i])) << (8 * i);
    return value;
}

QByteArray greeting(const QByteArray& method, bool tls) {
    // Protocol 41, secure connection, plug-in authentication, TLS when offered.
    const quint32 capabilities = 0x1 | 0x4 | kClientConnectWithDb | 0x200 | 0x2000 |
                                 kClientSecureConnection | 0x20000 | kClientPluginAuth |
                                 kClientLenencClientData | (tls ? kClientSsl : 0);
    QByteArray g;
    g.append('\x0a');
    g.append("5.7.99-fake");
    g.append('\0');
    appendLe(g, 7, 4);
    g.append(kNonce.left(8));
    g.append('\0');
    appendLe(g, capabilities & 0xffff, 2);
    g.append('\x21');
    appendLe(g, 2, 2);
    appendLe(g, capabilities >> 16, 2);
    g.append('\x15');
    g.append(QByteArray(10, '\0'));
    g.append(kNonce.mid(8));
    g.append('\0');
    g.append(method);
    g.append('\0');
    return g;
}

const QByteArray kOk("\x00\x00\x00\x02\x00\x00\x00", 7);

QByteArray errorPacket(const QByteArray& message) {
    QByteArray e("\xff");
    appendLe(e, 1045, 2);
    e.append("#28000");
    return e + message;
}

QByteArray sha256(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

// What a client that knows the password sends for caching_sha2_password's fast path.
QByteArray expectedScramble(const QByteArray& password) {
    const QByteArray once = sha256(password);
    const QByteArray mixed = sha256(sha256(once) + kNonce);
    QByteArray out(once.size(), '\0');
    for (qsizetype i = 0; i < out.size(); ++i) out[i] = static_cast<char>(once[i] ^ mixed[i]);
    return out;
}

#if VANTRELLE_FAKE_SERVER_TLS
using Certificate = FakeServer::Certificate;

X509* newCertificate(EVP_PKEY* key, long serial, const char* commonName, const char* altName,
                     X509* issuer, EVP_PKEY* issuerKey) {
    X509* certificate = X509_new();
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), serial);
    X509_gmtime_adj(X509_getm_notBefore(certificate), -3600);
    X509_gmtime_adj(X509_getm_notAfter(certificate), 24 * 3600);
    X509_set_pubkey(certificate, key);
    X509_NAME* name = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
    X509_set_issuer_name(certificate, issuer ? X509_get_subject_name(issuer) : name);
    X509V3_CTX context;
    X509V3_set_ctx(&context, issuer ? issuer : certificate, certificate, nullptr, nullptr, 0);
    const auto extend = [&](int nid, const char* value) {
        X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
        X509_add_ext(certificate, extension, -1);
        X509_EXTENSION_free(extension);
    };
    if (altName)
        extend(NID_subject_alt_name, altName);
    else if (!issuer)
        extend(NID_basic_constraints, "critical,CA:TRUE");
    X509_sign(certificate, issuerKey ? issuerKey : key, EVP_sha256());
    return certificate;
}

QByteArray pem(X509* certificate) {
    BIO* out = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(out, certificate);
    char* data = nullptr;
    const long length = BIO_get_mem_data(out, &data);
    QByteArray bytes(data, length);
    BIO_free(out);
    return bytes;
}

SSL_CTX* serverContext(X509* certificate, EVP_PKEY* key) {
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    SSL_CTX_use_certificate(context, certificate);
    SSL_CTX_use_PrivateKey(context, key);
    return context;
}

// The keys and certificates made once per test run: two self-signed ones, a throw-away authority
// and two certificates it signed, one for the loopback address and one for another name.
struct Credentials {
    SSL_CTX* contexts[4] = {};
    QByteArray publicKeyPem;
    QByteArray authorityPem;

    Credentials() {
        EVP_PKEY* first = EVP_RSA_gen(2048);
        EVP_PKEY* second = EVP_EC_gen("P-256");
        EVP_PKEY* authorityKey = EVP_EC_gen("P-256");
        EVP_PKEY* leafKey = EVP_EC_gen("P-256");
        X509* authority =
            newCertificate(authorityKey, 10, "throw-away authority", nullptr, nullptr, nullptr);
        X509* made[4] = {
            newCertificate(first, 1, "fake-server", nullptr, nullptr, nullptr),
            newCertificate(second, 2, "fake-server", nullptr, nullptr, nullptr),
            newCertificate(leafKey, 11, "fake-server", "IP:127.0.0.1", authority, authorityKey),
            newCertificate(leafKey, 12, "fake-server", "DNS:elsewhere.invalid", authority,
                           authorityKey),
        };
        EVP_PKEY* keys[4] = {first, second, leafKey, leafKey};
        for (int i = 0; i < 4; ++i) {
            contexts[i] = serverContext(made[i], keys[i]);
            X509_free(made[i]);
        }
        authorityPem = pem(authority);
        X509_free(authority);

        BIO* out = BIO_new(BIO_s_mem());
        PEM_write_bio_PUBKEY(out, first);
        char* data = nullptr;
        const long length = BIO_get_mem_data(out, &data);
        publicKeyPem = QByteArray(data, length);
        BIO_free(out);
        for (EVP_PKEY* key : {first, second, authorityKey, leafKey}) EVP_PKEY_free(key);
    }

    SSL_CTX* context(Certificate which) const { return contexts[static_cast<int>(which)]; }
};

const Credentials& credentials() {
    static const Credentials c;
    return c;
}

#else
// Without TLS support there is no key to hand out.
struct Credentials {
    QByteArray publicKeyPem;
    QByteArray authorityPem;
};

const Credentials& credentials() {
    static const Credentials c;
    return c;
}
#endif

}  // namespace

// One client's socket, in clear or inside TLS, reading and writing whole packets with their
// sequence numbers, and recording what arrives both as it crossed the wire and as read.
class FakeServer::Channel {
public:
    Channel(FakeServer& server, Socket fd) : server_(server), fd_(fd) {}
#if VANTRELLE_FAKE_SERVER_TLS
    ~Channel() {
        if (ssl_) SSL_free(ssl_);
    }

    bool startTls(Certificate certificate) {
        ssl_ = SSL_new(credentials().context(certificate));
        BIO* bio = BIO_new_socket(fd_, BIO_NOCLOSE);
        BIO_set_callback_arg(bio, reinterpret_cast<char*>(this));
        BIO_set_callback_ex(bio, &Channel::onWire);
        SSL_set_bio(ssl_, bio, bio);
        return SSL_accept(ssl_) == 1;
    }
#else
    bool startTls(Certificate) {
        return false;
    }
#endif

    std::optional<QByteArray> read() {
        const QByteArray header = readExactly(4);
        if (header.size() != 4) return std::nullopt;
        sequence_ = static_cast<quint8>(header[3]) + 1;
        QByteArray payload = readExactly(readLe(header, 0, 3));
        if (payload.size() != static_cast<qsizetype>(readLe(header, 0, 3))) return std::nullopt;
        return payload;
    }

    bool write(const QByteArray& payload) {
        QByteArray out;
        appendLe(out, static_cast<quint32>(payload.size()), 3);
        out.append(static_cast<char>(sequence_++));
        out += payload;
        qsizetype done = 0;
        while (done < out.size()) {
#if VANTRELLE_FAKE_SERVER_TLS
            if (ssl_) {
                const int n =
                    SSL_write(ssl_, out.constData() + done, static_cast<int>(out.size() - done));
                if (n <= 0) return false;
                done += n;
                continue;
            }
#endif
            const int n = static_cast<int>(::send(fd_, out.constData() + done,
                                                  static_cast<int>(out.size() - done), kSendFlags));
            if (n <= 0) return false;
            done += n;
        }
        return true;
    }

private:
    QByteArray readExactly(qsizetype count) {
        QByteArray out;
        while (out.size() < count) {
            char buffer[4096];
            const int want =
                static_cast<int>(std::min<qsizetype>(count - out.size(), sizeof buffer));
            int n = 0;
#if VANTRELLE_FAKE_SERVER_TLS
            if (ssl_) n = SSL_read(ssl_, buffer, want);
#endif
            if (!ssl_) {
                n = static_cast<int>(::recv(fd_, buffer, want, 0));
                if (n > 0) record(server_.received_, buffer, n);
            }
            if (n <= 0) break;
            record(server_.plainText_, buffer, n);
            out.append(buffer, n);
        }
        return out;
    }

    void record(QByteArray& into, const char* data, qsizetype n) {
        std::lock_guard<std::mutex> lock(server_.mutex_);
        into.append(data, n);
    }

#if VANTRELLE_FAKE_SERVER_TLS
    static long onWire(BIO* bio, int operation, const char* data, size_t, int, long, int ret,
                       size_t* processed) {
        if (operation == (BIO_CB_READ | BIO_CB_RETURN) && ret > 0 && processed) {
            auto* self = reinterpret_cast<Channel*>(BIO_get_callback_arg(bio));
            self->record(self->server_.received_, data, static_cast<qsizetype>(*processed));
        }
        return ret;
    }

#endif

    FakeServer& server_;
    Socket fd_;
    SSL* ssl_ = nullptr;
    quint8 sequence_ = 0;
};

FakeServer::FakeServer(Script script) : script_(std::move(script)) {
    if (script_.tls) credentials();  // made before the first client waits for it
#ifdef Q_OS_WIN
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return;
#endif
    listener_ = Socket(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ == kNoSocket ||
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener_, 4) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
}

FakeServer::FakeServer(QByteArray greetingMethod, QByteArray method)
    : FakeServer(Script{
          greetingMethod, method.isEmpty() ? greetingMethod : method, {}, false, false, {}}) {}

FakeServer::~FakeServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listener_ != kNoSocket) closeSocket(listener_);
#ifdef Q_OS_WIN
    WSACleanup();
#endif
}

QByteArray FakeServer::AuthorityPem() {
    return credentials().authorityPem;
}

QByteArray FakeServer::received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

QByteArray FakeServer::plainText() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return plainText_;
}

QList<QByteArray> FakeServer::answers() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return answers_;
}

void FakeServer::serve() {
    while (!stop_) {
        pollfd p{listener_, POLLIN, 0};
        if (pollSocket(&p, 50) <= 0) continue;
        const Socket client = Socket(::accept(listener_, nullptr, nullptr));
        if (client == kNoSocket) continue;
        ++connections_;
        // A client that stops talking is given up after a few seconds.
        setReadTimeout(client, 5);
        talk(client);
        closeSocket(client);
    }
}

void FakeServer::setScript(Script script) {
    if (script.tls) credentials();
    std::lock_guard<std::mutex> lock(mutex_);
    script_ = std::move(script);
}

void FakeServer::talk(Socket client) {
    Script script;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        script = script_;
    }
    Channel channel(*this, client);
    if (!channel.write(greeting(script.greetingMethod, script.tls))) return;
    std::optional<QByteArray> login = channel.read();
    if (!login) return;
    const quint32 flags = readLe(*login, 0, 4);
    if (script.tls && login->size() == 32 && (flags & kClientSsl)) {
        if (!channel.startTls(script.certificate)) return;
        login = channel.read();
        if (!login) return;
    }
    if (script.errorMessage) {
        channel.write(errorPacket(*script.errorMessage));
        return;
    }

    // The login: flags and fixed fields, user name, authentication data, database, method.
    qsizetype at = login->indexOf('\0', 32) + 1;
    qsizetype dataLength = static_cast<quint8>(login->at(at++));
    const QByteArray data = login->mid(at, dataLength);
    at += dataLength;
    if (flags & kClientConnectWithDb) at = login->indexOf('\0', at) + 1;
    const QByteArray method = login->mid(at, login->indexOf('\0', at) - at);

    // As a real server does, a login whose data was not made for the account's method under the
    // greeting's nonce is asked to start that method afresh.
    std::optional<QByteArray> answer = data;
    if (method != script.method || method != script.greetingMethod) {
        QByteArray request("\xfe");
        request += script.method + '\0' + kNonce + '\0';
        if (!channel.write(request)) return;
        answer = channel.read();
        if (!answer) return;
        std::lock_guard<std::mutex> lock(mutex_);
        answers_ << *answer;
    }
    if (authenticate(channel, script, *answer)) {
        while (channel.read()) {
        }
    }
}

// Carries on with the client's first answer under the account's method; true when the login is
// accepted.
bool FakeServer::authenticate(Channel& channel, const Script& script, QByteArray answer) {
    const QByteArray& method = script.method;
    const QByteArray passwordPacket = script.password + '\0';
    const QByteArray keyPacket = '\x01' + credentials().publicKeyPem;
    auto next = [&]() -> bool {
        std::optional<QByteArray> packet = channel.read();
        if (!packet) return false;
        answer = *packet;
        std::lock_guard<std::mutex> lock(mutex_);
        answers_ << answer;
        return true;
    };
    bool accepted = false;
    if (method == "caching_sha2_password") {
        if (answer.isEmpty()) {
            accepted = script.password.isEmpty();
        } else if (script.cached && answer == expectedScramble(script.password)) {
            accepted = channel.write(QByteArray("\x01\x03"));
        } else {
            // Full authentication: the password itself, or the request for the server's key.
            if (!channel.write(QByteArray("\x01\x04")) || !next()) return false;
            if (answer == QByteArray("\x02")) {
                if (!channel.write(keyPacket) || !next()) return false;
            }
            accepted = answer == passwordPacket;
        }
    } else if (method == "sha256_password") {
        if (answer == QByteArray("\x01")) {
            if (!channel.write(keyPacket) || !next()) return false;
        }
        accepted = script.password.isEmpty() ? answer.isEmpty() : answer == passwordPacket;
    } else if (method == "mysql_native_password") {
        accepted = true;  // this server does not check the native scramble
    }
    if (accepted) ++accepted_;  // counted before the client can see the answer
    channel.write(accepted ? kOk : errorPacket("Access denied"));
    return accepted;
}
