#include "sources/health_check.h"

#include <gtest/gtest.h>

#include "sources/watchdog.h"
#include "test_station.h"

namespace bf {
namespace {

struct RootCase {
    const char* url;
    const char* root;
};
class HealthCheckServerRoot : public ::testing::TestWithParam<RootCase> {};

TEST_P(HealthCheckServerRoot, KeepsEverythingBeforeTheThirdSlashPlusSlash) {
    EXPECT_EQ(ServerRoot(GetParam().url), GetParam().root);
}

INSTANTIATE_TEST_SUITE_P(Urls, HealthCheckServerRoot,
                         ::testing::Values(RootCase{"http://radio.example:8000/live/hi.mp3", "http://radio.example:8000/"},
                                           RootCase{"http://radio.example:8000", "http://radio.example:8000/"},
                                           RootCase{"None", "None/"}, RootCase{"abc", "abc/"},
                                           RootCase{"http://", "http:///"}, RootCase{"", "/"},
                                           RootCase{"http://a b:80/c d", "http://a b:80/"},
                                           RootCase{"//x/y/z", "//x/"}));

TEST(HealthCheckServerRootJunk, JunkWithoutSlashesStaysWhole) {
    const std::string junk(119, '\xee');
    EXPECT_EQ(ServerRoot(junk), junk + "/");
}

constexpr const char* kFirst = "  SYS - SERVER OR LINK FAILURE - FIRST CHECK";
constexpr const char* kSecond = "  SYS - SERVER OR LINK FAILURE\r\n";
constexpr const char* kOnline = "  SYS - SELECTED SOURCE ONLINE";

struct HealthCheckTest : ::testing::Test {
    test::TestStation ts;
    HealthCheckTest() {
        ts.console().lblCurrentSource.caption = "http://radio.example:8000/live";
        ts.state().CurrentSource = 3;
        ts.state().DefaultStrapline = "Brackenfield FM";
        ts.processes.running = {"mplayer1"};
    }
    // One check 15 s after the last, answered with `body`.
    void check(std::string body) {
        ts.clock.advance(15);
        ts.InetTestURL.queue(std::move(body));
        tmrSourceCheck_Timer(*ts);
    }
    size_t count(std::string_view message) const {
        size_t n = 0;
        const std::string& log = ts.station->console.txtAIR;
        for (size_t at = log.find(message); at != std::string::npos; at = log.find(message, at + 1)) ++n;
        return n;
    }
};

TEST_F(HealthCheckTest, AnsweringServerLightsTheLampGreenAndLogsOnce) {
    check("<html>");
    check("<html>");
    EXPECT_EQ(ts.InetTestURL.requests, std::vector<std::string>(2, "http://radio.example:8000/"));
    EXPECT_EQ(ts.console().lblFailURL.caption, "http://radio.example:8000/");
    EXPECT_EQ(ts.console().lblFailCheckTime.caption, "12:00:30");
    EXPECT_EQ(ts.console().lblFail.backColour, Colour::Green);
    EXPECT_EQ(ts.console().lblFailText.caption, "SELECTED SOURCE ONLINE");
    EXPECT_EQ(count(kOnline), 1u);
    EXPECT_TRUE(ts.processes.kills.empty());
}

TEST_F(HealthCheckTest, EmptyBodyCountsAsFailedUnlessTheManagementLinkIsBusy) {
    check("");
    EXPECT_EQ(ts.state().LinkFailCount, 1);
    EXPECT_EQ(ts.console().lblFail.backColour, Colour::Red);
    EXPECT_EQ(ts.console().lblFailText.caption, "SERVER OR LINK FAILURE - FIRST CHECK");
    EXPECT_EQ(count(kFirst), 1u);

    // The management link starts a fetch while this check waits for its reply.
    ts.InetTestURL.onFetch = [&](const std::string&) { ts.Inet1.isBusy = true; };
    check("");
    EXPECT_EQ(ts.console().lblFailText.caption, "SELECTED SOURCE ONLINE");
    EXPECT_EQ(ts.state().LinkFailCount, 0);
}

TEST_F(HealthCheckTest, OneFailedCheckThenAPassStopsPlayersAndLeavesARestartToTheWatchdog) {
    check("");
    EXPECT_TRUE(ts.processes.kills.empty());
    check("ok");
    EXPECT_EQ(count(kFirst), 1u);
    EXPECT_EQ(count(kOnline), 1u);
    EXPECT_EQ(ts.processes.kills, (std::vector<std::string>{"mplayer1", "mplayer2"}));
    EXPECT_EQ(ts.state().CurrentSource, 3);
    EXPECT_EQ(ts.state().WasPlaying, 3);
    EXPECT_EQ(ts.state().SilenceFlag, 0);

    tmrCheckMplayerOK_Timer(*ts);  // no player left: restart request for source 3
    EXPECT_EQ(ts.state().WasPlaying, 3);
    EXPECT_EQ(ts.state().CurrentSource, -1);
}

TEST_F(HealthCheckTest, LongOutageFailsOverOnceAndTestsTheFailedSourceUntilItAnswers) {
    check("");
    check("");
    EXPECT_EQ(ts.state().SilenceFlag, 1);
    EXPECT_EQ(ts.state().RXmetadata, "Brackenfield FM");
    EXPECT_EQ(ts.console().lblRXmetadata.caption, "Brackenfield FM");
    EXPECT_EQ(ts.console().lblFailText.caption, "SERVER OR LINK FAILURE at 12:00:30");
    EXPECT_EQ(ts.processes.kills.size(), 2u);

    // The event tick puts the backup on air.
    ts.console().lblCurrentSource.caption = "http://backup.example:9000/b";
    ts.state().CurrentSource = 0;
    const std::string logBefore = ts.console().txtAIR;
    for (int i = 0; i < 4; ++i) check("");
    EXPECT_EQ(ts.state().LinkFailCount, 3);
    EXPECT_EQ(ts.console().txtAIR, logBefore);
    EXPECT_EQ(ts.processes.kills.size(), 2u);
    EXPECT_EQ(ts.InetTestURL.requests.back(), "http://radio.example:8000/");
    EXPECT_EQ(count(kFirst), 1u);
    EXPECT_EQ(count(kSecond), 1u);

    check("up again");
    EXPECT_EQ(ts.console().lblCurrentSource.caption, "http://radio.example:8000/live");
    EXPECT_EQ(ts.state().CurrentSource, 3);
    EXPECT_EQ(ts.state().WasPlaying, 3);
    EXPECT_EQ(ts.state().SilenceFlag, 0);
    EXPECT_EQ(ts.state().LinkFailCount, 0);
    EXPECT_EQ(ts.processes.kills.size(), 4u);
}

TEST_F(HealthCheckTest, BusyTesterIsCancelledBeforeTheNewFetch) {
    ts.InetTestURL.isBusy = true;
    int cancelsAtFetch = -1;
    ts.InetTestURL.onFetch = [&](const std::string&) { cancelsAtFetch = ts.InetTestURL.cancels; };
    check("ok");
    EXPECT_EQ(cancelsAtFetch, 1);
}

struct ErrorCase {
    int number;
    bool cancels;
};
class HealthCheckErrors : public HealthCheckTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(HealthCheckErrors, ErrorIsShownWithTimeAndNumberAndCountsAsFailed) {
    ts.InetTestURL.queueError(GetParam().number, "Request failed");
    tmrSourceCheck_Timer(*ts);
    EXPECT_EQ(ts.console().lblDebug.caption, "Request failed: 12:00:00 / " + std::to_string(GetParam().number));
    EXPECT_EQ(ts.InetTestURL.cancels, GetParam().cancels ? 1 : 0);
    EXPECT_EQ(ts.state().LinkFailCount, 1);
}

INSTANTIATE_TEST_SUITE_P(Numbers, HealthCheckErrors,
                         ::testing::Values(ErrorCase{HttpError::TimedOut, true},
                                           ErrorCase{HttpError::StillExecuting, true},
                                           ErrorCase{HttpError::HostNotFound, false},
                                           ErrorCase{HttpError::ConnectionRefused, false}));

TEST_F(HealthCheckTest, PassClearsTheErrorShownByAnEarlierCheck) {
    ts.InetTestURL.queueError(HttpError::HostNotFound, "Host not found");
    tmrSourceCheck_Timer(*ts);
    check("ok");
    EXPECT_EQ(ts.console().lblDebug.caption, "");
}

}  // namespace
}  // namespace bf
