#include "core/platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace platform {

namespace {
constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
}

QString SettingsStoreLocation(const QString& appName) {
#ifdef Q_OS_WIN
    return QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\") + appName;
#else
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/' +
           appName + QStringLiteral(".ini");
#endif
}

std::unique_ptr<QSettings> OpenSettingsStore(const QString& appName, bool forWriting) {
#ifdef Q_OS_WIN
    Q_UNUSED(forWriting);
    return std::make_unique<QSettings>(SettingsStoreLocation(appName), QSettings::NativeFormat);
#else
    const QString path = SettingsStoreLocation(appName);
    if (forWriting && !QFileInfo::exists(path)) {
        // Created empty and private before the first write, so the values are never readable by
        // others, not even for a moment. QSettings keeps a file's permissions when it rewrites it.
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly, kOwnerOnly)) file.close();
    }
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
#endif
}

void RestrictSettingsStore(const QSettings& store) {
#ifdef Q_OS_WIN
    Q_UNUSED(store);
#else
    QFile file(store.fileName());
    if (file.exists() && file.permissions() != kOwnerOnly) file.setPermissions(kOwnerOnly);
#endif
}

QString SettingsValueLocation(const QString& appName, const QString& section, const QString& key) {
#ifdef Q_OS_WIN
    return QStringLiteral("the value \"%1\" of the registry key %2\\%3")
        .arg(key, SettingsStoreLocation(appName), section);
#else
    // The settings file writes a key's characters but letters, digits, "_", "-" and "." as "%"
    // and two hexadecimal digits.
    QString written;
    for (const QChar c : key) {
        const char16_t u = c.unicode();
        if ((u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') ||
            u == u'_' || u == u'-' || u == u'.')
            written += c;
        else
            written +=
                QStringLiteral("%%1").arg(static_cast<uint>(u), 2, 16, QChar(u'0')).toUpper();
    }
    return QStringLiteral("the line \"%1=...\" in section [%2] of the file %3")
        .arg(written, section, SettingsStoreLocation(appName));
#endif
}

}  // namespace platform
