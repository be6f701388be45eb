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
    const QString key = RememberedCertificateKey(host, port);
    // The store tells an absent key only by answering with the default, whatever it is.
    const QString text = Settings::read(key, QStringLiteral("0"));
    if (text == u'0' && Settings::read(key, QStringLiteral("1")) == u'1') return {};
    const QByteArray sha256 = QByteArray::fromHex(text.toLatin1());
    if (text.size() == 64 && sha256.toHex() == text.toLatin1().toLower()) return sha256;
    // A value edited into something else is still a remembered certificate, one that no server's
    // matches, so that the refusal points the user to it.
    return QByteArrayLiteral("no certificate");
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
