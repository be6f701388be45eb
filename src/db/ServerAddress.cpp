#include "db/ServerAddress.h"

#include <errmsg.h>

#include <QHostAddress>
#include <QHostInfo>
#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "core/Failure.h"

namespace {

// The checks below run on the threads that open connections, so they use no regular expression:
// Qt keeps a thread-local buffer for those, and with MinGW on Windows a thread-local's destructor
// can run after its storage was freed, when such a thread ends.

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

bool isLabelCharacter(QChar c) {
    return isAsciiDigit(c) || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' ||
           c == u'-';
}

// Host name labels: letters, digits, "-" and "_" (common in container and internal names), not
// starting or ending with "-", at most 63 characters each, 253 in all, with an optional final dot.
bool isHostName(const QString& text) {
    QStringView name = text;
    if (name.endsWith(u'.')) name.chop(1);
    if (name.isEmpty() || name.size() > 253) return false;
    for (QStringView label : name.tokenize(u'.')) {
        if (label.isEmpty() || label.size() > 63 || label.front() == u'-' || label.back() == u'-')
            return false;
        if (!std::all_of(label.begin(), label.end(), isLabelCharacter)) return false;
    }
    return true;
}

bool isIpv6(const QString& text) {
    QHostAddress address;
    return text.contains(u':') && address.setAddress(text) &&
           address.protocol() == QAbstractSocket::IPv6Protocol;
}

// Four dotted groups of one to three digits, which the address parser then checks for range.
bool isDottedQuad(const QString& text) {
    int groups = 0;
    for (QStringView group : QStringView(text).tokenize(u'.')) {
        if (++groups > 4 || group.isEmpty() || group.size() > 3 ||
            !std::all_of(group.begin(), group.end(), isAsciiDigit))
            return false;
    }
    return groups == 4;
}

bool isIpv4(const QString& text) {
    QHostAddress address;
    return isDottedQuad(text) && address.setAddress(text) &&
           address.protocol() == QAbstractSocket::IPv4Protocol;
}

HostLookup& lookupOverride() {
    static HostLookup lookup;
    return lookup;
}

QStringList systemLookup(const QString& host) {
    const QHostInfo info = QHostInfo::fromName(host);
    if (info.error() != QHostInfo::NoError)
        throw Failure(CR_UNKNOWN_HOST,
                      QStringLiteral("The server name \"%1\" could not be found: %2")
                          .arg(host, info.errorString()));
    QStringList out;
    for (const QHostAddress& a : info.addresses()) out << a.toString();
    if (out.isEmpty())
        throw Failure(CR_UNKNOWN_HOST,
                      QStringLiteral("The server name \"%1\" has no address.").arg(host));
    return out;
}

}  // namespace

QString LibraryHostFor(const QString& server) {
    if (server.startsWith(u'[') && server.endsWith(u']')) {
        const QString inner = server.mid(1, server.size() - 2);
        if (isIpv6(inner)) return inner;
    } else if (isIpv4(server) || isIpv6(server) || isHostName(server)) {
        return server;
    }
    throw Failure(
        0, QStringLiteral("The server name \"%1\" is not a host name or an address.").arg(server));
}

void CheckProfileText(const QString& what, const QString& value) {
    if (value.contains(QChar(u'\0')))
        throw Failure(0, QStringLiteral("The %1 holds a NUL character, which cannot be sent to "
                                        "the server.")
                             .arg(what));
}

QStringList ResolveHost(const QString& host, int timeoutSeconds) {
    if (isIpv4(host) || isIpv6(host)) return {host};

    // The lookup runs on a thread of its own that is left behind if it does not answer in time;
    // the shared state outlives whichever side finishes last.
    struct Lookup {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        QStringList addresses;
        std::optional<Failure> failure;
    };
    auto state = std::make_shared<Lookup>();
    HostLookup lookup = lookupOverride() ? lookupOverride() : HostLookup(systemLookup);
    std::thread([state, lookup, host] {
        QStringList addresses;
        std::optional<Failure> failure;
        try {
            addresses = lookup(host);
        } catch (const Failure& f) {
            failure = f;
        }
        std::lock_guard<std::mutex> lock(state->mutex);
        state->addresses = std::move(addresses);
        state->failure = std::move(failure);
        state->finished = true;
        state->done.notify_all();
    }).detach();

    std::unique_lock<std::mutex> lock(state->mutex);
    if (!state->done.wait_for(lock, std::chrono::seconds(timeoutSeconds),
                              [&] { return state->finished; }))
        throw Failure(
            CR_UNKNOWN_HOST,
            QStringLiteral("The server name \"%1\" could not be resolved within "
                           "%2 %3.")
                .arg(host)
                .arg(timeoutSeconds)
                .arg(timeoutSeconds == 1 ? QStringLiteral("second") : QStringLiteral("seconds")));
    if (state->failure) throw *state->failure;
    return state->addresses;
}

void SetHostLookupForTesting(HostLookup lookup) {
    lookupOverride() = std::move(lookup);
}
