#pragma once

// The per-user settings store, which lives in the registry on Windows and in an INI file elsewhere.

#include <QString>
#include <memory>

class QSettings;

namespace platform {

// Where the per-user settings store of an application lives: on Windows the registry key
// "HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<appName>", elsewhere the INI file
// <config folder>/<appName>.ini. Works before the program's application object exists.
QString SettingsStoreLocation(const QString& appName);
// Opens that store. A store opened for writing is created first, private to its owner, when it
// does not exist.
std::unique_ptr<QSettings> OpenSettingsStore(const QString& appName, bool forWriting);
// Keeps a file-based store readable and writable by its owner only.
void RestrictSettingsStore(const QSettings& store);
// Where a value of the store is found, in words for the user: the value's name as the settings
// file shows it, in its section of that file, or on Windows in its registry key.
QString SettingsValueLocation(const QString& appName, const QString& section, const QString& key);

}  // namespace platform
