#pragma once

// What the client library's connections need of the platform.

#include <QByteArray>
#include <QtGlobal>

namespace platform {

// The folder that the client library loads its authentication plug-ins from, in the form the
// library takes: on Windows the folder "plugin" beside the executable, elsewhere the library's own.
QByteArray ClientPluginFolder();

// Whether the client library has a default local socket to reach a server on this computer when
// "localhost" answers on no TCP port. Windows reaches "localhost" over TCP only.
bool HasDefaultLocalSocket();

// Makes closing the socket reset the connection at once instead of ending it in order: a peer
// still sending (a server in the middle of a result) learns of it immediately, not only when the
// system gives up on the closed socket a minute later.
void ResetOnClose(qintptr socket);

// Whether the peer has closed the connection or sent something it was not asked for: between a
// client's statements a server sends nothing, unless it ends the session (killed, timed out, shut
// down). Never waits.
bool HasUnaskedInput(qintptr socket);

}  // namespace platform
