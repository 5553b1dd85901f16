#include "platform/qt_http_listener.h"

#include <QAbstractHttpServer>
#include <QHostAddress>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QMetaEnum>

namespace bf {

namespace {

QByteArray Bytes(const std::string& text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

std::string MethodName(QHttpServerRequest::Method method) {
    const char* name = QMetaEnum::fromType<QHttpServerRequest::Method>().valueToKey(static_cast<int>(method));
    return name ? QByteArray(name).toUpper().toStdString() : "UNKNOWN";
}

}  // namespace

// Every request goes to the one handler; none is left to Qt's own routing.
class QtHttpListener::Server : public QAbstractHttpServer {
public:
    Handler handler;

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
        HttpReply reply{404, "text/plain; charset=utf-8", "Not Found\n", {}};
        if (handler) reply = handler({MethodName(request.method()), request.url().path().toStdString()});
        QHttpServerResponder responder = makeResponder(request, socket);
        responder.writeStatusLine(static_cast<QHttpServerResponder::StatusCode>(reply.status));
        responder.writeHeader("Content-Type", Bytes(reply.contentType));
        responder.writeHeader("Content-Length",
                              QByteArray::number(static_cast<qulonglong>(reply.body.size())));
        for (const auto& [name, value] : reply.headers) responder.writeHeader(Bytes(name), Bytes(value));
        responder.writeBody(Bytes(reply.body));
        return true;
    }

    void missingHandler(const QHttpServerRequest&, QTcpSocket*) override {}
};

QtHttpListener::QtHttpListener() : server_(std::make_unique<Server>()) {}

QtHttpListener::~QtHttpListener() = default;

void QtHttpListener::setHandler(Handler handler) {
    server_->handler = std::move(handler);
}

bool QtHttpListener::listen(uint16_t port, const std::string& address) {
    const QHostAddress host(QString::fromStdString(address));
    if (host.isNull()) return false;
    port_ = server_->listen(host, port);
    return port_ != 0;
}

uint16_t QtHttpListener::localPort() const {
    return port_;
}

}  // namespace bf
