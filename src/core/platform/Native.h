#pragma once

// Everything that differs between Windows and the other platforms lives in this folder, behind
// small functions grouped by concern. This header holds the system headers and the path
// conversions that those functions share; only the sources of this folder include it.

#include <QDir>
#include <QString>
#include <optional>

#ifdef Q_OS_WIN
#include <winsock2.h>
// winsock2.h first: windows.h would bring the older socket declarations.
#include <io.h>
#include <windows.h>

#include <string>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#endif

namespace platform::detail {

#ifndef Q_OS_WIN
// The bytes that name a path in the file system, or nothing when the text cannot name one: a NUL
// would cut it short, and a text that does not survive the trip to bytes and back would name a
// different file.
inline std::optional<QByteArray> nativePath(const QString& path) {
    if (path.isEmpty() || path.contains(QChar(0))) return std::nullopt;
    QByteArray bytes = path.toUtf8();
    if (QString::fromUtf8(bytes) != path) return std::nullopt;
    return bytes;
}
#else
inline std::wstring widePath(const QString& path) {
    return QDir::toNativeSeparators(path).toStdWString();
}
#endif

}  // namespace platform::detail
