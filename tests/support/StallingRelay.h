#pragma once

#include <QString>
#include <QThread>
#include <atomic>
#include <chrono>
#include <memory>

class RelayWorker;

// A TCP relay on a loopback port in front of a real server, which at a chosen point stops passing
// bytes on, as a server does that stops answering (or a network that stops carrying). The read that
// crosses a limit still passes whole, so "1 byte from the server" lets the server's greeting
// through and holds everything after it.
class StallingRelay {
public:
    using Clock = std::chrono::steady_clock;

    // Holds back everything after `fromServer` bytes from the server or `fromClient` bytes from the
    // client; a negative limit never holds.
    StallingRelay(const QString& host, quint16 port, qint64 fromServer, qint64 fromClient);
    ~StallingRelay();
    StallingRelay(const StallingRelay&) = delete;
    StallingRelay& operator=(const StallingRelay&) = delete;

    // Replaces `from` by `to` (of the same length) in everything the server sends, its greeting
    // included, as a man in the middle could; with `dropTls` the greeting no longer offers
    // encryption, so the whole session can be read and changed. Set before the first connection.
    void rewriteFromServer(const QByteArray& from, const QByteArray& to, bool dropTls);

    quint16 port() const { return port_; }
    // Whether bytes are being held back, and since when.
    bool stalled() const { return stalledAt_.load() != Clock::time_point{}; }
    Clock::time_point stalledAt() const { return stalledAt_.load(); }
    // Ends every connection at once, so whoever waits on one gets an error.
    void release();

private:
    friend class RelayWorker;
    QThread thread_;
    RelayWorker* worker_ = nullptr;
    quint16 port_ = 0;
    std::atomic<Clock::time_point> stalledAt_{};
};
