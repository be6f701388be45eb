#pragma once

// Everything that differs between Windows and the other platforms lives behind these functions, so
// a port changes only Platform.cpp.

#include <QString>
#include <memory>

class QSettings;

namespace platform {

// The per-user settings store of an application: on Windows the registry branch under
// "Software\VB and VBA Program Settings", elsewhere the INI file <config folder>/<appName>.ini.
// A store opened for writing is created first, private to its owner, when it does not exist.
std::unique_ptr<QSettings> OpenSettingsStore(const QString& appName, bool forWriting);
// Keeps a file-based store readable and writable by its owner only.
void RestrictSettingsStore(const QSettings& store);

}  // namespace platform
