#include "platform/qt_http_client.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "qt_test_app.h"

namespace bf {
namespace {

// An HTTP server on 127.0.0.1 inside the test's own event loop: it answers
// every request with `response`, or never answers when that is empty.
class LocalServer {
public:
    explicit LocalServer(QByteArray response = {}) : response_(std::move(response)) {
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { read(socket); });
            }
        });
    }

    std::string url(const std::string& path = "/") const {
        return "http://127.0.0.1:" + std::to_string(server_.serverPort()) + path;
    }

    std::vector<std::string> requestLines;

private:
    void read(QTcpSocket* socket) {
        QByteArray& buffer = buffers_[socket];
        buffer += socket->readAll();
        if (!buffer.contains("\r\n\r\n")) return;
        requestLines.push_back(buffer.left(buffer.indexOf("\r\n")).toStdString());
        buffer.clear();
        if (response_.isEmpty()) return;
        socket->write(response_);
        socket->disconnectFromHost();
    }

    QByteArray response_;
    QTcpServer server_;
    std::map<QTcpSocket*, QByteArray> buffers_;
};

QByteArray httpReply(const QByteArray& status, const QByteArray& body) {
    return "HTTP/1.1 " + status + "\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

class QtHttpClientTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { app().acquire(); }
    static void TearDownTestSuite() { app().release(); }
    static test::QtTestApp& app() {
        static test::QtTestApp instance;
        return instance;
    }

    QtHttpClient client;
};

TEST_F(QtHttpClientTest, ReturnsTheBodyBytesAndSendsTheUrlBytesUnchanged) {
    LocalServer server(httpReply("200 OK", "Caf\xe9 \x01 body"));
    const HttpResult r = client.fetch(server.url("/Playing.ashx?title=Caf\xe9 au lait&artist=A"));
    EXPECT_TRUE(r.ok()) << r.errorText;
    EXPECT_EQ(r.body, "Caf\xe9 \x01 body");
    ASSERT_EQ(server.requestLines.size(), 1u);
    EXPECT_EQ(server.requestLines[0], "GET /Playing.ashx?title=Caf%E9%20au%20lait&artist=A HTTP/1.1");
    EXPECT_FALSE(client.busy());
}

TEST_F(QtHttpClientTest, AnswerWithoutBodyOrWithErrorStatusIsTheReply) {
    LocalServer empty(httpReply("200 OK", ""));
    const HttpResult r = client.fetch(empty.url());
    EXPECT_TRUE(r.ok()) << r.errorText;
    EXPECT_EQ(r.body, "");

    LocalServer missing(httpReply("404 Not Found", "no such page"));
    EXPECT_EQ(client.fetch(missing.url("/x")).body, "no such page");
}

TEST_F(QtHttpClientTest, RefusedConnectionFailsAtOnce) {
    quint16 port = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    client.setTimeoutMs(5000);
    const HttpResult r = client.fetch("http://127.0.0.1:" + std::to_string(port) + "/");
    EXPECT_EQ(r.error, HttpError::ConnectionRefused);
    EXPECT_EQ(r.errorText, "Connection refused");
    EXPECT_EQ(r.body, "");
}

TEST_F(QtHttpClientTest, ServerThatNeverAnswersEndsByTheTimeout) {
    LocalServer silent;
    client.setTimeoutMs(300);
    const HttpResult r = client.fetch(silent.url());
    EXPECT_EQ(r.error, HttpError::TimedOut);
    EXPECT_EQ(r.errorText, "Request timed out");
    EXPECT_EQ(r.body, "");
    EXPECT_FALSE(client.busy());
}

class QtHttpClientBadUrlTest : public QtHttpClientTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(QtHttpClientBadUrlTest, UnusableUrlFailsAtOnceAsMalformed) {
    client.setTimeoutMs(5000);
    const HttpResult r = client.fetch(GetParam());
    EXPECT_EQ(r.error, HttpError::MalformedUrl);
    EXPECT_FALSE(r.errorText.empty());
    EXPECT_EQ(r.body, "");
    EXPECT_FALSE(client.busy());
}

INSTANTIATE_TEST_SUITE_P(Urls, QtHttpClientBadUrlTest,
                         ::testing::Values("http://", "abc", "None", "", "/", "ftp://127.0.0.1/", "http:///path"));

TEST_F(QtHttpClientTest, IsBusyWhileWaitingAndCancelEndsTheFetch) {
    LocalServer silent;
    client.setTimeoutMs(5000);
    bool busyDuringWait = false;
    QTimer::singleShot(20, [&] {
        busyDuringWait = client.busy();
        client.cancel();
    });
    const HttpResult r = client.fetch(silent.url());
    EXPECT_TRUE(busyDuringWait);
    EXPECT_EQ(r.error, HttpError::Cancelled);
    EXPECT_EQ(r.body, "");
    EXPECT_FALSE(client.busy());
}

TEST_F(QtHttpClientTest, FetchDuringTheWaitCancelsTheRunningOne) {
    LocalServer silent;
    LocalServer answering(httpReply("200 OK", "second"));
    client.setTimeoutMs(5000);
    HttpResult inner;
    bool busyAfterInner = true;
    QTimer::singleShot(20, [&] {
        inner = client.fetch(answering.url());
        busyAfterInner = client.busy();
    });
    const HttpResult outer = client.fetch(silent.url());
    EXPECT_EQ(inner.body, "second");
    EXPECT_FALSE(busyAfterInner);
    EXPECT_EQ(outer.error, HttpError::Cancelled);
    EXPECT_EQ(outer.body, "");
}

TEST_F(QtHttpClientTest, ClientDestroyedDuringItsFetchEndsTheWait) {
    LocalServer silent;
    auto owned = std::make_unique<QtHttpClient>();
    owned->setTimeoutMs(5000);
    QTimer::singleShot(20, [&] { owned.reset(); });
    const HttpResult r = owned->fetch(silent.url());
    EXPECT_EQ(r.error, HttpError::Cancelled);
    EXPECT_EQ(owned, nullptr);
}

}  // namespace
}  // namespace bf
