#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <atomic>
#include <mutex>
#include <thread>

// A server on a loopback port that speaks just enough of the MySQL protocol to greet a client and
// ask it to authenticate with a method of the test's choice, and records every byte the client
// sends. It offers no TLS.
class FakeServer {
public:
    // greetingMethod: the authentication method named in the greeting. switchTo: when not empty,
    // the method that the server asks for after the client's first answer.
    FakeServer(QByteArray greetingMethod, QByteArray switchTo);
    ~FakeServer();
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

    int port() const { return port_; }
    // Everything received so far, over all connections.
    QByteArray received() const;
    int connections() const { return connections_; }

    // A socket's handle: an int where sockets are files, an unsigned handle on Windows.
#ifdef Q_OS_WIN
    using Socket = quintptr;
    static constexpr Socket kNoSocket = ~Socket{0};
#else
    using Socket = int;
    static constexpr Socket kNoSocket = -1;
#endif

private:
    void serve();
    void talk(Socket client);

    QByteArray greetingMethod_;
    QByteArray switchTo_;
    Socket listener_ = kNoSocket;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;
    QByteArray received_;
    std::thread thread_;
};
