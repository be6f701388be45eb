#include "support/StallingRelay.h"

#include <QHostAddress>
#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>

class RelayWorker : public QObject {
    Q_OBJECT

public:
    RelayWorker(StallingRelay& relay, QString host, quint16 port, qint64 fromServer,
                qint64 fromClient)
        : relay_(relay), host_(std::move(host)), port_(port) {
        limit_[0] = fromClient;
        limit_[1] = fromServer;
    }

    quint16 listen() {
        server_ = new QTcpServer(this);
        server_->listen(QHostAddress::LocalHost);
        connect(server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* client = server_->nextPendingConnection()) {
                auto* upstream = new QTcpSocket(this);
                pipe(client, upstream, 0);
                pipe(upstream, client, 1);
                upstream->connectToHost(host_, port_);
                sockets_ << client << upstream;
            }
        });
        return server_->serverPort();
    }

    void rewrite(const QByteArray& from, const QByteArray& to, bool dropTls) {
        Q_ASSERT(from.size() == to.size());
        from_ = from;
        to_ = to;
        dropTls_ = dropTls;
    }

    void release() {
        for (QTcpSocket* s : std::as_const(sockets_)) s->abort();
        server_->close();
    }

private:
    // Passes what `from` receives on to `to`, until the direction's limit is crossed.
    void pipe(QTcpSocket* from, QTcpSocket* to, int direction) {
        connect(from, &QTcpSocket::readyRead, this, [=, this] {
            QByteArray bytes = from->readAll();
            if (relay_.stalled()) return;
            if (direction == 1) changeFromServer(from, bytes);
            passed_[direction] += bytes.size();
            if (to->state() == QAbstractSocket::ConnectedState)
                to->write(bytes);
            else
                pending_[direction] += bytes;
            if (limit_[direction] >= 0 && passed_[direction] >= limit_[direction])
                relay_.stalledAt_ = StallingRelay::Clock::now();
        });
        connect(to, &QTcpSocket::connected, this,
                [=, this] { to->write(std::exchange(pending_[direction], {})); });
        connect(from, &QTcpSocket::disconnected, to, &QTcpSocket::disconnectFromHost);
    }

    // The greeting is the server's first packet: header, protocol version, the version text, the
    // thread id, 8 bytes of scramble and a filler, then the lower capability flags.
    void changeFromServer(QTcpSocket* server, QByteArray& bytes) {
        if (!from_.isEmpty()) bytes.replace(from_, to_);
        if (!dropTls_ || greeted_.contains(server)) return;
        greeted_.insert(server);
        const qsizetype end = bytes.indexOf('\0', 5);
        const qsizetype flags = end + 1 + 4 + 8 + 1;
        constexpr char kTlsFlagInSecondByte = 0x08;  // CLIENT_SSL, 0x0800
        if (end > 0 && flags + 1 < bytes.size()) bytes[flags + 1] &= ~kTlsFlagInSecondByte;
    }

    StallingRelay& relay_;
    QByteArray from_;
    QByteArray to_;
    bool dropTls_ = false;
    QSet<QTcpSocket*> greeted_;
    QString host_;
    quint16 port_;
    qint64 limit_[2];
    qint64 passed_[2] = {0, 0};
    QByteArray pending_[2];
    QTcpServer* server_ = nullptr;
    QList<QTcpSocket*> sockets_;
};

StallingRelay::StallingRelay(const QString& host, quint16 port, qint64 fromServer,
                             qint64 fromClient) {
    worker_ = new RelayWorker(*this, host, port, fromServer, fromClient);
    worker_->moveToThread(&thread_);
    QObject::connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    thread_.start();
    QMetaObject::invokeMethod(
        worker_, [this] { port_ = worker_->listen(); }, Qt::BlockingQueuedConnection);
}

StallingRelay::~StallingRelay() {
    release();
    thread_.quit();
    thread_.wait();
}

void StallingRelay::rewriteFromServer(const QByteArray& from, const QByteArray& to, bool dropTls) {
    QMetaObject::invokeMethod(
        worker_, [=, this] { worker_->rewrite(from, to, dropTls); }, Qt::BlockingQueuedConnection);
}

void StallingRelay::release() {
    QMetaObject::invokeMethod(
        worker_, [this] { worker_->release(); }, Qt::BlockingQueuedConnection);
}

#include "StallingRelay.moc"
