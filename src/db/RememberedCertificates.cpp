#include "db/RememberedCertificates.h"

#include "core/Failure.h"
#include "core/Settings.h"
#include "core/platform/SettingsStore.h"

namespace {
// One server however its name is typed: host names do not tell case apart, and a final dot names
// the same host.
QString serverName(const QString& host) {
    QString name = host.toLower();
    if (name.endsWith(u'.')) name.chop(1);
    return name;
}
}  // namespace

QString RememberedCertificateKey(const QString& host, unsigned int port) {
    return QStringLiteral("Certificate.%1.%2").arg(serverName(host)).arg(port);
}

QByteArray RememberedCertificate(const QString& host, unsigned int port) {
    return QByteArray::fromHex(Settings::read(RememberedCertificateKey(host, port)).toLatin1());
}

void RememberCertificate(const QString& host, unsigned int port, const QByteArray& sha256) {
    if (sha256.isEmpty()) return;
    try {
        if (!RememberedCertificate(host, port).isEmpty()) return;
        Settings::write(RememberedCertificateKey(host, port), QString::fromLatin1(sha256.toHex()));
    } catch (const Failure&) {
        // The session is open; the next login remembers the certificate.
    }
}

QString RememberedCertificateLocation(const QString& host, unsigned int port) {
    return platform::SettingsValueLocation(Settings::kAppName, Settings::kSection,
                                           RememberedCertificateKey(host, port));
}
