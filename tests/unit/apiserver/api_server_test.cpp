#include "apiserver/api_server.h"

#include <gtest/gtest.h>

#include "apiserver/request_text.h"
#include "fake_tcp_listener.h"
#include "test_station.h"

namespace bf::test {
namespace {

using Strings = std::vector<std::string>;

class ApiServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        s->state.APIkey = "K";
        server.Open(1011);
    }
    std::shared_ptr<FakePeer> Connect() { return listener.connect(); }
    void Tick(int times = 1) {
        for (int i = 0; i < times; ++i) s.timers.fire(ApiServer::kTimeoutTimer);
    }
    const Strings& Rows() { return s->api.rows; }
    void DuringTheSwitch(std::function<void()> events) {
        s.processes.onCall = [events](const std::string& call) {
            if (call.starts_with("start")) events();
        };
    }

    TestStation s;
    FakeTcpListener listener;
    ApiServer server{*s, listener};
};

TEST_F(ApiServerTest, OpensTheListenerOrShowsNoConnection) {
    EXPECT_EQ(listener.listenedPort, 1011);
    EXPECT_EQ(Rows(), Strings{"00 Listening"});
    EXPECT_TRUE(s.timers.running(ApiServer::kTimeoutTimer));

    FakeTcpListener refusing;
    refusing.refuseListen = true;
    ApiServer(*s, refusing).Open(1011, "192.0.2.1");
    EXPECT_EQ(Rows(), Strings{"(No Connection)"});
    EXPECT_EQ(s->console.lblAPIstatus.caption,
              "Not listening on port 1011 of 192.0.2.1: port already in use");
    EXPECT_EQ(CountOf(s->console.txtAIR,
                      "  SYS - API NOT LISTENING ON PORT 1011 of 192.0.2.1: port already in use\r\n"),
              1u);
    EXPECT_EQ(s.timers.timers.count(ApiServer::kTimeoutTimer), 0u);  // gone with its server
}

TEST_F(ApiServerTest, ConnectionTakesTheLowestFreeSlotANewOneOnlyWhenAllAreBusyAndWaitsBeyondTheLast) {
    std::vector<std::shared_ptr<FakePeer>> peers;
    for (int i = 0; i < ApiServer::kHighestSlot; ++i)
        peers.push_back(listener.connect("10.0." + std::to_string(i)));
    EXPECT_EQ(Rows().size(), static_cast<size_t>(ApiServer::kHighestSlot) + 1);
    EXPECT_EQ(Rows()[1], "00 Listening");  // a new row is a copy of row 0
    const auto waiting = Connect();
    EXPECT_FALSE(waiting->open);

    // A row starts with the last two digits of its slot's number.
    for (const int slot : {256, 100, 12, 2, 1}) peers[slot - 1]->hangUp();
    EXPECT_TRUE(waiting->open);  // on slot 256, the first to come free
    EXPECT_TRUE(listener.waiting.empty());
    EXPECT_TRUE(peers[0]->sent.empty());
    EXPECT_EQ(Rows()[1] + "|" + Rows()[2] + "|" + Rows()[12] + "|" + Rows()[100] + "|" + Rows()[256],
              "01 Closed|02 Closed|12 Closed|00 Closed|56 Closed");
    Connect();
    EXPECT_TRUE(server.busy(1));
    EXPECT_FALSE(server.busy(2));
    EXPECT_EQ(server.highestSlot(), ApiServer::kHighestSlot);
}

// Each text arrives in the pieces given, on slot 1, which each case frees
// again. A text that is no request leaves the row as it was.
TEST_F(ApiServerTest, TextIsAnsweredOnceWhenItIsARequestOrCannotBecomeOneThenTheSlotCloses) {
    const std::string metadata = "GET /api/metadata.php?id=K HTTP/1.0\r\n\r\n";
    const std::string metadataRow = "01 Transfering: /api/metadata.php?id=K";
    // clang-format off
    const std::tuple<Strings, std::string, std::string> cases[] = {
        {{"G", "ET /api/metadata", ".php?id=K HTTP/1.", "1", "\r\nHost: x\r\n", "\r\n"}, "None\r\nOK\r\n", metadataRow},
        {{metadata, metadata}, "None\r\nOK\r\n", metadataRow},  // one reply per connection
        {{"HELLO\r\n"}, "ERROR", "01 Closed"},                   // never the previous reply's body
        {{"GET /" + std::string(kMaxRequestBytes, 'a')}, "ERROR", "01 Closed"},
        // No sourcelist.ini: the caller is still answered.
        {{"GET /api/listsources.php?id=K HTTP/1.0\r\n\r\n"}, "ERROR", "01 Transfering: /api/listsources.php?id=K"}};
    // clang-format on
    for (const auto& [pieces, body, row] : cases) {
        SCOPED_TRACE(pieces[0]);
        const auto peer = Connect();
        for (const std::string& piece : pieces) peer->send(piece);
        EXPECT_EQ(peer->sent, Strings{ComposeReply(body)});
        EXPECT_EQ(Rows()[1], row);
        peer->completeSend();
        EXPECT_TRUE(peer->closedAfterReply);
        EXPECT_EQ(Rows()[1], "01 Closed");
    }
    EXPECT_EQ(server.highestSlot(), 1);
}

TEST_F(ApiServerTest, OneAddressHoldsAtMostItsShareOfSlotsWhileOthersStillGetIn) {
    std::vector<std::shared_ptr<FakePeer>> hog;
    for (int i = 0; i <= ApiServer::kSlotsPerAddress; ++i) hog.push_back(listener.connect("192.0.2.66"));
    EXPECT_EQ(server.highestSlot(), ApiServer::kSlotsPerAddress);
    EXPECT_FALSE(hog.back()->open);  // closed at once
    EXPECT_TRUE(Connect()->open);
    hog[0]->hangUp();
    EXPECT_TRUE(listener.connect("192.0.2.66")->open);
}

TEST_F(ApiServerTest, AnsweredConnectionsLingerAWhileAndTheOldestGoesBeyondTheCap) {
    std::vector<std::shared_ptr<FakePeer>> peers;
    for (size_t i = 0; i <= ApiServer::kMostLingering; ++i) {
        peers.push_back(Connect());
        peers.back()->send("HELLO\r\n");
        peers.back()->completeSend();
    }
    EXPECT_FALSE(peers[0]->open);
    Tick(ApiServer::kLingerSeconds - 1);
    EXPECT_TRUE(peers[1]->open);
    Tick();
    EXPECT_FALSE(peers.back()->open);
}

// A caller may end its side once it has sent its request (nc -N); also
// while its set-source request waits for the switch.
TEST_F(ApiServerTest, CallerThatHalfClosesIsAnsweredWithWhatItSentOrClosedWhenItSentNothing) {
    const std::pair<std::string, Strings> cases[] = {
        {"GET /api/setcurrent.php?id=K3 HTTP/1.0\r\n\r\n", {ComposeReply("Source: 3\r\nOK\r\n")}},
        {"GET /api/metadata.php?id=K", {ComposeReply("ERROR")}},  // it will never be more
        {"", {}}};
    s.folder.write("sourcelist.ini", "3u:http://three.example/live\r\n");
    for (const auto& [text, replies] : cases) {
        const auto peer = Connect();
        DuringTheSwitch([peer] { peer->halfClose(); });
        if (!text.empty()) peer->send(text);
        peer->halfClose();
        EXPECT_EQ(peer->sent, replies) << text;
        EXPECT_EQ(peer->open, !replies.empty()) << text;  // until the reply is out
    }
}

TEST_F(ApiServerTest, FailingEventIsLoggedAndTheServerCarriesOn) {
    const auto peer = Connect();
    peer->failRead = true;
    peer->send("GET / HTTP/1.0\r\n\r\n");
    EXPECT_EQ(CountOf(s->console.txtAIR, "  SYS - Sck_DataArrival FAILED: read failed\r\n"), 1u);
    const auto next = Connect();
    next->send("HELLO\r\n");
    EXPECT_EQ(next->sent, Strings{ComposeReply("ERROR")});
}

TEST_F(ApiServerTest, SilentConnectionGoesAfterTheIdleTimeATricklingOneAfterItsLifetime) {
    const auto silent = Connect(), trickling = Connect();
    for (int tick = 1; tick < ApiServer::kLifetimeSeconds; ++tick) {
        trickling->send(tick == 1 ? "GET /" : "a");
        Tick();
        EXPECT_EQ(silent->open, tick < ApiServer::kIdleSeconds) << tick;
    }
    EXPECT_EQ(Rows()[1], "01 Closed");
    EXPECT_TRUE(trickling->open);
    Tick();
    EXPECT_FALSE(trickling->open);
    EXPECT_TRUE(trickling->sent.empty());
}

// A set-source request runs the event loop while the switch reports the
// source list, so other events of the server run in its middle.
TEST_F(ApiServerTest, RequestBeingHandledIsNeitherCutNorRepeatedAndGoesUnansweredIfItsConnectionCloses) {
    s.folder.write("sourcelist.ini", "3u:http://three.example/live\r\n");
    const auto peer = Connect();
    DuringTheSwitch([&] {
        Tick(ApiServer::kLifetimeSeconds);
        peer->send("GET /api/metadata.php?id=K HTTP/1.0\r\n\r\n");
    });
    peer->send("GET /api/setcurrent.php?id=K3 HTTP/1.0\r\n");
    EXPECT_TRUE(peer->open);
    EXPECT_EQ(peer->sent, Strings{ComposeReply("Source: 3\r\nOK\r\n")});

    const auto closing = Connect();
    std::shared_ptr<FakePeer> next;
    DuringTheSwitch([&] {
        closing->hangUp();
        next = Connect();  // takes the slot that has just come free
    });
    closing->send("GET /api/setcurrent.php?id=K3 HTTP/1.0\r\n\r\n");
    ASSERT_TRUE(next);
    EXPECT_TRUE(closing->sent.empty());
    EXPECT_TRUE(next->open);
    EXPECT_TRUE(next->sent.empty());
    EXPECT_EQ(server.highestSlot(), 2);
}

}  // namespace
}  // namespace bf::test
