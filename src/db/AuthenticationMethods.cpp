#include "db/AuthenticationMethods.h"

#include <errmsg.h>

#ifdef _WIN32
// The plug-in interface names Windows handles without including their declarations; winsock2.h
// comes before windows.h, which would bring the older socket declarations.
#include <winsock2.h>

#include <windows.h>
#endif

#include <mysql/plugin_auth.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <iterator>
#include <mutex>
#include <string>

#include "core/platform/ServerCertificate.h"

// The client library's plug-in registration. Its header cannot be included as installed (it
// includes a header the development package does not ship), so the few declarations used here are
// repeated; they are part of the library's stable plug-in ABI.
extern "C" {
struct st_mysql_client_plugin;
st_mysql_client_plugin* STDCALL mysql_client_register_plugin(MYSQL* mysql,
                                                             st_mysql_client_plugin* plugin);
}

namespace {

constexpr int kAuthenticationPluginType = 2;
constexpr unsigned int kAuthenticationInterfaceVersion = 0x0100;

struct AuthenticationPlugin {
    int type;
    unsigned int interfaceVersion;
    const char* name;
    const char* author;
    const char* description;
    unsigned int version[3];
    const char* license;
    void* mysqlApi;
    int (*init)(char*, size_t, int, va_list);
    int (*deinit)();
    int (*options)(const char* option, const void*);
    int (*authenticateUser)(MYSQL_PLUGIN_VIO* vio, MYSQL* mysql);
};

constexpr char kClearPassword[] = "mysql_clear_password";
constexpr char kDialog[] = "dialog";
constexpr char kCachingSha2[] = "caching_sha2_password";
constexpr char kSha256[] = "sha256_password";

// The server's nonce: 20 bytes, which the server may follow with a terminating zero.
constexpr int kNonceLength = 20;
// The answers of "caching_sha2_password" after the scramble.
constexpr unsigned char kFastAuthenticationDone = 3;
constexpr unsigned char kFullAuthenticationNeeded = 4;
constexpr unsigned char kSwitchRequest = 254;

// Plain bytes only: a thread-local object with a destructor of its own is not safe to end with
// every compiler the program is built with (MinGW may run it after the thread's storage is gone).
struct Notes {
    AuthenticationRefusal::Reason reason = AuthenticationRefusal::Reason::None;
    const char* refused = nullptr;      // the method the program's own plug-in refused
    char requested[256] = {};           // the method the server's last switch request named
    char16_t host[256] = {};            // the server's name as the user gave it, zero-terminated
    unsigned char remembered[32] = {};  // the SHA-256 of the public key remembered for it
    bool hasRemembered = false;
};
thread_local Notes notes;

int refuse(AuthenticationRefusal::Reason reason, const char* method) {
    notes.reason = reason;
    notes.refused = method;
    return CR_ERROR;  // nothing of the password has been written to the server
}

// Reads the server's next packet. A switch to another method ends the packet reading with -1 and
// leaves the request in the library's packet buffer, from where its method name is noted; the
// library then carries out the switch itself.
int readPacket(MYSQL_PLUGIN_VIO* vio, MYSQL* mysql, unsigned char** packet) {
    const int length = vio->read_packet(vio, packet);
    if (length < 0 && mysql_errno(mysql) == 0 && mysql->net.read_pos &&
        mysql->net.read_pos[0] == kSwitchRequest)
        qstrncpy(notes.requested, reinterpret_cast<const char*>(mysql->net.read_pos + 1),
                 sizeof notes.requested);
    return length;
}

// Whether the session runs inside TLS. The protocol version is asked as well as the cipher: some
// TLS libraries (Schannel under Wine) do not name the cipher of a session they encrypt.
bool encrypted(MYSQL* mysql) {
    if (mysql_get_ssl_cipher(mysql) != nullptr) return true;
    const char* version = nullptr;
    return mariadb_get_infov(mysql, MARIADB_CONNECTION_TLS_VERSION, &version) == 0 &&
           version != nullptr;
}

const char* passwordOf(MYSQL* mysql) {
    return mysql->passwd ? mysql->passwd : "";
}

int writePacket(MYSQL_PLUGIN_VIO* vio, const QByteArray& bytes) {
    return vio->write_packet(vio, reinterpret_cast<const unsigned char*>(bytes.constData()),
                             static_cast<int>(bytes.size()));
}

// Whether the server at the other end of the session's TLS is the one the user means: its
// certificate is trusted by the system for the name the user gave, is the one remembered for the
// server, or is the first one seen from it (which is remembered once the login succeeds).
bool serverKnown(MYSQL* mysql) {
    const platform::ServerCertificate seen =
        platform::SessionCertificate(mysql, QString::fromUtf16(notes.host));
    if (seen.trusted) return true;
    if (seen.publicKeySha256.size() != sizeof notes.remembered) return false;
    return !notes.hasRemembered || std::memcmp(seen.publicKeySha256.constData(), notes.remembered,
                                               sizeof notes.remembered) == 0;
}

// The password itself, zero-terminated, as both methods send it inside TLS.
int sendPasswordInsideTls(MYSQL_PLUGIN_VIO* vio, MYSQL* mysql, const char* method) {
    if (!encrypted(mysql)) return refuse(AuthenticationRefusal::Reason::NeedsTls, method);
    if (!serverKnown(mysql))
        return refuse(AuthenticationRefusal::Reason::CertificateChanged, method);
    const char* password = passwordOf(mysql);
    const QByteArray bytes(password, static_cast<qsizetype>(std::strlen(password) + 1));
    return writePacket(vio, bytes) == 0 ? CR_OK : CR_ERROR;
}

QByteArray sha256(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

// Proves knowledge of the password without revealing it:
// SHA256(password) XOR SHA256(SHA256(SHA256(password)) + nonce).
QByteArray sha2Scramble(const QByteArray& password, const QByteArray& nonce) {
    const QByteArray once = sha256(password);
    const QByteArray mixed = sha256(sha256(once) + nonce);
    QByteArray out(once.size(), '\0');
    for (qsizetype i = 0; i < out.size(); ++i) out[i] = static_cast<char>(once[i] ^ mixed[i]);
    return out;
}

int cachingSha2(MYSQL_PLUGIN_VIO* vio, MYSQL* mysql) {
    unsigned char* packet = nullptr;
    int length = readPacket(vio, mysql, &packet);
    if (length < 0) return CR_ERROR;
    if (length < kNonceLength) return CR_SERVER_HANDSHAKE_ERR;
    const QByteArray nonce(reinterpret_cast<const char*>(packet), kNonceLength);
    const QByteArray password(passwordOf(mysql));
    if (password.isEmpty()) return writePacket(vio, QByteArray()) == 0 ? CR_OK : CR_ERROR;

    if (writePacket(vio, sha2Scramble(password, nonce)) != 0) return CR_ERROR;
    length = readPacket(vio, mysql, &packet);
    if (length < 0) return CR_ERROR;
    if (length == 1 && packet[0] == kFastAuthenticationDone) return CR_OK;
    if (length == 1 && packet[0] == kFullAuthenticationNeeded)
        return sendPasswordInsideTls(vio, mysql, kCachingSha2);
    return CR_SERVER_HANDSHAKE_ERR;
}

int sha256Password(MYSQL_PLUGIN_VIO* vio, MYSQL* mysql) {
    unsigned char* packet = nullptr;
    const int length = readPacket(vio, mysql, &packet);
    if (length < 0) return CR_ERROR;
    if (length < kNonceLength) return CR_SERVER_HANDSHAKE_ERR;
    // An empty password needs neither the key nor the encryption.
    if (passwordOf(mysql)[0] == '\0') return writePacket(vio, QByteArray()) == 0 ? CR_OK : CR_ERROR;
    return sendPasswordInsideTls(vio, mysql, kSha256);
}

template <const char* Name>
int refuseClearText(MYSQL_PLUGIN_VIO*, MYSQL*) {
    return refuse(AuthenticationRefusal::Reason::ClearText, Name);
}

AuthenticationPlugin plugin(const char* name, const char* description,
                            int (*authenticate)(MYSQL_PLUGIN_VIO*, MYSQL*)) {
    return {kAuthenticationPluginType,
            kAuthenticationInterfaceVersion,
            name,
            "Vantrelle",
            description,
            {1, 0, 0},
            "GPL",
            nullptr,
            nullptr,
            nullptr,
            nullptr,
            authenticate};
}

AuthenticationPlugin clearPasswordStandIn = plugin(
    kClearPassword, "Refuses to send the password in clear", &refuseClearText<kClearPassword>);
AuthenticationPlugin dialogStandIn =
    plugin(kDialog, "Refuses to send the password in clear", &refuseClearText<kDialog>);
AuthenticationPlugin cachingSha2Plugin =
    plugin(kCachingSha2, "SHA-256 scramble; the password only inside TLS", &cachingSha2);
AuthenticationPlugin sha256Plugin =
    plugin(kSha256, "The password only inside TLS", &sha256Password);

bool registerPlugin(MYSQL* mysql, AuthenticationPlugin& p) {
    return mysql && mysql_client_register_plugin(
                        mysql, reinterpret_cast<st_mysql_client_plugin*>(&p)) != nullptr;
}

struct Registration {
    std::string allowed;
    bool ownCachingSha2 = false;
};

const Registration& registration() {
    static Registration r;
    static std::once_flag once;
    std::call_once(once, [] {
        // Registration needs the library started and fails when a plug-in of that name is
        // loaded already. A clear-text method without its stand-in is simply not allowed; a
        // password-sending method without the program's own plug-in is not allowed either, since
        // the library's would send the password without encryption.
        MYSQL* mysql = mysql_init(nullptr);
        r.allowed = "mysql_native_password,client_ed25519";
        if (registerPlugin(mysql, clearPasswordStandIn))
            r.allowed += std::string(",") + kClearPassword;
        if (registerPlugin(mysql, dialogStandIn)) r.allowed += std::string(",") + kDialog;
        r.ownCachingSha2 = registerPlugin(mysql, cachingSha2Plugin);
        if (r.ownCachingSha2) r.allowed += std::string(",") + kCachingSha2;
        if (registerPlugin(mysql, sha256Plugin)) r.allowed += std::string(",") + kSha256;
        if (mysql) mysql_close(mysql);
    });
    return r;
}

}  // namespace

const char* AllowedAuthenticationMethods() {
    return registration().allowed.c_str();
}

void StartWithOwnMethod(MYSQL* mysql) {
    if (registration().ownCachingSha2) mysql_optionsv(mysql, MYSQL_DEFAULT_AUTH, kCachingSha2);
}

void StartAuthenticationNotes(const QString& hostName, const QByteArray& rememberedKey) {
    notes = Notes();
    const qsizetype length = std::min<qsizetype>(hostName.size(), std::size(notes.host) - 1);
    std::copy_n(hostName.utf16(), length, notes.host);
    // Anything remembered that is not a SHA-256 matches no certificate: the bytes stay zero.
    notes.hasRemembered = !rememberedKey.isEmpty();
    if (rememberedKey.size() == sizeof notes.remembered)
        std::memcpy(notes.remembered, rememberedKey.constData(), sizeof notes.remembered);
}

AuthenticationRefusal TakeAuthenticationRefusal(unsigned int libraryError) {
    Notes taken;
    std::swap(taken, notes);
    if (taken.reason != AuthenticationRefusal::Reason::None)
        return {taken.reason, QString::fromLatin1(taken.refused)};
    if (libraryError == CR_PLUGIN_NOT_ALLOWED)
        return {AuthenticationRefusal::Reason::NotAllowed, QString::fromUtf8(taken.requested)};
    return {};
}
