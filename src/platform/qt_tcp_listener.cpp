#include "platform/qt_tcp_listener.h"

#include <sys/socket.h>

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace bf {

namespace {

// Qt reads from the kernel only this far ahead of us, so a peer that sends
// megabytes cannot make the process buffer them.
constexpr qint64 kReadBufferBytes = 64 * 1024;
// How long a closed connection goes on swallowing what the peer still sends.
constexpr int kLingerMs = 2000;
// Connections the kernel holds for us while the thread is blocked (a
// switch's two-second overlap); beyond them, a burst of clients would be
// held back by the clients' own retries, for seconds.
constexpr int kListenBacklog = 256;

std::string PlainAddress(const QHostAddress& address) {
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return (isV4 ? QHostAddress(v4) : address).toString().toStdString();
}

// Half-closes the socket once its output has gone out, throws away whatever
// still arrives, and deletes it when the peer closes or the linger ends.
// Closing with unread input would make the kernel answer with a reset, and
// a reset can make the peer drop the reply it has not read yet.
void LingeringClose(QTcpSocket* socket) {
    if (socket->state() != QAbstractSocket::ConnectedState) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->readAll(); });
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    QObject::connect(socket, &QAbstractSocket::errorOccurred, socket, &QObject::deleteLater);
    // The timer is the socket's child and goes with it. A single-shot timer
    // that only names the socket as its context stays registered for the
    // whole linger time, and Qt unregisters each timer by a search through
    // all of them: under a burst of requests that search took a third of
    // the program's time.
    auto* linger = new QTimer(socket);
    linger->setSingleShot(true);
    QObject::connect(linger, &QTimer::timeout, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    linger->start(kLingerMs);
    auto shutdownOutput = [socket] {
        if (socket->socketDescriptor() != -1)
            ::shutdown(static_cast<int>(socket->socketDescriptor()), SHUT_WR);
    };
    socket->flush();
    if (socket->bytesToWrite() == 0) {
        shutdownOutput();
    } else {
        QObject::connect(socket, &QTcpSocket::bytesWritten, socket, [socket, shutdownOutput] {
            if (socket->bytesToWrite() == 0) shutdownOutput();
        });
    }
    socket->readAll();
}

class QtTcpConnection : public TcpConnection {
public:
    QtTcpConnection(QTcpSocket* socket, Events events)
        : socket_(socket),
          relay_(std::make_unique<QObject>()),
          events_(std::make_shared<Events>(std::move(events))),
          peer_(PlainAddress(socket->peerAddress())) {
        socket->setReadBufferSize(kReadBufferBytes);
        // Every connection has relay_ as its context: deleting relay_ cuts
        // them all, and with them any event still queued. The handlers copy
        // the shared events first, so a handler may destroy this object.
        auto events_copy = events_;
        QObject::connect(socket, &QTcpSocket::readyRead, relay_.get(), [events_copy] {
            auto keep = events_copy;
            if (keep->dataArrived) keep->dataArrived();
        });
        QObject::connect(socket, &QTcpSocket::bytesWritten, relay_.get(), [events_copy, socket] {
            if (socket->bytesToWrite() != 0) return;
            auto keep = events_copy;
            if (keep->sendComplete) keep->sendComplete();
        });
        auto closed = [events_copy] {
            auto keep = events_copy;
            if (keep->closed) keep->closed();
        };
        QObject::connect(socket, &QTcpSocket::disconnected, relay_.get(), closed);
        QObject::connect(socket, &QAbstractSocket::errorOccurred, relay_.get(), closed);
        // Bytes or a close that came before the handlers were connected
        // would otherwise bring no event.
        QMetaObject::invokeMethod(
            relay_.get(),
            [events_copy, socket = QPointer<QTcpSocket>(socket)] {
                auto keep = events_copy;
                if (!socket || socket->state() != QAbstractSocket::ConnectedState) {
                    if (keep->closed) keep->closed();
                } else if (socket->bytesAvailable() > 0 && keep->dataArrived) {
                    keep->dataArrived();
                }
            },
            Qt::QueuedConnection);
    }

    ~QtTcpConnection() override {
        relay_.reset();
        if (socket_) {
            socket_->abort();
            socket_->deleteLater();
        }
    }

    std::string readAll() override {
        if (!socket_) return {};
        const QByteArray bytes = socket_->readAll();
        return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
    }

    void send(std::string_view bytes) override {
        if (socket_) socket_->write(bytes.data(), static_cast<qint64>(bytes.size()));
    }

    void close() override {
        relay_.reset();
        if (QTcpSocket* socket = socket_.data()) {
            socket_ = nullptr;
            LingeringClose(socket);
        }
    }

    std::string peerAddress() const override { return peer_; }

private:
    QPointer<QTcpSocket> socket_;
    std::unique_ptr<QObject> relay_;
    std::shared_ptr<Events> events_;
    std::string peer_;
};

}  // namespace

QtTcpListener::QtTcpListener() : server_(std::make_unique<QTcpServer>()) {
    server_->setListenBacklogSize(kListenBacklog);
    QObject::connect(server_.get(), &QTcpServer::newConnection, server_.get(), [this] {
        if (handler_) handler_();
    });
}

QtTcpListener::~QtTcpListener() = default;

bool QtTcpListener::listen(uint16_t port, const std::string& address) {
    const QHostAddress host =
        address.empty() ? QHostAddress(QHostAddress::Any) : QHostAddress(QString::fromStdString(address));
    if (server_->isListening()) server_->close();
    return server_->listen(host, port);
}

bool QtTcpListener::isListening() const {
    return server_->isListening();
}

uint16_t QtTcpListener::localPort() const {
    return server_->serverPort();
}

void QtTcpListener::setConnectionRequestHandler(std::function<void()> handler) {
    handler_ = std::move(handler);
}

std::unique_ptr<TcpConnection> QtTcpListener::accept(TcpConnection::Events events) {
    QTcpSocket* socket = server_->nextPendingConnection();
    if (!socket) return nullptr;
    return std::make_unique<QtTcpConnection>(socket, std::move(events));
}

}  // namespace bf
