#include "apiserver/api_server.h"

#include <gtest/gtest.h>

#include "apiserver/request_text.h"
#include "fake_tcp_listener.h"
#include "test_station.h"

namespace bf::test {
namespace {

using Strings = std::vector<std::string>;

TEST(SlotTagTest, IsTheLastTwoDigitsOfTheSlotNumber) {
    for (const auto& [slot, tag] : std::vector<std::pair<int16_t, std::string>>{
             {0, "00"}, {7, "07"}, {12, "12"}, {100, "00"}, {256, "56"}})
        EXPECT_EQ(SlotTag(slot), tag) << slot;
}

class ApiServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        s->state.APIkey = "K";
        server.failed = [this](const ApiFailure& f) { failures.push_back(f); };
        server.Open(1011);
    }
    std::shared_ptr<FakePeer> Connect() { return listener.connect(); }
    void Tick(int times = 1) {
        for (int i = 0; i < times; ++i) s.timers.fire(ApiServer::kTimeoutTimer);
    }
    const Strings& Rows() { return s->api.rows; }
    // A set-source request runs the event loop while the switch reports the
    // source list, so other events of the server can run in its middle.
    void DuringTheSwitch(std::function<void()> events) {
        s.processes.onCall = [events](const std::string& call) {
            if (call.starts_with("start")) events();
        };
    }

    TestStation s;
    FakeTcpListener listener;
    ApiServer server{*s, listener};
    std::vector<ApiFailure> failures;
};

TEST_F(ApiServerTest, OpensTheListenerOrShowsNoConnection) {
    EXPECT_EQ(listener.listenedPort, 1011);
    EXPECT_EQ(Rows(), Strings{"00 Listening"});
    EXPECT_TRUE(s.timers.running(ApiServer::kTimeoutTimer));

    FakeTcpListener refusing;
    refusing.refuseListen = true;
    ApiServer(*s, refusing).Open(1011);
    EXPECT_EQ(Rows(), Strings{"(No Connection)"});
    EXPECT_EQ(s.timers.timers.count(ApiServer::kTimeoutTimer), 0u);  // gone with its server
}

TEST_F(ApiServerTest, ConnectionTakesTheLowestFreeSlotANewOneOnlyWhenAllAreBusyAndNoneBeyondTheLast) {
    std::vector<std::shared_ptr<FakePeer>> peers;
    for (int i = 0; i < ApiServer::kHighestSlot; ++i) peers.push_back(Connect());
    EXPECT_EQ(Rows().size(), static_cast<size_t>(ApiServer::kHighestSlot) + 1);
    EXPECT_EQ(Rows()[1], "00 Listening");  // a new row is a copy of row 0
    const auto extra = Connect();
    EXPECT_TRUE(extra->accepted);
    EXPECT_FALSE(extra->open);

    peers[1]->hangUp();
    peers[0]->hangUp();
    EXPECT_TRUE(peers[0]->sent.empty());
    EXPECT_EQ(Rows()[1] + "|" + Rows()[2], "01 Closed|02 Closed");
    Connect();
    EXPECT_TRUE(server.busy(1));
    EXPECT_FALSE(server.busy(2));
    EXPECT_TRUE(Connect()->open);
    EXPECT_EQ(server.highestSlot(), ApiServer::kHighestSlot);
}

// Each text arrives in the pieces given, on slot 1, which each case frees
// again. A text that is no request leaves the row as it was.
TEST_F(ApiServerTest, TextIsAnsweredOnceWhenItIsARequestOrCannotBecomeOneThenTheSlotCloses) {
    const std::string metadata = "GET /api/metadata.php?id=K HTTP/1.0\r\n\r\n";
    const std::string metadataRow = "01 Transfering: /api/metadata.php?id=K";
    const std::tuple<Strings, std::string, std::string> cases[] = {
        {{"G", "ET /api/metadata", ".php?id=K HTTP/1.", "1", "\r\nHost: x\r\n", "\r\n"},
         "None\r\nOK\r\n",
         metadataRow},
        {{metadata, metadata}, "None\r\nOK\r\n", metadataRow},  // one reply per connection
        {{"HELLO\r\n"}, "ERROR", "01 Closed"},                  // never the previous reply's body
        {{"GET /" + std::string(kMaxRequestBytes, 'a')}, "ERROR", "01 Closed"},
        // No sourcelist.ini: the failure is reported and the caller answered.
        {{"GET /api/listsources.php?id=K HTTP/1.0\r\n\r\n"},
         "ERROR",
         "01 Transfering: /api/listsources.php?id=K"},
    };
    for (const auto& [pieces, body, row] : cases) {
        SCOPED_TRACE(pieces[0]);
        const auto peer = Connect();
        for (const std::string& piece : pieces) peer->send(piece);
        EXPECT_EQ(peer->sent, Strings{ComposeReply(body)});
        EXPECT_EQ(Rows()[1], row);
        peer->completeSend();
        EXPECT_TRUE(peer->closedAfterReply);
        EXPECT_FALSE(peer->open);
        EXPECT_EQ(Rows()[1], "01 Closed");
    }
    EXPECT_EQ(server.highestSlot(), 1);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].line, ApiErrorLine::ListSources);
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

TEST_F(ApiServerTest, ConnectionThatClosesDuringASwitchGetsNoReplyNorDoesTheSlotsNextOne) {
    const auto peer = Connect();
    std::shared_ptr<FakePeer> next;
    DuringTheSwitch([&] {
        peer->hangUp();
        next = Connect();  // takes the slot that has just come free
    });
    peer->send("GET /api/setcurrent.php?id=K3 HTTP/1.0\r\n\r\n");
    ASSERT_TRUE(next);
    EXPECT_TRUE(peer->sent.empty());
    EXPECT_TRUE(next->open);
    EXPECT_TRUE(next->sent.empty());
    EXPECT_EQ(server.highestSlot(), 1);
}

TEST_F(ApiServerTest, NeitherTimeOutNorMoreBytesCutOrRepeatARequestBeingHandled) {
    const auto peer = Connect();
    DuringTheSwitch([&] {
        Tick(ApiServer::kLifetimeSeconds);
        peer->send("GET /api/metadata.php?id=K HTTP/1.0\r\n\r\n");
    });
    peer->send("GET /api/setcurrent.php?id=K3 HTTP/1.0\r\n");
    EXPECT_TRUE(peer->open);
    EXPECT_EQ(peer->sent, Strings{ComposeReply("Source: 3\r\nOK\r\n")});
}

}  // namespace
}  // namespace bf::test
