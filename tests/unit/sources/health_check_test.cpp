#include "sources/health_check.h"

#include <gtest/gtest.h>

#include "app/timer_table.h"
#include "sources/watchdog.h"
#include "test_station.h"

namespace bf::test {
namespace {

TEST(ServerRoot, KeepsEverythingBeforeTheThirdSlashPlusSlash) {
    const std::string junk(119, '\xee');
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {"http://radio.example:8000/live/hi.mp3", "http://radio.example:8000/"},
        {"http://radio.example:8000", "http://radio.example:8000/"}, {"None", "None/"}, {"abc", "abc/"},
        {"http://", "http:///"}, {"", "/"}, {"http://a b:80/c d", "http://a b:80/"}, {"//x/y/z", "//x/"},
        {junk, junk + "/"}};
    // clang-format on
    for (const auto& [url, root] : cases) EXPECT_EQ(ServerRoot(url), root) << url;
}

const std::string kFirst = "  SYS - SERVER OR LINK FAILURE - FIRST CHECK\r\n";
const std::string kSecond = "  SYS - SERVER OR LINK FAILURE\r\n";
const std::string kOnline = "  SYS - SELECTED SOURCE ONLINE\r\n";

// Source 3 on air from a server whose checks the test answers.
struct CheckedStation {
    TestStation ts;
    CheckedStation() {
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
    std::string lamp() {
        const auto colour = ts.console().lblFail.backColour;
        const char* name = colour == Colour::Green ? " green" : colour == Colour::Red ? " red" : " ?";
        return Items(*ts, "lblFailText lblFailURL lblFailCheckTime") + name;
    }
};

struct HealthCheckTest : ::testing::Test, CheckedStation {};

TEST_F(HealthCheckTest, PassLightsTheLampGreenOnceAnEmptyReplyFailsUnlessTheManagementLinkIsBusy) {
    ts.InetTestURL.isBusy = true;  // an older check still waits: it is cancelled first
    int cancelsAtFetch = -1;
    ts.InetTestURL.onFetch = [&](const std::string&) { cancelsAtFetch = ts.InetTestURL.cancels; };
    check("<html>");
    check("<html>");
    EXPECT_EQ(cancelsAtFetch, 1);
    EXPECT_LT(ts.InetTestURL.timeoutMs, PeriodOf(TimerName::SourceCheck)) << "gives up before the next check";
    EXPECT_EQ(ts.InetTestURL.requests, std::vector<std::string>(2, "http://radio.example:8000/"));
    EXPECT_EQ(lamp(),
              "lblFailText=SELECTED SOURCE ONLINE lblFailURL=http://radio.example:8000/ "
              "lblFailCheckTime=12:00:30 green");
    check("");
    EXPECT_EQ(lamp(),
              "lblFailText=SERVER OR LINK FAILURE - FIRST CHECK lblFailURL=http://radio.example:8000/ "
              "lblFailCheckTime=12:00:45 red");
    EXPECT_TRUE(ts.processes.kills.empty());
    // The management link starts a fetch while this check waits for its reply:
    // a pass, which leaves the restart to the watchdog.
    ts.InetTestURL.onFetch = [&](const std::string&) { ts.Inet1.isBusy = true; };
    check("");
    EXPECT_EQ(ts.console().txtAIR, " 2026-12-06 12:01:00" + kOnline + " 2026-12-06 12:00:45" + kFirst +
                                       " 2026-12-06 12:00:15" + kOnline);
    EXPECT_EQ(ts.processes.kills, (std::vector<std::string>{"mplayer1", "mplayer2"}));
    EXPECT_EQ(Items(*ts, "lblFailText LinkFailCount WasPlaying SilenceFlag"),
              "lblFailText=SELECTED SOURCE ONLINE LinkFailCount=0 WasPlaying=3 SilenceFlag=0");
    tmrCheckMplayerOK_Timer(*ts);  // no player left: restart request for source 3
    EXPECT_EQ(Items(*ts, "WasPlaying CurrentSource"), "WasPlaying=3 CurrentSource=-1");
}

TEST_F(HealthCheckTest, LongOutageFailsOverOnceAndTestsTheFailedSourceUntilItAnswers) {
    check("");
    check("");
    EXPECT_EQ(Items(*ts, "SilenceFlag RXmetadata lblRXmetadata lblFailText"),
              "SilenceFlag=1 RXmetadata=Brackenfield FM lblRXmetadata=Brackenfield FM "
              "lblFailText=SERVER OR LINK FAILURE at 12:00:30");
    EXPECT_EQ(ts.processes.kills.size(), 2u);

    // The event tick puts the backup on air.
    ts.console().lblCurrentSource.caption = "http://backup.example:9000/b";
    ts.state().CurrentSource = 0;
    for (int i = 0; i < 4; ++i) check("");
    EXPECT_EQ(ts.state().LinkFailCount, 3);
    EXPECT_EQ(ts.console().txtAIR, " 2026-12-06 12:00:30" + kSecond + " 2026-12-06 12:00:15" + kFirst);
    EXPECT_EQ(ts.processes.kills.size(), 2u);
    EXPECT_EQ(ts.InetTestURL.requests.back(), "http://radio.example:8000/");

    check("up again");
    EXPECT_EQ(Items(*ts, "lblCurrentSource CurrentSource WasPlaying SilenceFlag LinkFailCount"),
              "lblCurrentSource=http://radio.example:8000/live CurrentSource=3 WasPlaying=3 SilenceFlag=0 "
              "LinkFailCount=0");
    EXPECT_EQ(ts.processes.kills.size(), 4u);
}

// The player dies with its server; the watchdog, ticking just before the
// check, has already asked for a restart (CurrentSource -1) when the second
// check fails. The source selected for air must still come back afterwards.
TEST_F(HealthCheckTest, PendingRestartKeepsTheSelectedSourceThroughFailoverAndReturn) {
    check("");
    ts.processes.running.clear();
    tmrCheckMplayerOK_Timer(*ts);
    ASSERT_EQ(Items(*ts, "WasPlaying CurrentSource"), "WasPlaying=3 CurrentSource=-1");
    check("");
    EXPECT_EQ(Items(*ts, "SilenceFlag LinkSource"), "SilenceFlag=1 LinkSource=3");
    check("up again");
    EXPECT_EQ(Items(*ts, "CurrentSource WasPlaying"), "CurrentSource=3 WasPlaying=3");
}

TEST(HealthCheckErrors, ErrorIsShownWithTimeAndNumberCountsAsFailedAndClearsOnAPass) {
    for (const auto& [number, cancels] : {std::pair{HttpError::TimedOut, 1},
                                          {HttpError::StillExecuting, 1},
                                          {HttpError::HostNotFound, 0},
                                          {HttpError::ConnectionRefused, 0}}) {
        CheckedStation c;
        c.ts.InetTestURL.queueError(number, "Request failed");
        tmrSourceCheck_Timer(*c.ts);
        EXPECT_EQ(Items(*c.ts, "lblDebug LinkFailCount"),
                  "lblDebug=Request failed: 12:00:00 / " + std::to_string(number) + " LinkFailCount=1");
        EXPECT_EQ(c.ts.InetTestURL.cancels, cancels) << number;
        c.check("ok");
        EXPECT_EQ(c.ts.console().lblDebug.caption, "");
    }
}

}  // namespace
}  // namespace bf::test
