#include "core/platform/ServerCertificate.h"

#include <mariadb_version.h>

#include <QCryptographicHash>
#include <cstring>

#ifdef Q_OS_WIN
#include <winsock2.h>
// winsock2.h first: windows.h would bring the older socket declarations.
#include <windows.h>
#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>
#include <sspi.h>
#include <wincrypt.h>

#include <string>
#else
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#endif

// The client library's session keeps its TLS in the object that its installed headers declare
// (ma_tls.h, through ma_pvio.h): `ssl` is the TLS library's own session. Neither version 3.3 of the
// library nor its plug-in interface hands out the server's certificate otherwise.
#ifndef HAVE_TLS
#define HAVE_TLS
#endif
typedef unsigned char uchar;  // ma_tls.h uses it before ma_pvio.h declares it
#include <ma_pvio.h>

namespace platform {

namespace {

QByteArray sha256(const unsigned char* bytes, size_t length) {
    return QCryptographicHash::hash(
        QByteArrayView(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(length)),
        QCryptographicHash::Sha256);
}

// The library's TLS session, when it runs on the TLS library this build reads.
void* tlsSession(MYSQL* mysql, const char* libraryPrefix) {
    if (!mysql || !mysql->net.pvio || !mysql->net.pvio->ctls) return nullptr;
    const char* library = nullptr;
    mariadb_get_infov(mysql, MARIADB_TLS_LIBRARY, &library);
    if (!library || std::strncmp(library, libraryPrefix, std::strlen(libraryPrefix)) != 0)
        return nullptr;
    return mysql->net.pvio->ctls->ssl;
}

#ifdef Q_OS_WIN
// The first members of the library's Schannel session as version 3.3 lays them out (its
// secure/ma_schannel.h, struct st_schannel), up to the security context of the handshake. Other
// versions lay it out otherwise: one of them needs its own layout here.
static_assert(MARIADB_PACKAGE_VERSION_ID >= 30300 && MARIADB_PACKAGE_VERSION_ID < 30400,
              "the Schannel session's layout is known for Connector/C 3.3 only");
struct SchannelSession {
    CredHandle credentials;
    PUCHAR ioBuffer;
    DWORD ioBufferSize;
    SecPkgContext_StreamSizes sizes;
    CtxtHandle context;
};

// Whether the chain of the certificate, with the certificates the server sent beside it, ends at
// an authority of the system's store, and the certificate names the server.
bool trustedBySystem(PCCERT_CONTEXT certificate, const QString& hostName) {
    CERT_CHAIN_PARA chainPara{};
    chainPara.cbSize = sizeof chainPara;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    if (!CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &chainPara,
                                 0, nullptr, &chain))
        return false;
    std::wstring name = hostName.toStdWString();
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA server{};
    server.cbSize = sizeof server;
    server.dwAuthType = AUTHTYPE_SERVER;
    server.pwszServerName = name.data();
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &server;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    const bool checked =
        CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status);
    CertFreeCertificateChain(chain);
    return checked && status.dwError == 0;
}
#endif

}  // namespace

ServerCertificate SessionCertificate(MYSQL* mysql, const QString& hostName) {
    ServerCertificate out;
#ifdef Q_OS_WIN
    auto* session = static_cast<SchannelSession*>(tlsSession(mysql, "Schannel"));
    if (!session) return out;
    PCCERT_CONTEXT certificate = nullptr;
    if (QueryContextAttributesA(&session->context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate) !=
            SEC_E_OK ||
        !certificate)
        return out;
    BYTE* key = nullptr;
    DWORD keyLength = 0;
    if (CryptEncodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO,
                            &certificate->pCertInfo->SubjectPublicKeyInfo, CRYPT_ENCODE_ALLOC_FLAG,
                            nullptr, &key, &keyLength)) {
        out.publicKeySha256 = sha256(key, keyLength);
        LocalFree(key);
        out.trusted = trustedBySystem(certificate, hostName);
    }
    CertFreeCertificateContext(certificate);
#else
    auto* session = static_cast<SSL*>(tlsSession(mysql, "OpenSSL"));
    if (!session) return out;
    X509* certificate = SSL_get1_peer_certificate(session);
    if (!certificate) return out;
    unsigned char* key = nullptr;
    const int keyLength = i2d_X509_PUBKEY(X509_get_X509_PUBKEY(certificate), &key);
    if (keyLength > 0) {
        out.publicKeySha256 = sha256(key, static_cast<size_t>(keyLength));
        OPENSSL_free(key);
        // The library loads the system's trust store into every session when the program names
        // no authority of its own, and OpenSSL checks the chain against it even when it is not
        // told to end the handshake on a failure; the name is checked here.
        const QByteArray name = hostName.toUtf8();
        out.trusted =
            SSL_get_verify_result(session) == X509_V_OK &&
            (X509_check_host(certificate, name.constData(), name.size(), 0, nullptr) == 1 ||
             X509_check_ip_asc(certificate, name.constData(), 0) == 1);
    }
    X509_free(certificate);
#endif
    return out;
}

}  // namespace platform
