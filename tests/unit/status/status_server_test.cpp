#include "status/status_server.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "apiserver/api_server.h"
#include "asrun/as_run_record.h"
#include "fake_tcp_listener.h"
#include "test_station.h"

namespace bf::test {
namespace {

using ::testing::AllOf;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using Peer = std::shared_ptr<FakePeer>;

class StatusServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        server.Open(9110, "127.0.0.1");
        std::filesystem::create_directory(s.folder.path() / "asrun");
    }
    void Tick(int times = 1) {
        for (int i = 0; i < times; ++i) s.timers.fire(StatusServer::kTimeoutTimer);
    }
    bool Ticking() { return s.timers.running(StatusServer::kTimeoutTimer); }

    TestStation s;
    FakeTcpListener listener;
    StatusServer server{*s, listener};
};

// Each text arrives in the pieces given; then the caller ends its side if the case says so.
TEST_F(StatusServerTest, AnswersOneRequestPerConnectionThenClosesAndDropsACallerThatEndsWithoutOne) {
    EXPECT_EQ(s->log.text(), " 2026-12-06 12:00:00  SYS - STATUS PAGE ON http://127.0.0.1:0/\r\n");
    // clang-format off
    const std::tuple<std::vector<std::string>, bool, std::string> cases[] = {
        {{"GET /metr", "ics HTTP/1.1\r\nHost: a\r\n", "\r\n", "GET / HTTP/1.1\r\n\r\n"}, false,
         "HTTP/1.1 200 OK\r\nContent-Type: text/plain; version=0.0.4; charset=utf-8\r\nContent-Length: "},
        {{"POST / HTTP/1.1\r\nContent-Length: 9\r\n\r\n", "form=abcd"}, false,
         "HTTP/1.1 405 Method Not Allowed\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: 41\r\n"
         "Connection: close\r\nAllow: GET, HEAD\r\n\r\nMethod Not Allowed: this port only reads\n"},
        {{"\x16\x03\x01"}, false, "HTTP/1.1 400 Bad Request\r\n"},
        {{"GET /" + std::string(kMaxRequestHeadBytes, 'a')}, false, "HTTP/1.1 431 Request Header Fields"},
        {{"GET /asrun.csv?x=1&day=2026-12-05 HTTP/1.1\r\n\r\n"}, false,
         "HTTP/1.1 200 OK\r\nContent-Type: text/csv; charset=unknown-8bit; header=present\r\nContent-Length: 18\r\n"
         "Connection: close\r\nContent-Disposition: attachment; filename=\"asrun-2026-12-05.csv\"\r\n"
         "Cache-Control: no-store\r\n\r\ntime,epoch\r\nCaf\xe9\r\n"},
        // HEAD: GET's head, and not a byte of the body, even one read in parts.
        {{"HEAD /asrun.csv?day=2026-12-05 HTTP/1.1\r\n\r\n"}, false,
         "HTTP/1.1 200 OK\r\nContent-Type: text/csv; charset=unknown-8bit; header=present\r\nContent-Length: 18\r\n"
         "Connection: close\r\nContent-Disposition: attachment; filename=\"asrun-2026-12-05.csv\"\r\n"
         "Cache-Control: no-store\r\n\r\n"},
        {{"GET /asrun.csv HTTP/1.1\r\n\r\n"}, false, "HTTP/1.1 404 Not Found\r\nContent-Type: text/plain; "
         "charset=utf-8\r\nContent-Length: 49\r\nConnection: close\r\n\r\nNot Found: the as-run record holds no 2026-12-06\n"},
        {{"GET /asrun.csv?day=../brackenfield.ini HTTP/1.1\r\n\r\n"}, false, "HTTP/1.1 400 Bad Request\r\n"
         "Content-Type: text/plain; charset=utf-8\r\nContent-Length: 58\r\nConnection: close\r\n\r\nBad Request: the day"},
        {{"GET / HTTP/1.1\r\n"}, true, ""}};
    // clang-format on
    s.folder.write("asrun/2026-12-05.csv", "time,epoch\r\nCaf\xe9\r\n");
    for (const auto& [pieces, halfClose, reply] : cases) {
        SCOPED_TRACE(pieces[0].substr(0, 20));
        const Peer peer = listener.connect();
        for (const std::string& piece : pieces) peer->send(piece);
        if (halfClose) peer->halfClose();
        ASSERT_EQ(peer->sent.size(), reply.empty() ? 0u : 1u);
        if (reply.empty()) continue;
        EXPECT_THAT(peer->sent[0], StartsWith(reply));
        if (reply.ends_with("\r\n\r\n")) {
            EXPECT_EQ(peer->sent[0], reply) << "a head alone";
        }
        peer->completeSend();
        EXPECT_TRUE(peer->closedAfterReply);
        Tick(StatusServer::kLingerSeconds - 1);
        EXPECT_TRUE(peer->open) << "it swallows what the caller still sends for a while";
        Tick();
        EXPECT_FALSE(peer->open);
    }
    EXPECT_EQ(server.connections(), 0u);
    Tick();
    EXPECT_FALSE(Ticking()) << "nothing runs while nobody asks";

    listener.reserve = true;  // the descriptors' reserve reached by others: nothing to give
    const Peer waiting = listener.connect();
    EXPECT_TRUE(!waiting->open && Ticking());
    listener.reserve = false;
    Tick();
    EXPECT_TRUE(waiting->open);
}

TEST_F(StatusServerTest, HoldsAFewConnectionsInAllForTenSecondsAtMost) {
    // An address's share is the API's test: the admission is one.
    std::vector<Peer> peers;
    for (size_t i = peers.size(); i < StatusServer::kMostConnections; ++i)
        peers.push_back(listener.connect("10.0.0." + std::to_string(i)));
    peers[0]->send("GET / HTTP/1.1\r\n\r\n");     // answered, its reply still on its way
    peers[1]->unread = "GET / HTTP/1.1\r\n\r\n";  // came while the station was busy: not announced yet
    const Peer newcomer = listener.connect("10.0.1.1");
    EXPECT_EQ(std::tuple(newcomer->open, peers[0]->open, peers[1]->sent.size(), peers[2]->open),
              std::tuple(true, true, 1u, false))
        << "the oldest one still waiting for its request makes room, once what it sent is read";
    EXPECT_EQ(server.connections(), StatusServer::kMostConnections);

    // New connections do not hold the time-out back.
    for (int tick = 1; tick < StatusServer::kRequestSeconds; ++tick) {
        listener.connect("10.0.2." + std::to_string(tick));
        Tick();
    }
    EXPECT_TRUE(peers[0]->open && newcomer->open);
    Tick();
    EXPECT_FALSE(peers[0]->open || newcomer->open || peers[3]->open);
    EXPECT_EQ(server.connections(), StatusServer::kRequestSeconds - 2u) << "the newcomers but the first";
}

// A day of megabytes goes out a part at a time as the caller takes each; a
// file that can no longer be read cuts the caller off before the reply falls
// short of the length it announced.
TEST_F(StatusServerTest, SendsADayOfTheAsRunRecordInPartsAsTheCallerTakesThem) {
    // Rows written before the record left an address's user and password out go without them.
    std::string day(AsRunRecord::kHeader), written = day;
    while (day.size() < 2 * kBodyPartBytes + 10) {
        day += "2026-12-05 10:00:00,1796464800,failover,1,,,http://h/ Caf\xc3\xa9\r\n";
        written += "2026-12-05 10:00:00,1796464800,failover,1,,,http://u:p@h/ Caf\xc3\xa9\r\n";
    }
    s.folder.write("asrun/2026-12-05.csv", written);
    for (const bool removed : {false, true}) {
        const Peer peer = listener.connect();
        peer->send("GET /asrun.csv?day=2026-12-05 HTTP/1.1\r\n\r\n");
        if (removed) std::filesystem::remove(s.folder.path() / "asrun" / "2026-12-05.csv");
        while (peer->open && !peer->closedAfterReply) peer->completeSend();
        EXPECT_EQ(std::tuple(peer->sent.size(), peer->closedAfterReply),
                  std::tuple(removed ? 1u : 3u, !removed));
        std::string got;
        for (const std::string& part : peer->sent) got += part;
        if (!removed) {
            EXPECT_THAT(got, AllOf(HasSubstr("charset=utf-8;"), EndsWith("\r\n\r\n" + day)));
        }
    }
}

// A scrape loop costs the station one reading of the process table a second.
TEST_F(StatusServerTest, AnswersFromProcessReadingsAtMostASecondOld) {
    auto scrape = [&] {
        const Peer peer = listener.connect();
        peer->send("GET /metrics HTTP/1.1\r\n\r\n");
        return peer->sent.at(0);
    };
    s.processes.running = {"mplayer1"};
    EXPECT_THAT(scrape(), HasSubstr("running{slot=\"1\"} 1\nb"));
    s.processes.running = {};
    s.processStats.values.openFds = 99;
    s.clock.advance(0.9);
    EXPECT_THAT(scrape(), AllOf(HasSubstr("running{slot=\"1\"} 1\nb"), HasSubstr("\nprocess_open_fds 17\n")));
    s.clock.advance(0.1);
    EXPECT_THAT(scrape(), AllOf(HasSubstr("running{slot=\"1\"} 0\nb"), HasSubstr("\nprocess_open_fds 99\n")));
}

// However many callers wait, the event loop comes round between shares of
// them: at the status port and at the API alike.
TEST_F(StatusServerTest, EachListenerTakesABoundedShareOfTheWaitingConnectionsAtEachWakeUp) {
    FakeTcpListener apiListener;
    ApiServer api{*s, apiListener};
    api.Open(1011);
    const std::tuple<FakeTcpListener*, std::function<size_t()>> rows[] = {
        {&listener, [&] { return server.connections(); }},
        {&apiListener, [&] { return static_cast<size_t>(api.highestSlot()); }}};
    for (const auto& [door, held] : rows) {
        const size_t share = kAcceptsPerWake;
        for (size_t i = 0; i <= 2 * share; ++i) door->connect("10.0.0." + std::to_string(i), false);
        door->wake();
        EXPECT_EQ(std::tuple(held(), door->callsAgain), std::tuple(share, 1));
        door->wake();
        door->wake();
        EXPECT_EQ(held(), 2 * share + 1);
    }
}

// Event streams are a pool of their own: a flood of plain requests never drops one, and a caller that does
// not take what it was sent is sent only the latest status, once it does.
TEST_F(StatusServerTest, EventStreamsTellChangesAndKeepAliveInAPoolOfTheirOwn) {
    std::vector<Peer> streams;
    for (int i = 0; i < 10; ++i) {
        streams.push_back(listener.connect("10.0.0." + std::to_string(i / 5)));
        streams.back()->send("GET /events HTTP/1.1\r\n\r\n");
    }
    EXPECT_THAT(streams[0]->sent.at(0),
                AllOf(HasSubstr("text/event-stream"), HasSubstr("X-Accel-Buffering: no"),
                      HasSubstr("\r\n\r\nretry: 3000\n\nevent: status\ndata: {")));
    EXPECT_THAT(streams[4]->sent.at(0), StartsWith("HTTP/1.1 503 ")) << "the fifth from one address";
    EXPECT_EQ(std::pair(server.streams(), server.connections()), std::pair(size_t{8}, size_t{2}));
    for (size_t i = 0; i <= StatusServer::kMostConnections; ++i)
        listener.connect("10.1.0." + std::to_string(i));
    streams[0]->completeSend();
    Tick();
    EXPECT_EQ(std::tuple(streams[0]->open, streams[0]->sent.size(), server.streams()),
              std::tuple(true, 1u, 8u))
        << "nothing changed: nothing sent";
    s->schedule.mode = Mode::Manual;
    Tick();
    EXPECT_THAT(streams[0]->sent.back(), AllOf(StartsWith("event: status\ndata: {"), HasSubstr("MANUAL")));
    EXPECT_EQ(streams[1]->sent.size(), 1u) << "its first event not taken yet";
    streams[1]->completeSend();
    EXPECT_THAT(streams[1]->sent.back(), HasSubstr("MANUAL")) << "the status as it is, once it has";
    streams[0]->completeSend();
    Tick(StatusServer::kStreamKeepSeconds - 2);
    EXPECT_EQ(streams[0]->sent.back(), ":\n\n");
    streams[0]->halfClose();
    EXPECT_EQ(server.streams(), 7u);
}

TEST(StatusRequestText, ReadsMethodAndPathOnceTheHeadersEndAndRefusesWhatCannotBeARequestAtOnce) {
    using S = RequestHeadState;
    const std::string head = "GET / HTTP/1.1\r\nX: ";
    const std::string longest = head + std::string(kMaxRequestHeadBytes - head.size() - 4, 'a') + "\r\n\r\n";
    const std::tuple<std::string, S, std::string, std::string> cases[] = {
        {"GET /metrics?x=1 HTTP/1.1\r\nHost: a\r\n\r\nbody", S::Complete, "GET", "/metrics?x=1"},
        {"GET /?a#top?b HTTP/1.0\n\n", S::Complete, "GET", "/?a"},
        {"POST /login HTTP/1.1\r\nContent-Length: 4\r\n\r\nab", S::Incomplete, "", ""},
        {"POST /login HTTP/1.1\r\nContent-Length: 4\r\n\r\nabcdef", S::Complete, "POST", "/login"},
        {"POST / HTTP/1.1\r\n\r\n", S::NoLength, "", ""},
        {"POST / HTTP/1.1\r\nContent-Length: 4097\r\n\r\n", S::BodyTooLarge, "", ""},
        {"POST / HTTP/1.1\r\nContent-Length: -1\r\n\r\n", S::Malformed, "", ""},
        {"GET / HTTP/1.1\r\nNo colon\r\n\r\n", S::Malformed, "", ""},
        {longest, S::Complete, "GET", "/"},
        {"", S::Incomplete, "", ""},
        {"GE", S::Incomplete, "", ""},
        {"GET /status.json HTTP/1.1\r\nHost: a\r\n", S::Incomplete, "", ""},
        {"GET / HTTP/1.1\r\nX: a" + longest.substr(head.size()), S::TooLarge, "", ""},
        {"get / HTTP/1.1\r\n\r\n", S::Malformed, "", ""},
        {" / HTTP/1.1\r\n\r\n", S::Malformed, "", ""},
        {"ABCDEFGHIJKLMNOPQ", S::Malformed, "", ""},
        {"GET http://a/ HTTP/1.1\r\n\r\n", S::Malformed, "", ""},
        {"GET / SIP/2.0\r\n\r\n", S::Malformed, "", ""},
        {"GET /\r\n\r\n", S::Malformed, "", ""}};
    for (const auto& [text, state, method, target] :
         cases) {  // the path, and "?" and the query if there is one
        const RequestHead read = ReadRequestHead(text);
        const std::string query = read.request.query.empty() ? "" : "?" + read.request.query;
        EXPECT_EQ(std::tuple(read.state, read.request.method, read.request.path + query),
                  std::tuple(state, method, target))
            << text.substr(0, 40);
    }
}

}  // namespace
}  // namespace bf::test
