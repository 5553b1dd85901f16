#include "platform/qt_http_client.h"

#include <gtest/gtest.h>

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <memory>
#include <string>
#include <vector>

#include "qt_test_app.h"

namespace bf {
namespace {

// An HTTP server on 127.0.0.1 inside the test's own event loop: it answers
// every request with `status`, `headers` and `body`, or never answers without
// a status. An endless server sends its body again and again after that.
struct LocalServer {
    explicit LocalServer(const QByteArray& status = {}, const QByteArray& body = {},
                         const QByteArray& headers = {}, bool endless = false) {
        const QByteArray length =
            endless ? QByteArray() : "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
        const QByteArray reply = status.isEmpty() ? QByteArray()
                                                  : "HTTP/1.1 " + status + "\r\n" + headers + length +
                                                        "Connection: close\r\n\r\n" + body;
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this, reply, endless] {
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                auto request = std::make_shared<QByteArray>();
                QObject::connect(
                    socket, &QTcpSocket::readyRead, socket, [this, reply, endless, socket, request] {
                        *request += socket->readAll();
                        if (!request->contains("\r\n\r\n")) return;
                        requestLines.push_back(request->left(request->indexOf("\r\n")).toStdString());
                        if (reply.isEmpty()) return;
                        socket->write(reply);
                        if (endless)
                            listeners.emplace_back(socket);
                        else
                            socket->disconnectFromHost();
                    });
            }
        });
        QObject::connect(&pump, &QTimer::timeout, &pump, [this, body] {
            for (const QPointer<QTcpSocket>& socket : listeners)
                if (socket) socket->write(body);
        });
        if (endless) pump.start(5);
    }
    std::string url(const std::string& path = "/") const {
        return "http://127.0.0.1:" + std::to_string(server.serverPort()) + path;
    }
    QTcpServer server;
    QTimer pump;
    std::vector<QPointer<QTcpSocket>> listeners;
    std::vector<std::string> requestLines;
};

class QtHttpClientTest : public test::QtAppTest {
protected:
    QtHttpClient client;
};

TEST_F(QtHttpClientTest, ReturnsTheBodyBytesOfAnyStatusAndSendsTheUrlBytesUnchanged) {
    LocalServer server("200 OK", "Caf\xe9 \x01 body");
    const HttpResult r = client.fetch(server.url("/Playing.ashx?title=Caf\xe9 au lait&artist=A"));
    EXPECT_TRUE(r.ok()) << r.errorText;
    EXPECT_EQ(r.body, "Caf\xe9 \x01 body");
    EXPECT_EQ(server.requestLines,
              std::vector<std::string>{"GET /Playing.ashx?title=Caf%E9%20au%20lait&artist=A HTTP/1.1"});
    EXPECT_FALSE(client.busy());

    EXPECT_EQ(r.status, 200);
    EXPECT_FALSE(r.statusError());

    LocalServer empty("200 OK"), missing("404 Not Found", "no such page");
    EXPECT_TRUE(client.fetch(empty.url()).ok());
    const HttpResult notFound = client.fetch(missing.url("/x"));
    EXPECT_EQ(notFound.body, "no such page");
    EXPECT_EQ(notFound.status, 404);
    EXPECT_TRUE(notFound.statusError());
}

TEST_F(QtHttpClientTest, FailedFetchGivesAnEmptyBodyAndItsErrorAtOnceOrAtTheTimeout) {
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        closedPort = probe.serverPort();
    }
    LocalServer silent;
    client.setTimeoutMs(300);
    const auto fails = [&](const std::string& url, int error) {
        const HttpResult r = client.fetch(url);
        EXPECT_EQ(r.error, error) << url;
        EXPECT_EQ(r.body, "") << url;
        EXPECT_FALSE(client.busy()) << url;
        return r.errorText;
    };
    EXPECT_EQ(fails("http://127.0.0.1:" + std::to_string(closedPort) + "/", HttpError::ConnectionRefused),
              "Connection refused");
    EXPECT_EQ(fails(silent.url(), HttpError::TimedOut), "Request timed out");
    for (const char* url : {"http://", "abc", "None", "", "/", "ftp://127.0.0.1/", "http:///path"})
        EXPECT_NE(fails(url, HttpError::MalformedUrl), "");
}

TEST_F(QtHttpClientTest, CancelANewFetchOrTheClientsEndDuringTheWaitEndsItAsCancelled) {
    LocalServer silent, answering("200 OK", "second");
    client.setTimeoutMs(5000);
    bool busyDuringWait = false;
    QTimer::singleShot(20, [&] {
        busyDuringWait = client.busy();
        client.cancel();
        EXPECT_FALSE(client.busy());
    });
    EXPECT_EQ(client.fetch(silent.url()).error, HttpError::Cancelled);
    EXPECT_TRUE(busyDuringWait);

    HttpResult inner;
    bool busyAfterInner = true;
    QTimer::singleShot(20, [&] {
        inner = client.fetch(answering.url());
        busyAfterInner = client.busy();
    });
    const HttpResult outer = client.fetch(silent.url());
    EXPECT_EQ(outer.error, HttpError::Cancelled);
    EXPECT_EQ(outer.body, "");
    EXPECT_EQ(inner.body, "second");
    EXPECT_FALSE(busyAfterInner);
    EXPECT_FALSE(client.busy());

    auto owned = std::make_unique<QtHttpClient>();
    QTimer::singleShot(20, [&] { owned.reset(); });
    EXPECT_EQ(owned->fetch(silent.url()).error, HttpError::Cancelled);
    EXPECT_EQ(owned, nullptr);
}

TEST_F(QtHttpClientTest, HeadersOnlyFetchEndsAtTheFinalAnswersHeadersAlsoOfAStreamWithoutEnd) {
    LocalServer stream("200 OK", QByteArray(4096, 'a'), "Content-Type: audio/mpeg\r\n", true);
    LocalServer moved("302 Found", "", QByteArray("Location: ") + stream.url("/live").c_str() + "\r\n");
    LocalServer missing("404 Not Found", "no such mount");
    client.setTimeoutMs(3000);  // the stream would run into it
    for (const auto& [url, status] :
         {std::pair{stream.url("/live"), 200}, {moved.url("/old"), 200}, {missing.url("/gone"), 404}}) {
        const HttpResult r = client.fetchHeaders(url);
        EXPECT_TRUE(r.ok()) << url << ": " << r.errorText;
        EXPECT_EQ(r.status, status) << url;
        EXPECT_EQ(r.body, "") << url;
        EXPECT_FALSE(client.busy()) << url;
    }
    EXPECT_EQ(stream.requestLines, std::vector<std::string>(2, "GET /live HTTP/1.1"));
    EXPECT_EQ(moved.requestLines, std::vector<std::string>{"GET /old HTTP/1.1"});
    LocalServer silent;
    client.setTimeoutMs(300);
    EXPECT_EQ(client.fetchHeaders(silent.url()).error, HttpError::TimedOut);
}

}  // namespace
}  // namespace bf
