#pragma once

#include <QMap>
#include <QString>

// The five connection values as the login window holds them, used exactly as typed.
struct ConnectionProfile {
    QString server;
    QString user;
    QString password;
    QString database;
    QString port;
};

// "DRIVER={MySQL ODBC 5.1 Driver};SERVER=...;USER=...;PASSWORD=...;DATABASE=...;PORT=...;" and, for
// the upload, the same with ";OPTION=133121;" after the port. A value that holds ";", "{" or "}",
// or begins or ends with a blank, is written between braces with each "}" doubled, so that it reads
// back exactly; every other value is written verbatim.
QString BuildConnectionString(const ConnectionProfile& profile, bool uploadVariant);

// Splits a connection string into its values, keyed by upper-cased key. Braced values come back
// without their braces and with "}}" read as "}".
QMap<QString, QString> ParseConnectionString(const QString& text);

inline const QString kDriverName = QStringLiteral("MySQL ODBC 5.1 Driver");
// The driver's option bits: 1 (full column width), 2048 (compressed protocol), 131072 (safe mode).
constexpr int kUploadOptions = 133121;
constexpr int kCompressedProtocolOption = 2048;
