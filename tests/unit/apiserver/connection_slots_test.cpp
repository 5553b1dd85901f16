#include "apiserver/connection_slots.h"

#include <gtest/gtest.h>

#include "apiserver/request_text.h"
#include "fake_tcp_listener.h"
#include "test_station.h"

namespace bf::test {
namespace {

class SlotTagTest : public ::testing::TestWithParam<std::pair<int16_t, std::string>> {};

TEST_P(SlotTagTest, IsTheLastTwoDigits) {
    EXPECT_EQ(SlotTag(GetParam().first), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Slots, SlotTagTest,
                         ::testing::Values(std::pair<int16_t, std::string>{0, "00"},
                                           std::pair<int16_t, std::string>{7, "07"},
                                           std::pair<int16_t, std::string>{12, "12"},
                                           std::pair<int16_t, std::string>{100, "00"},
                                           std::pair<int16_t, std::string>{256, "56"}));

class ConnectionSlotsTest : public ::testing::Test {
protected:
    void SetUp() override {
        s->state.APIkey = "K";
        server.failed = [this](const ApiFailure& f) { failures.push_back(f); };
        server.Open(1011);
    }
    // A client that connects and stays.
    std::shared_ptr<FakePeer> Connect() { return listener.connect(); }
    void Tick(int times = 1) {
        for (int i = 0; i < times; ++i) s.timers.fire(ApiServer::kTimeoutTimer);
    }
    const std::vector<std::string>& Rows() { return s->api.rows; }

    TestStation s;
    FakeTcpListener listener;
    ApiServer server{*s, listener};
    std::vector<ApiFailure> failures;
};

TEST_F(ConnectionSlotsTest, OpeningListensOnThePortAndShowsListening) {
    EXPECT_EQ(listener.listenedPort, 1011);
    EXPECT_EQ(Rows(), std::vector<std::string>{"00 Listening"});
    EXPECT_TRUE(s->api.created);
    EXPECT_TRUE(s.timers.running(ApiServer::kTimeoutTimer));
}

TEST_F(ConnectionSlotsTest, PortThatCannotBeOpenedLeavesNoConnection) {
    FakeTcpListener refusing;
    refusing.refuseListen = true;
    ApiServer other(*s, refusing);
    other.Open(1011);
    EXPECT_EQ(Rows(), std::vector<std::string>{"(No Connection)"});
}

TEST_F(ConnectionSlotsTest, FirstConnectionMakesSlotOneWithACopyOfRowZero) {
    const auto peer = Connect();
    EXPECT_TRUE(peer->open);
    EXPECT_EQ(server.highestSlot(), 1);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"00 Listening", "00 Listening"}));
}

TEST_F(ConnectionSlotsTest, LowestFreeSlotIsReusedAndNewSlotsOnlyWhenAllAreBusy) {
    auto a = Connect(), b = Connect(), c = Connect();
    ASSERT_EQ(server.highestSlot(), 3);
    b->hangUp();
    a->hangUp();
    EXPECT_EQ(Rows()[1], "01 Closed");
    EXPECT_EQ(Rows()[2], "02 Closed");

    auto d = Connect();
    EXPECT_TRUE(server.busy(1));
    EXPECT_FALSE(server.busy(2));
    auto e = Connect();
    EXPECT_TRUE(server.busy(2));
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
    EXPECT_EQ(server.highestSlot(), ApiServer::kHighestSlot);
    EXPECT_EQ(Rows().size(), static_cast<size_t>(ApiServer::kHighestSlot) + 1);

    peers[99]->hangUp();
    const auto next = Connect();
    EXPECT_TRUE(next->open);
    EXPECT_EQ(Rows()[100], "00 Closed");
}

TEST_F(ConnectionSlotsTest, RequestIsAnsweredOnceAndClosedWhenTheReplyHasGoneOut) {
    const auto peer = Connect();
    peer->send("GET /api/metadata.php?id=K HTTP/1.0\r\n\r\n");
    ASSERT_EQ(peer->sent.size(), 1u);
    EXPECT_EQ(peer->sent[0], ComposeReply("None\r\nOK\r\n"));
    EXPECT_EQ(Rows()[1], "01 Transfering: /api/metadata.php?id=K");

    peer->completeSend();
    EXPECT_TRUE(peer->closedAfterReply);
    EXPECT_FALSE(peer->open);
    EXPECT_EQ(Rows()[1], "01 Closed");
    EXPECT_FALSE(server.busy(1));
}

TEST_F(ConnectionSlotsTest, RequestInPiecesIsAnsweredWhenItIsCompleteAndOnlyOnce) {
    s->api.response = "Source: 1\r\nURL: http://private/\r\n";
    const auto peer = Connect();
    for (const char* piece : {"G", "ET /api/metadata", ".php?id=K HTTP/1.", "1", "\r\nHost: x\r\n", "\r\n"})
        peer->send(piece);
    ASSERT_EQ(peer->sent.size(), 1u);
    EXPECT_EQ(peer->sent[0], ComposeReply("None\r\nOK\r\n"));
}

TEST_F(ConnectionSlotsTest, TextThatIsNoRequestGetsAnErrorReplyNotThePreviousBody) {
    s->api.response = "Source: 1\r\nURL: http://private/\r\n";
    const auto junk = Connect();
    junk->send("HELLO\r\n");
    const auto huge = Connect();
    huge->send("GET /" + std::string(kMaxRequestBytes, 'a'));
    for (const auto& peer : {junk, huge}) {
        ASSERT_EQ(peer->sent.size(), 1u);
        EXPECT_EQ(peer->sent[0], ComposeReply("ERROR"));
    }
}

TEST_F(ConnectionSlotsTest, ClientThatClosesWithoutSendingLeavesItsRowClosed) {
    const auto peer = Connect();
    peer->hangUp();
    EXPECT_TRUE(peer->sent.empty());
    EXPECT_EQ(Rows()[1], "01 Closed");
}

TEST_F(ConnectionSlotsTest, SilentConnectionIsDroppedAfterTheIdleTime) {
    const auto silent = Connect();
    const auto talking = Connect();
    Tick(ApiServer::kIdleSeconds - 1);
    talking->send("GET /api/");  // not complete, but alive
    Tick();
    EXPECT_FALSE(silent->open);
    EXPECT_EQ(Rows()[1], "01 Closed");
    EXPECT_TRUE(talking->open);
    Tick(ApiServer::kIdleSeconds - 1);
    EXPECT_FALSE(talking->open);
}

TEST_F(ConnectionSlotsTest, TricklingConnectionIsDroppedAtTheEndOfItsLifetime) {
    const auto peer = Connect();
    peer->send("GET /");
    for (int i = 1; i < ApiServer::kLifetimeSeconds; ++i) {
        Tick();
        peer->send("a");
    }
    EXPECT_TRUE(peer->open);
    Tick();
    EXPECT_FALSE(peer->open);
    EXPECT_TRUE(peer->sent.empty());
}

TEST_F(ConnectionSlotsTest, FailureIsReportedAndTheCallerStillAnswered) {
    const auto peer = Connect();
    peer->send("GET /api/listsources.php?id=K HTTP/1.0\r\n\r\n");  // no sourcelist.ini
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].line, ApiErrorLine::ListSources);
    ASSERT_EQ(peer->sent.size(), 1u);
    EXPECT_EQ(peer->sent[0], ComposeReply("ERROR"));
}

// Starts players like FakeProcesses and runs a hook meanwhile.
class HookedProcesses : public FakeProcesses {
public:
    bool startPlayer(const std::string& program, const std::vector<std::string>& args,
                     const std::string& stdoutPath) override {
        if (onStart) onStart();
        return FakeProcesses::startPlayer(program, args, stdoutPath);
    }
    std::function<void()> onStart;
};

// The source list report at the end of a switch waits on a fetch while the
// event loop runs: other events of the server run in the middle of a
// set-source request. The hook in the player start stands in for them.
class EventsDuringSwitchTest : public ::testing::Test {
protected:
    void SetUp() override {
        station.state.APIkey = "K";
        server.Open(1011);
    }
    void Tick(int times) {
        for (int i = 0; i < times; ++i) s.timers.fire(ApiServer::kTimeoutTimer);
    }

    TestStation s;
    HookedProcesses processes;
    Station station{Platform{s.clock, processes, s.timers, s.InetTestURL, s.Inet1, s.InetAIR, s.InetTallyway,
                             s.InetWeather},
                    s.folder.path()};
    FakeTcpListener listener;
    ApiServer server{station, listener};
};

TEST_F(EventsDuringSwitchTest, ConnectionThatClosesMeanwhileGetsNoReplyAndTheSlotsNextConnectionNeither) {
    const auto peer = listener.connect();
    std::shared_ptr<FakePeer> next;
    processes.onStart = [&] {
        peer->hangUp();
        next = listener.connect();  // takes the slot that has just come free
    };
    peer->send("GET /api/setcurrent.php?id=K3 HTTP/1.0\r\n\r\n");
    ASSERT_TRUE(next);
    EXPECT_TRUE(peer->sent.empty());
    EXPECT_TRUE(next->open);
    EXPECT_TRUE(next->sent.empty());
    EXPECT_TRUE(server.busy(1));
    EXPECT_EQ(server.highestSlot(), 1);
}

TEST_F(EventsDuringSwitchTest, TimeOutDoesNotCutARequestWhileItIsHandled) {
    const auto peer = listener.connect();
    processes.onStart = [&] { Tick(ApiServer::kLifetimeSeconds); };
    peer->send("GET /api/setcurrent.php?id=K3 HTTP/1.0\r\n\r\n");
    EXPECT_TRUE(peer->open);
    EXPECT_EQ(peer->sent.size(), 1u);
}

TEST_F(EventsDuringSwitchTest, MoreBytesOfTheSameConnectionBringNoSecondReply) {
    const auto peer = listener.connect();
    processes.onStart = [&] { peer->send("GET /api/metadata.php?id=K HTTP/1.0\r\n\r\n"); };
    peer->send("GET /api/setcurrent.php?id=K3 HTTP/1.0\r\n");
    ASSERT_EQ(peer->sent.size(), 1u);
    EXPECT_EQ(peer->sent[0], ComposeReply("Source: 3\r\nOK\r\n"));
}

}  // namespace
}  // namespace bf::test
