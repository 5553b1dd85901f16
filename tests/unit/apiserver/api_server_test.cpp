#include "apiserver/api_server.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <QLabel>
#include <QMessageBox>
#include <QTcpSocket>

#include "apiserver/api_server_window.h"
#include "apiserver/request_text.h"
#include "fake_tcp_listener.h"
#include "qt_test_app.h"
#include "test_station.h"

namespace bf::test {
namespace {

using Strings = std::vector<std::string>;
using Peer = std::shared_ptr<FakePeer>;

class ApiServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        s.settings().APIkey = "K";
        s.settings().APIallowed = true;
        s.folder.write("sourcelist.ini", "3u:http://three.example/live\r\n");
        server.Open(1011);
    }
    void Tick(int times = 1) {
        for (int i = 0; i < times; ++i) s.timers.fire(ApiServer::kTimeoutTimer);
    }
    // A set-source request runs the event loop while the switch reports the
    // source list: `events` run in its middle.
    void DuringTheSwitch(std::function<void()> events) {
        s.processes.onCall = [events](const std::string& call) {
            if (call.starts_with("start")) events();
        };
    }

    TestStation s;
    FakeTcpListener listener;
    ApiServer server{*s, listener};
    const Strings& rows = s->api.rows;
};

TEST_F(ApiServerTest, TimeOutTimerRunsWhileTheServerLivesAndAShortageOfDescriptorsIsLogged) {
    EXPECT_TRUE(s.timers.running(ApiServer::kTimeoutTimer));
    listener.shortage(true);
    listener.shortage(false);
    EXPECT_EQ(s->log.text(),
              " 2026-12-06 12:00:00  SYS - API HAS DESCRIPTORS AGAIN\r\n"
              " 2026-12-06 12:00:00  SYS - API SHORT OF DESCRIPTORS\r\n");
    ApiServer(*s, listener).Open(1011);  // a second server, gone at the end of the line
    EXPECT_EQ(s.timers.timers.count(ApiServer::kTimeoutTimer), 0u);
}

TEST_F(ApiServerTest, ConnectionTakesTheLowestFreeSlotANewOneOnlyWhenAllAreBusyThenTheOldestWaitingOnes) {
    std::vector<Peer> peers;
    for (int i = 0; i <= ApiServer::kSlotsPerAddress; ++i) peers.push_back(listener.connect("192.0.2.66"));
    EXPECT_FALSE(peers.back()->open);  // one address holds its share of the slots at most
    peers.pop_back();
    for (int i = ApiServer::kSlotsPerAddress; i < ApiServer::kHighestSlot; ++i)
        peers.push_back(listener.connect("10.0." + std::to_string(i)));
    EXPECT_EQ(rows.size(), ApiServer::kHighestSlot + 1u);

    // Every slot busy: the connection that has waited longest for its request makes room, once what it sent
    // is read.
    peers[0]->send("HELLO\r\n");  // answered, its reply on its way
    peers[1]->send("GET /api/meta");
    // The rest came while the station was busy: not announced yet.
    peers[1]->unread = "data.php?id=K HTTP/1.0\r\n\r\n";
    const Peer newcomer = listener.connect();
    EXPECT_EQ(std::tuple(peers[1]->sent.size(), peers[2]->open, newcomer->open, rows[3]),
              std::tuple(1u, false, true, "03 Closed"));
    for (const Peer& peer : peers) peer->send("HELLO\r\n");
    newcomer->send("HELLO\r\n");
    const Peer waiting = listener.connect();
    EXPECT_FALSE(waiting->open) << "every slot is sending its reply";

    // A row starts with the last two digits of its slot's number.
    for (const int slot : {256, 100, 12, 4}) peers[slot - 1]->hangUp();
    peers[0]->completeSend();
    EXPECT_TRUE(waiting->open);  // on slot 256, the first to come free
    EXPECT_EQ(rows[1] + "|" + rows[4] + "|" + rows[12] + "|" + rows[100] + "|" + rows[256],
              "01 Closed|04 Closed|12 Closed|00 Closed|56 Closed");
    listener.connect();
    EXPECT_EQ(std::tuple(server.busy(1), server.busy(4), server.highestSlot()),
              std::tuple(true, false, ApiServer::kHighestSlot));
}

TEST_F(ApiServerTest,
       AtTheDescriptorReserveANewcomerTakesTheDescriptorOfALingeringOrTheOldestWaitingConnection) {
    const Peer answered = listener.connect(), idle = listener.connect(), asking = listener.connect();
    answered->send("HELLO\r\n");
    answered->completeSend();
    asking->send("GET /api/meta");
    listener.reserve = true;
    const Peer first = listener.connect(), second = listener.connect();
    EXPECT_EQ(std::tuple(answered->open, idle->open, asking->open, first->open, second->open),
              std::tuple(false, false, true, true, true));
    EXPECT_EQ(std::tuple(server.busy(1), server.busy(2), server.highestSlot()), std::tuple(true, true, 3));

    // Every connection has its request: a caller waits for descriptors that others hold.
    for (const Peer& peer : {asking, first, second}) peer->send(" HTTP/1.0\r\n\r\n");
    const Peer third = listener.connect();
    EXPECT_FALSE(third->open);
    listener.reserve = false;
    Tick();
    EXPECT_TRUE(third->open);
}

// Each text arrives in the pieces given on slot 1, which each case frees
// again; then the caller ends its side if the case says so (nc -N does).
TEST_F(ApiServerTest, TextIsAnsweredOnceWhenItIsARequestOrCannotBecomeOneThenTheSlotCloses) {
    const std::string metadata = "GET /api/metadata.php?id=K HTTP/1.0\r\n\r\n", ok = "None\r\nOK\r\n";
    const std::string transfering = "01 Transfering: /api/metadata.php?id=K";
    // Pieces, whether the caller ends its side, the reply's body ("": none), the row before the reply is out.
    // clang-format off
    const std::tuple<Strings, bool, std::string, std::string> cases[] = {
        {{"G", "ET /api/metadata", ".php?id=K HTTP/1.", "1", "\r\nHost: x\r\n", "\r\n"}, false, ok, transfering},
        {{metadata, metadata}, false, ok, transfering},     // one reply per connection
        {{"HELLO\r\n"}, false, "ERROR", "01 Closed"},        // never the previous reply's body; the row stays
        {{metadata}, true, ok, transfering},                // the reply still goes out
        {{"GET /api/metadata.php?id=K"}, true, "ERROR", "01 Closed"},  // it will never be more
        {{}, true, "", "01 Closed"}};
    // clang-format on
    for (const auto& [pieces, halfClose, body, row] : cases) {
        SCOPED_TRACE(::testing::PrintToString(pieces));
        const Peer peer = listener.connect();
        for (const std::string& piece : pieces) peer->send(piece);
        if (halfClose) peer->halfClose();
        // Open until the reply is out.
        EXPECT_EQ(std::tuple(peer->sent, rows[1], peer->open),
                  std::tuple(body.empty() ? Strings{} : Strings{ComposeReply(body)}, row, !body.empty()));
        peer->completeSend();
        EXPECT_EQ(std::pair(peer->closedAfterReply, rows[1]),
                  std::pair(!body.empty(), std::string("01 Closed")));
    }
}

TEST_F(ApiServerTest, ConnectionGoesWhenSilentOrTooOldOrAWhileAfterItsReplyTheOldestBeyondTheCapAtOnce) {
    std::vector<Peer> answered;
    for (size_t i = 0; i <= ApiServer::kMostLingering; ++i) {
        answered.push_back(listener.connect());
        answered.back()->send("HELLO\r\n");
        answered.back()->completeSend();
    }
    EXPECT_FALSE(answered[0]->open);
    const Peer silent = listener.connect(), trickling = listener.connect();
    for (int tick = 1; tick < ApiServer::kLifetimeSeconds; ++tick) {
        trickling->send(tick == 1 ? "GET /" : "a");
        Tick();
        EXPECT_EQ(silent->open, tick < ApiServer::kIdleSeconds) << tick;
        EXPECT_EQ(answered[1]->open, tick < ApiServer::kLingerSeconds) << tick;
    }
    EXPECT_TRUE(trickling->open);
    Tick();
    EXPECT_TRUE(!trickling->open && trickling->sent.empty());
}

TEST_F(ApiServerTest, RequestBeingHandledIsNeitherCutNorRepeatedAndGoesUnansweredIfItsConnectionCloses) {
    const Peer peer = listener.connect();
    DuringTheSwitch([&] {
        Tick(ApiServer::kLifetimeSeconds);
        peer->send("GET /api/metadata.php?id=K HTTP/1.0\r\n\r\n");
    });
    peer->send("GET /api/setcurrent.php?id=K3 HTTP/1.0\r\n");
    EXPECT_TRUE(peer->open);
    EXPECT_EQ(peer->sent, Strings{ComposeReply("Source: 3\r\nOK\r\n")});

    const Peer closing = listener.connect();
    Peer next;
    DuringTheSwitch([&] {
        closing->hangUp();
        next = listener.connect();  // takes the slot that has just come free
    });
    closing->send("GET /api/setcurrent.php?id=K3 HTTP/1.0\r\n\r\n");
    ASSERT_TRUE(next);
    EXPECT_EQ(std::tuple(closing->sent, next->open, next->sent, server.highestSlot()),
              std::tuple(Strings{}, true, Strings{}, 2));
}

using ApiServerWindowTest = QtAppTest;

// The real listener on a free port of 127.0.0.1 and a real client; the
// slots' rules are tested over fakes.
TEST_F(ApiServerWindowTest, AnswersACallerThatEndsItsSideAndShowsAFailureWithoutBlocking) {
    TestStation s;
    s.settings().APIallowed = true;
    s.settings().APIkey = "";
    ApiServerWindow window{*s, 0, "127.0.0.1"};
    // Sends `request`, ends its side (as nc -N does) and returns what the
    // server sent until it closed.
    auto exchange = [&](const std::string& request) {
        QTcpSocket client;
        client.connectToHost(QStringLiteral("127.0.0.1"), window.listeningPort());
        client.write(request.data(), static_cast<qint64>(request.size()));
        EXPECT_TRUE(client.waitForBytesWritten(10000));
        ::shutdown(static_cast<int>(client.socketDescriptor()), SHUT_WR);
        EXPECT_TRUE(processEventsUntil([&] { return client.state() == QAbstractSocket::UnconnectedState; }));
        return client.readAll().toStdString();
    };
    // Half a request is all the caller will send: it is answered.
    EXPECT_EQ(exchange("GET /api/metadata.php?id="), ComposeReply("ERROR"));
    const std::string list = "GET /api/listsources.php?id= HTTP/1.0\r\n\r\n";  // there is no list
    EXPECT_EQ(exchange(list), ComposeReply("ERROR"));
    QMessageBox* box = window.failureBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("File not found\r\n Line of error:30"));
    EXPECT_TRUE(processEventsUntil(
        [&] { return window.rowWidget(1) && window.rowWidget(1)->text() == QStringLiteral("01 Closed"); }));
    EXPECT_EQ(exchange(list), ComposeReply("ERROR"));  // answered while the box is open
    EXPECT_EQ(window.failureBox(), box);               // and no second box
}

}  // namespace
}  // namespace bf::test
