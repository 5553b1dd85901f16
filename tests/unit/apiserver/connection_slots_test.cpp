#include "apiserver/connection_slots.h"

#include <gtest/gtest.h>

#include "apiserver/request_text.h"
#include "fake_tcp_listener.h"
#include "test_station.h"

namespace bf::test {
namespace {

TEST(SlotTagTest, IsTheLastTwoDigitsOfTheSlotNumber) {
    for (const auto& [slot, tag] : std::vector<std::pair<int16_t, std::string>>{
             {0, "00"}, {7, "07"}, {12, "12"}, {100, "00"}, {256, "56"}})
        EXPECT_EQ(SlotTag(slot), tag) << slot;
}

// Starts players like FakeProcesses and runs a hook meanwhile: the source
// list report at the end of a switch runs the event loop, so other events of
// the server can run in the middle of a set-source request.
struct HookedProcesses : FakeProcesses {
    bool startPlayer(const std::string& program, const std::vector<std::string>& args,
                     const std::string& stdoutPath) override {
        if (onStart) onStart();
        return FakeProcesses::startPlayer(program, args, stdoutPath);
    }
    std::function<void()> onStart;
};

class ConnectionSlotsTest : public ::testing::Test {
protected:
    void SetUp() override {
        station.state.APIkey = "K";
        server.failed = [this](const ApiFailure& f) { failures.push_back(f); };
        server.Open(1011);
    }
    std::shared_ptr<FakePeer> Connect() { return listener.connect(); }
    void Tick(int times = 1) {
        for (int i = 0; i < times; ++i) s.timers.fire(ApiServer::kTimeoutTimer);
    }
    const std::vector<std::string>& Rows() { return station.api.rows; }

    TestStation s;
    HookedProcesses processes;
    Station station{Platform{s.clock, processes, s.timers, s.InetTestURL, s.Inet1, s.InetAIR, s.InetTallyway,
                             s.InetWeather},
                    s.folder.path()};
    FakeTcpListener listener;
    ApiServer server{station, listener};
    std::vector<ApiFailure> failures;
};

TEST_F(ConnectionSlotsTest, OpensTheListenerOrShowsNoConnection) {
    EXPECT_EQ(listener.listenedPort, 1011);
    EXPECT_EQ(Rows(), std::vector<std::string>{"00 Listening"});
    EXPECT_TRUE(s.timers.running(ApiServer::kTimeoutTimer));

    FakeTcpListener refusing;
    refusing.refuseListen = true;
    ApiServer(station, refusing).Open(1011);
    EXPECT_EQ(Rows(), std::vector<std::string>{"(No Connection)"});
}

TEST_F(ConnectionSlotsTest, LowestFreeSlotIsReusedAndNewSlotsOnlyWhenAllAreBusy) {
    auto a = Connect();
    EXPECT_EQ(Rows(), (std::vector<std::string>{"00 Listening", "00 Listening"}));  // a copy of row 0
    auto b = Connect(), c = Connect();
    ASSERT_EQ(server.highestSlot(), 3);
    b->hangUp();
    a->hangUp();
    EXPECT_TRUE(a->sent.empty());
    EXPECT_EQ(Rows()[1], "01 Closed");
    EXPECT_EQ(Rows()[2], "02 Closed");

    auto d = Connect();
    EXPECT_TRUE(server.busy(1));
    EXPECT_FALSE(server.busy(2));
    auto e = Connect();
    EXPECT_EQ(server.highestSlot(), 3);
    auto f = Connect();
    EXPECT_EQ(server.highestSlot(), 4);
    EXPECT_TRUE(f->open);
}

TEST_F(ConnectionSlotsTest, ConnectionsBeyondTheLastSlotAreDroppedAtOnce) {
    std::vector<std::shared_ptr<FakePeer>> peers;
    for (int i = 0; i < ApiServer::kHighestSlot; ++i) peers.push_back(Connect());
    const auto extra = Connect();
    EXPECT_TRUE(extra->accepted);
    EXPECT_FALSE(extra->open);
    EXPECT_EQ(Rows().size(), static_cast<size_t>(ApiServer::kHighestSlot) + 1);

    peers[99]->hangUp();
    EXPECT_TRUE(Connect()->open);
    EXPECT_EQ(Rows()[100], "00 Closed");
}

TEST_F(ConnectionSlotsTest, RequestInPiecesIsAnsweredOnceWhenCompleteAndClosedWhenTheReplyHasGoneOut) {
    const auto peer = Connect();
    for (const char* piece : {"G", "ET /api/metadata", ".php?id=K HTTP/1.", "1", "\r\nHost: x\r\n", "\r\n"})
        peer->send(piece);
    ASSERT_EQ(peer->sent.size(), 1u);
    EXPECT_EQ(peer->sent[0], ComposeReply("None\r\nOK\r\n"));
    EXPECT_EQ(Rows()[1], "01 Transfering: /api/metadata.php?id=K");

    peer->completeSend();
    EXPECT_TRUE(peer->closedAfterReply);
    EXPECT_FALSE(peer->open);
    EXPECT_EQ(Rows()[1], "01 Closed");
}

TEST_F(ConnectionSlotsTest, JunkOrAnOversizedRequestGetsAnErrorReplyNotThePreviousBody) {
    station.api.response = "Source: 1\r\nURL: http://private/\r\n";
    const auto junk = Connect(), huge = Connect();
    junk->send("HELLO\r\n");
    huge->send("GET /" + std::string(kMaxRequestBytes, 'a'));
    EXPECT_EQ(junk->sent, std::vector<std::string>{ComposeReply("ERROR")});
    EXPECT_EQ(huge->sent, std::vector<std::string>{ComposeReply("ERROR")});
}

TEST_F(ConnectionSlotsTest, FailureIsReportedAndTheCallerStillAnswered) {
    const auto peer = Connect();
    peer->send("GET /api/listsources.php?id=K HTTP/1.0\r\n\r\n");  // no sourcelist.ini
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].line, ApiErrorLine::ListSources);
    EXPECT_EQ(peer->sent, std::vector<std::string>{ComposeReply("ERROR")});
}

TEST_F(ConnectionSlotsTest, SilentConnectionGoesAfterTheIdleTimeATricklingOneAfterItsLifetime) {
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

TEST_F(ConnectionSlotsTest, ConnectionThatClosesDuringASwitchGetsNoReplyNorDoesTheSlotsNextOne) {
    s.folder.write("sourcelist.ini", "3u:http://three.example/live\r\n");
    const auto peer = Connect();
    std::shared_ptr<FakePeer> next;
    processes.onStart = [&] {
        peer->hangUp();
        next = Connect();  // takes the slot that has just come free
    };
    peer->send("GET /api/setcurrent.php?id=K3 HTTP/1.0\r\n\r\n");
    ASSERT_TRUE(next);
    EXPECT_TRUE(peer->sent.empty());
    EXPECT_TRUE(next->open);
    EXPECT_TRUE(next->sent.empty());
    EXPECT_EQ(server.highestSlot(), 1);
}

TEST_F(ConnectionSlotsTest, NeitherTimeOutNorMoreBytesCutOrRepeatARequestBeingHandled) {
    s.folder.write("sourcelist.ini", "3u:http://three.example/live\r\n");
    const auto peer = Connect();
    processes.onStart = [&] {
        Tick(ApiServer::kLifetimeSeconds);
        peer->send("GET /api/metadata.php?id=K HTTP/1.0\r\n\r\n");
    };
    peer->send("GET /api/setcurrent.php?id=K3 HTTP/1.0\r\n");
    EXPECT_TRUE(peer->open);
    EXPECT_EQ(peer->sent, std::vector<std::string>{ComposeReply("Source: 3\r\nOK\r\n")});
}

}  // namespace
}  // namespace bf::test
