#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <chrono>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/qt_http_client.h"
#include "platform/qt_timers.h"
#include "platform/real_clock.h"
#include "qt_test_app.h"

namespace bf {
namespace {

using namespace std::chrono_literals;
using test::processEventsFor;
using test::processEventsUntil;

// An HTTP server on 127.0.0.1 inside the test's own event loop. It answers
// by path: /silent never answers, /live is a stream that never ends (no
// length, the connection stays open), /old is moved to /live.
struct LocalServer {
    LocalServer() {
        server.listen(QHostAddress::LocalHost, 0);
        const QByteArray live = url("/live").c_str();
        const std::map<QByteArray, QByteArray> replies = {
            {"/ok", "200 OK\r\nContent-Length: 11\r\n\r\nCaf\xe9 \x01 body"},
            {"/missing", "404 Not Found\r\nContent-Length: 12\r\n\r\nno such page"},
            {"/live", "200 OK\r\nContent-Type: audio/mpeg\r\n\r\n" + QByteArray(4096, 'a')},
            {"/old", "302 Found\r\nLocation: " + live + "\r\nContent-Length: 0\r\n\r\n"}};
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this, replies] {
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                auto request = std::make_shared<QByteArray>();
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, replies, socket, request] {
                    *request += socket->readAll();
                    if (!request->contains("\r\n\r\n")) return;
                    const QByteArray line = request->left(request->indexOf("\r\n"));
                    requestLines.push_back(line.toStdString());
                    const auto reply = replies.find(line.split(' ').value(1).split('?').value(0));
                    if (reply != replies.end()) socket->write("HTTP/1.1 " + reply->second);
                    if (reply != replies.end() && reply->first != "/live") socket->disconnectFromHost();
                });
            }
        });
    }
    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(server.serverPort()) + path;
    }
    QTcpServer server;
    std::vector<std::string> requestLines;
};

class QtHttpClientTest : public test::QtAppTest {
protected:
    std::string show(const HttpResult& r) const {
        const char* busy = client.busy() ? " busy" : "";
        return std::to_string(r.status) + " [" + r.body + "] " + std::to_string(r.error) + " " + r.errorText +
               busy;
    }
    LocalServer server;
    QtHttpClient client;
};

TEST_F(QtHttpClientTest, ReturnsTheBodyOfAnyStatusOrTheStatusAloneOrTheErrorAndSendsTheUrlBytesAsTheyAre) {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 closedPort = probe.serverPort();
    probe.close();
    client.setTimeoutMs(500);
    // The URL, headers only, what comes back.
    // clang-format off
    const std::tuple<std::string, bool, std::string> cases[] = {
        {server.url("/ok?title=Caf\xe9 au lait&artist=A"), false, "200 [Caf\xe9 \x01 body] 0 "},
        {server.url("/missing"), false, "404 [no such page] 0 "},
        {server.url("/live"), true, "200 [] 0 "},  // a stream: the headers end the fetch
        {server.url("/old"), true, "200 [] 0 "},   // the final answer's headers
        {server.url("/silent"), false, "0 [] 35761 Request timed out"},
        {"http://127.0.0.1:" + std::to_string(closedPort) + "/", false, "0 [] 35754 Connection refused"},
        {"ftp://127.0.0.1/", true, "0 [] 35752 URL is malformed"},
        {"http:///path", false, "0 [] 35752 URL is malformed"}};
    // clang-format on
    for (const auto& [url, headersOnly, expected] : cases)
        EXPECT_EQ(show(headersOnly ? client.fetchHeaders(url) : client.fetch(url)), expected) << url;
    // The URL's bytes reach the server as they are.
    EXPECT_EQ(server.requestLines.front(), "GET /ok?title=Caf%E9%20au%20lait&artist=A HTTP/1.1");
}

// The health check's new fetch cancels the one still waiting.
TEST_F(QtHttpClientTest, ANewFetchDuringTheWaitEndsTheWaitingOneAsCancelled) {
    std::string during;
    QTimer::singleShot(20, [&] {
        during = client.busy() ? "busy " : "idle ";
        during += show(client.fetch(server.url("/ok")));
    });
    EXPECT_EQ(show(client.fetch(server.url("/silent"))), "0 [] 35757 Request cancelled");
    EXPECT_EQ(during, "busy 200 [Caf\xe9 \x01 body] 0 ");
}

using QtTimersTest = test::QtAppTest;

// The station's pauses block: no handler runs meanwhile. A zero period would
// fire at every turn of the event loop.
TEST_F(QtTimersTest, StartedTimerTicksUntilStoppedButNotDuringAPauseAndZeroOrUnknownNeverRuns) {
    QtTimers timers;
    int ticks = 0;
    timers.define("tmrA", 10, [&] { ++ticks; });
    timers.start("tmrA");
    EXPECT_TRUE(processEventsUntil([&] { return ticks >= 3; }));
    const int beforePause = ticks;
    const auto pauseStart = std::chrono::steady_clock::now();
    RealClock().sleep(0.05);
    EXPECT_GE(std::chrono::steady_clock::now() - pauseStart, 50ms);
    EXPECT_EQ(ticks, beforePause);
    EXPECT_TRUE(timers.running("tmrA"));
    timers.stop("tmrA");
    const int stoppedAt = ticks;
    timers.start("tmrUnknown");
    timers.define("tmrZero", 0, [&] { ++ticks; });
    timers.start("tmrZero");
    processEventsFor(50ms);
    EXPECT_EQ(ticks, stoppedAt);
    EXPECT_FALSE(timers.running("tmrA") || timers.running("tmrUnknown") || timers.running("tmrZero"));
}

using RealClockTest = test::QtAppTest;

TEST_F(RealClockTest, ReadsTheLocalDateAndTimeWithSundayAsDayOne) {
    // The clock RealClock reads: time() reads a coarser one that may still show the second before.
    const auto second = [] { return std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()); };
    const std::time_t before = second();
    const LocalTime now = RealClock().now();
    if (second() != before) GTEST_SKIP() << "the second changed while reading";
    std::tm tm{};
    localtime_r(&before, &tm);
    EXPECT_EQ(std::tuple(now.year, now.month, now.day, now.weekday, now.hour, now.minute, now.second),
              std::tuple(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_wday + 1, tm.tm_hour, tm.tm_min,
                         tm.tm_sec));
}

}  // namespace
}  // namespace bf
