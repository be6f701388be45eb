#include "core/platform/ProgramFolders.h"

#include "core/platform/Native.h"
#include "core/platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <iterator>

namespace platform {

QString RealFolderOf(const QString& file) {
    const QFileInfo given(file);
    // A link is followed to the end of its chain, so a program started through a link in another
    // folder still finds the files installed beside its executable.
    const QString real = given.canonicalFilePath();
    const QString folder = real.isEmpty() ? given.absolutePath() : QFileInfo(real).absolutePath();
    return WithoutTrailingSeparator(QDir::toNativeSeparators(folder));
}

QString ExecutableFolder() {
    QString executable;
    if (QCoreApplication::instance()) {
        executable = QCoreApplication::applicationFilePath();
    } else {
#ifdef Q_OS_WIN
        wchar_t buffer[32768];
        const DWORD n = GetModuleFileNameW(nullptr, buffer, DWORD(std::size(buffer)));
        if (n > 0 && n < std::size(buffer)) executable = QString::fromWCharArray(buffer, int(n));
#else
        executable = QStringLiteral("/proc/self/exe");
#endif
    }
    return executable.isEmpty() ? executable : RealFolderOf(executable);
}

QString DesktopFolder() {
    QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
#ifndef Q_OS_WIN
    // Many Linux desktops have no Desktop folder at all; a destination there could never be
    // written, so the user's home folder stands in for it.
    if (!desktop.isEmpty() && !QFileInfo(desktop).isDir()) desktop = QDir::homePath();
#endif
    if (desktop.isEmpty()) return desktop;
    return WithoutTrailingSeparator(QDir::toNativeSeparators(desktop));
}

}  // namespace platform
