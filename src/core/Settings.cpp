#include "core/Settings.h"

#include <QSettings>
#include <memory>

#include "core/Failure.h"
#include "core/platform/SettingsStore.h"

namespace {
void failOnStatus(const QSettings& store) {
    switch (store.status()) {
        case QSettings::NoError:
            return;
        case QSettings::AccessError:
            throw Failure::permissionDenied();
        case QSettings::FormatError:
            throw Failure(
                Failure::kPathFileAccessError,
                QStringLiteral("The settings file %1 cannot be read.").arg(store.fileName()));
    }
}
}  // namespace

QString ReadSetting(const QString& appName, const QString& section, const QString& key,
                    const QString& defaultValue) {
    std::unique_ptr<QSettings> store = platform::OpenSettingsStore(appName, false);
    failOnStatus(*store);
    store->beginGroup(section);
    if (!store->contains(key)) return defaultValue;
    return store->value(key).toString();
}

void WriteSetting(const QString& appName, const QString& section, const QString& key,
                  const QString& value) {
    std::unique_ptr<QSettings> store = platform::OpenSettingsStore(appName, true);
    store->beginGroup(section);
    store->setValue(key, value);
    store->endGroup();
    store->sync();
    failOnStatus(*store);
    platform::RestrictSettingsStore(*store);
}
