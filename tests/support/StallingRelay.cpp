#include "support/StallingRelay.h"

#include <QHostAddress>
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

    void release() {
        for (QTcpSocket* s : std::as_const(sockets_)) s->abort();
        server_->close();
    }

private:
    // Passes what `from` receives on to `to`, until the direction's limit is crossed.
    void pipe(QTcpSocket* from, QTcpSocket* to, int direction) {
        connect(from, &QTcpSocket::readyRead, this, [=, this] {
            const QByteArray bytes = from->readAll();
            if (relay_.stalled()) return;
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

    StallingRelay& relay_;
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

void StallingRelay::release() {
    QMetaObject::invokeMethod(
        worker_, [this] { worker_->release(); }, Qt::BlockingQueuedConnection);
}

#include "StallingRelay.moc"
