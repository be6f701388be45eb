#pragma once

#include <QByteArray>
#include <QString>

// The servers' certificates that the program has seen, remembered per user beside the other
// settings as SSH remembers host keys: the SHA-256 of the public key of the first certificate that
// a server showed in a successful login over TLS, per host name and port. A method that sends the
// password itself goes on only to a server whose certificate the system trusts or matches the one
// remembered for it.

// The settings key under which the certificate of the server at host and port is remembered. Its
// characters are those a settings file keeps as they are, but for the colons of an IPv6 address.
QString RememberedCertificateKey(const QString& host, unsigned int port);

// The remembered SHA-256, or empty when nothing is remembered for the server; a value that is not
// a SHA-256 in hexadecimal gives bytes that match no certificate. Throws a Failure when the
// settings store cannot be read.
QByteArray RememberedCertificate(const QString& host, unsigned int port);

// Remembers the key's SHA-256 for the server when nothing is remembered for it yet; a certificate
// seen later never replaces the first. A store that cannot be written is tried again at the next
// login.
void RememberCertificate(const QString& host, unsigned int port, const QByteArray& sha256);

// Where the remembered value lives, in words that tell the user what to remove to accept a new
// certificate of the server.
QString RememberedCertificateLocation(const QString& host, unsigned int port);
