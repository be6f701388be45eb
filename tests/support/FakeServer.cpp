#include "support/FakeServer.h"

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

using Socket = FakeServer::Socket;

#ifdef Q_OS_WIN
constexpr int kSendFlags = 0;
int pollSocket(pollfd* p, int timeoutMs) {
    return WSAPoll(p, 1, timeoutMs);
}
void closeSocket(Socket s) {
    ::closesocket(s);
}
#else
constexpr int kSendFlags = MSG_NOSIGNAL;
int pollSocket(pollfd* p, int timeoutMs) {
    return ::poll(p, 1, timeoutMs);
}
void closeSocket(Socket s) {
    ::close(s);
}
#endif

QByteArray packet(quint8 sequence, const QByteArray& payload) {
    QByteArray out;
    const auto n = static_cast<quint32>(payload.size());
    out.append(static_cast<char>(n & 0xff));
    out.append(static_cast<char>((n >> 8) & 0xff));
    out.append(static_cast<char>((n >> 16) & 0xff));
    out.append(static_cast<char>(sequence));
    return out + payload;
}

void appendLe(QByteArray& out, quint32 value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.append(static_cast<char>((value >> (8 * i)) & 0xff));
}

QByteArray greeting(const QByteArray& method) {
    // Protocol 41, secure connection, plug-in authentication; no TLS.
    constexpr quint32 kCapabilities =
        0x1 | 0x4 | 0x8 | 0x200 | 0x2000 | 0x8000 | 0x20000 | 0x80000 | 0x200000;
    QByteArray g;
    g.append('\x0a');
    g.append("5.7.99-fake");
    g.append('\0');
    appendLe(g, 7, 4);
    g.append("abcdefgh");
    g.append('\0');
    appendLe(g, kCapabilities & 0xffff, 2);
    g.append('\x21');
    appendLe(g, 2, 2);
    appendLe(g, kCapabilities >> 16, 2);
    g.append('\x15');
    g.append(QByteArray(10, '\0'));
    g.append("ijklmnopqrst");
    g.append('\0');
    g.append(method);
    g.append('\0');
    return g;
}

bool sendAll(Socket fd, const QByteArray& data) {
    qsizetype done = 0;
    while (done < data.size()) {
        const auto n =
            ::send(fd, data.constData() + done, static_cast<int>(data.size() - done), kSendFlags);
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

}  // namespace

FakeServer::FakeServer(QByteArray greetingMethod, QByteArray switchTo)
    : greetingMethod_(std::move(greetingMethod)), switchTo_(std::move(switchTo)) {
#ifdef Q_OS_WIN
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return;
#endif
    listener_ = Socket(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ == kNoSocket ||
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener_, 4) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
}

FakeServer::~FakeServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listener_ != kNoSocket) closeSocket(listener_);
#ifdef Q_OS_WIN
    WSACleanup();
#endif
}

QByteArray FakeServer::received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

void FakeServer::serve() {
    while (!stop_) {
        pollfd p{listener_, POLLIN, 0};
        if (pollSocket(&p, 50) <= 0) continue;
        const Socket client = Socket(::accept(listener_, nullptr, nullptr));
        if (client == kNoSocket) continue;
        ++connections_;
        talk(client);
        closeSocket(client);
    }
}

void FakeServer::talk(Socket client) {
    if (!sendAll(client, packet(0, greeting(greetingMethod_)))) return;
    bool switched = switchTo_.isEmpty();
    // Reads until the client hangs up, for at most a few seconds.
    for (int idle = 0; idle < 100 && !stop_;) {
        pollfd p{client, POLLIN, 0};
        if (pollSocket(&p, 50) <= 0) {
            ++idle;
            continue;
        }
        char buffer[4096];
        const auto n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            received_.append(buffer, n);
        }
        if (!switched) {
            switched = true;
            QByteArray request("\xfe");
            request.append(switchTo_);
            request.append('\0');
            request.append("ijklmnopqrstabcdefgh");
            request.append('\0');
            if (!sendAll(client, packet(2, request))) return;
        }
    }
}
