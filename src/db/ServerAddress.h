#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// What the profile's values may be before any of them reaches the client library. The library
// reads a host that holds "key=value;..." as a connection string of its own and a host with "://"
// as the name of a connection plug-in, so the server value must be a plain name or address.

// The host to hand to the client library for a server value: a host name, an IPv4 address, an
// IPv6 address (bare or in brackets, returned without them) or "localhost". Anything else throws a
// Failure that says so.
QString LibraryHostFor(const QString& server);

// Throws a Failure when a user name, password or database name holds a character that the client
// library would take as the end of the value (NUL), so that a different value would reach the
// server than the one typed.
void CheckProfileText(const QString& what, const QString& value);

// The addresses of a host, as numeric text, in the resolver's order; an address is returned as it
// is. Gives up after timeoutSeconds, so that a resolver that does not answer cannot hold the
// caller longer than its connection timeout. Throws a Failure when the name does not resolve.
QStringList ResolveHost(const QString& host, int timeoutSeconds);

// Replaces the name lookup for tests; an empty function restores the system's.
using HostLookup = std::function<QStringList(const QString& host)>;
void SetHostLookupForTesting(HostLookup lookup);
