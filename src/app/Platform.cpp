#include "app/Platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace platform {

namespace {
constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
}

std::unique_ptr<QSettings> OpenSettingsStore(const QString& appName, bool forWriting) {
#ifdef Q_OS_WIN
    Q_UNUSED(forWriting);
    return std::make_unique<QSettings>(
        QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\") + appName,
        QSettings::NativeFormat);
#else
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QString path = folder + u'/' + appName + QStringLiteral(".ini");
    if (forWriting && !QFileInfo::exists(path)) {
        // Created empty and private before the first write, so the values are never readable by
        // others, not even for a moment. QSettings keeps a file's permissions when it rewrites it.
        QDir().mkpath(folder);
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

}  // namespace platform
