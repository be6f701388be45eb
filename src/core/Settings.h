#pragma once

#include <QString>

// The per-user store of text values addressed by application name, section and key. Every write
// reaches the store at once; an empty value is distinct from an absent key.
QString ReadSetting(const QString& appName, const QString& section, const QString& key,
                    const QString& defaultValue = QString());
void WriteSetting(const QString& appName, const QString& section, const QString& key,
                  const QString& value);

// The program's own values, all under application "Kestrom", section "Vantrelle".
namespace Settings {
inline const QString kAppName = QStringLiteral("Kestrom");
inline const QString kSection = QStringLiteral("Vantrelle");

inline QString read(const QString& key, const QString& defaultValue = QString()) {
    return ReadSetting(kAppName, kSection, key, defaultValue);
}
inline void write(const QString& key, const QString& value) {
    WriteSetting(kAppName, kSection, key, value);
}
}  // namespace Settings
