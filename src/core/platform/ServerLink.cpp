#include "core/platform/ServerLink.h"

#include "core/platform/Native.h"
#include "core/platform/ProgramFolders.h"

#ifndef Q_OS_WIN
#include <mariadb_version.h>
#include <poll.h>
#endif

namespace platform {

QByteArray ClientPluginFolder() {
#ifdef Q_OS_WIN
    // The library names files in the ANSI code page.
    return (ExecutableFolder() + QStringLiteral("\\plugin")).toLocal8Bit();
#else
    return QByteArrayLiteral(MARIADB_PLUGINDIR);
#endif
}

bool HasDefaultLocalSocket() {
#ifdef Q_OS_WIN
    return false;
#else
    return true;
#endif
}

void ResetOnClose(qintptr socket) {
    linger abortive{};
    abortive.l_onoff = 1;
    abortive.l_linger = 0;
#ifdef Q_OS_WIN
    setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_LINGER,
               reinterpret_cast<const char*>(&abortive), sizeof abortive);
#else
    setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
#endif
}

bool HasUnaskedInput(qintptr socket) {
#ifdef Q_OS_WIN
    WSAPOLLFD link{};
    link.fd = static_cast<SOCKET>(socket);
    link.events = POLLRDNORM;
    return WSAPoll(&link, 1, 0) > 0;
#else
    pollfd link{};
    link.fd = static_cast<int>(socket);
    link.events = POLLIN;
    return poll(&link, 1, 0) > 0;
#endif
}

}  // namespace platform
