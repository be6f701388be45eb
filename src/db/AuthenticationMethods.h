#pragma once

#include <mysql.h>

#include <QByteArray>
#include <QString>

// The authentication methods a connection may use, in the form the client library's
// restricted-authentication option takes. The program answers several methods with plug-ins of
// its own, registered with the client library on first use:
// - "mysql_clear_password" and "dialog", which would send the password as readable text, are
//   refused before anything is sent;
// - "caching_sha2_password" and "sha256_password" send the password itself (or a value the server
//   can decrypt with a key of its own choosing) when the server asks for it, so they do so only
//   inside TLS, and only to a server whose certificate the system trusts for its name, matches
//   the one remembered for it, or is the first one seen from it. They are refused on a
//   connection that is not encrypted or whose certificate has changed. The scramble of
//   "caching_sha2_password", which reveals nothing, works on any connection.
const char* AllowedAuthenticationMethods();

// Sets the program's own "caching_sha2_password" as the method a login starts with, so that
// every method the server asks for afterwards passes through the program and can be named in a
// refusal. Does nothing when the library had a plug-in of that name before the program could
// register its own.
void StartWithOwnMethod(MYSQL* mysql);

// Why a login on this thread was refused before it could go on: by one of the program's own
// plug-ins, or by the client library for a method outside the allowed list.
struct AuthenticationRefusal {
    enum class Reason {
        None,
        ClearText,  // the method sends the password as readable text
        NeedsTls,   // the method sends the password, and the connection is not encrypted
        // the method sends the password, and the server's certificate is neither trusted by the
        // system nor the one remembered for the server
        CertificateChanged,
        NotAllowed,  // the client library refused a method that is not in the allowed list
    };
    Reason reason = Reason::None;
    QString method;
};

// Forgets what the last login on this thread noted; called before a login starts, with the host
// name or address the user gave (the name a trusted certificate must carry) and the SHA-256 of the
// public key remembered for the server, empty when none is (anything else matches nothing).
void StartAuthenticationNotes(const QString& hostName, const QByteArray& rememberedKey);

// What ended the last login on this thread, given the library's error number for it: a refusal
// by one of the program's plug-ins, or, when the library itself refused a method outside the
// allowed list, the method the server last asked for. Reason::None when neither applies.
AuthenticationRefusal TakeAuthenticationRefusal(unsigned int libraryError);
