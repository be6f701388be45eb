#pragma once

// The certificate that a server showed in a session's TLS handshake, read from the TLS library
// that the client library uses: OpenSSL on Linux, Schannel on Windows.

#include <mysql.h>

#include <QByteArray>
#include <QString>

namespace platform {

struct ServerCertificate {
    // The SHA-256 of the certificate's public key (its DER SubjectPublicKeyInfo), which stays the
    // same when the server's certificate is renewed with the same key. Empty when the session has
    // no certificate that the program can read.
    QByteArray publicKeySha256;
    // Whether the certificate chains to an authority of the system's trust store and is made out
    // to the host name or address that the user gave.
    bool trusted = false;
};

// The certificate of the session's TLS; nothing for a session without TLS. May be asked while the
// session is still logging in, once the handshake is done.
ServerCertificate SessionCertificate(MYSQL* mysql, const QString& hostName);

}  // namespace platform
