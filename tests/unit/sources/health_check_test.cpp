#include "sources/health_check.h"

#include <gtest/gtest.h>

#include "schedule/event_tick.h"
#include "sources/player_control.h"
#include "sources/watchdog.h"
#include "test_station.h"

namespace bf::test {
namespace {

using Strings = std::vector<std::string>;

TEST(StreamAddress, IsTheFirstPartOfTheUrlWithASchemeElseTheFirstPart) {
    const std::pair<std::string, std::string> cases[] = {
        {"http://radio.example:8000/live", "http://radio.example:8000/live"},
        {"http://radio.example:8000", "http://radio.example:8000"},
        {"  http://a.example/x -cache 512", "http://a.example/x"},
        {"-cache 512 http://a.example/x", "http://a.example/x"},
        {"None", "None"},
        {"", ""}};
    for (const auto& [url, address] : cases) EXPECT_EQ(StreamAddress(url), address) << url;
}

const std::string kSelected = "http://radio.example:8000/live";
const std::string kBackup = "http://backup.example:9000/b";
const char* kFirstText = "SERVER OR LINK FAILURE - FIRST CHECK";
const char* kOnlineText = "SELECTED SOURCE ONLINE";

HttpResult Answer(int status) {
    return {"", HttpError::None, "", status};
}
HttpResult Error(int error) {
    return {"", error, "Request failed", 0};
}

// Source 3 on air on slot 1, source 4 and the backup at hand; the test
// answers the checks.
struct CheckedStation {
    TestStation ts;
    CheckedStation() {
        ts.folder.write("sourcelist.ini",
                        "0u:" + kBackup + "\r\n3u:" + kSelected + "\r\n4u:http://four.example/live\r\n");
        ts.console().lblCurrentSource.caption = kSelected;
        ts.console().lblFailText.caption = "WAITING";
        ts.state().CurrentSource = 3;
        ts.state().CurrentMplayer = 1;
        ts.state().DefaultStrapline = "Brackenfield FM";
        ts.processes.running = {"mplayer1"};
    }
    void check(const HttpResult& result) {
        ts.clock.advance(15);
        ts.InetTestURL.queued.push_back(result);
        tmrSourceCheck_Timer(*ts);
    }
};

struct VerdictCase {
    const char* name;
    HttpResult result;
    bool managementBusy;
    const char* text;  // lblFailText after the check
    int16_t count;
    std::string debug;
    int cancels;
};

TEST(HealthCheck, TheStreamsOwnAnswerDecidesAndNoAnswerWhileTheManagementLinkIsBusyDecidesNothing) {
    const std::string error = "Request failed: 12:00:15 / ";
    // clang-format off
    const VerdictCase cases[] = {
        {"Success", Answer(200), false, kOnlineText, 0, "", 0},
        {"SuccessWhileManagementBusy", Answer(204), true, kOnlineText, 0, "", 0},
        {"NotFound", Answer(404), false, kFirstText, 1, "old", 0},
        {"ErrorStatusWhileManagementBusy", Answer(503), true, kFirstText, 1, "old", 0},
        {"RedirectNotFollowed", Answer(302), false, kFirstText, 1, "old", 0},
        {"NoStatus", Answer(0), false, kFirstText, 1, "old", 0},
        {"Refused", Error(HttpError::ConnectionRefused), false, kFirstText, 1, error + "35754", 0},
        {"TimedOut", Error(HttpError::TimedOut), false, kFirstText, 1, error + "35761", 1},
        {"StillExecuting", Error(HttpError::StillExecuting), false, kFirstText, 1, error + "35764", 1},
        {"NoAnswerWhileManagementBusy", Error(HttpError::TimedOut), true, "WAITING", 0, error + "35761", 1},
        {"SupersededByANewerCheck", Error(HttpError::Cancelled), false, "WAITING", 0, "old", 0}};
    // clang-format on
    for (const VerdictCase& v : cases) {
        CheckedStation c;
        c.ts.console().lblDebug.caption = "old";
        c.ts.Inet1.isBusy = v.managementBusy;
        c.check(v.result);
        EXPECT_EQ(Items(*c.ts, "lblFailText LinkFailCount lblDebug lblFailURL"),
                  std::string("lblFailText=") + v.text + " LinkFailCount=" + std::to_string(v.count) +
                      " lblDebug=" + v.debug + " lblFailURL=" + kSelected)
            << v.name;
        EXPECT_EQ(c.ts.InetTestURL.cancels, v.cancels) << v.name;
        EXPECT_EQ(c.ts.InetTestURL.headerRequests, Strings{kSelected}) << v.name;
        EXPECT_EQ(c.ts.InetTestURL.timeoutMs, 10000) << v.name;
        EXPECT_TRUE(c.ts.processes.log.empty()) << v.name;
    }
}

TEST(HealthCheck, OneFailedCheckThenAPassedOneLeavesThePlayerAlone) {
    CheckedStation c;
    c.ts.InetTestURL.isBusy = true;  // an older check still waits: it is cancelled first
    c.check(Error(HttpError::ConnectionRefused));
    c.check(Answer(200));
    c.check(Answer(200));
    EXPECT_EQ(c.ts.console().txtAIR,
              " 2026-12-06 12:00:30  SYS - SELECTED SOURCE ONLINE\r\n"
              " 2026-12-06 12:00:15  SYS - SERVER OR LINK FAILURE - FIRST CHECK\r\n");
    EXPECT_EQ(Items(*c.ts, "LinkFailCount CurrentSource WasPlaying SilenceFlag"),
              "LinkFailCount=0 CurrentSource=3 WasPlaying=-1 SilenceFlag=0");
    EXPECT_EQ(c.ts.console().lblFail.backColour, Colour::Green);
    EXPECT_EQ(c.ts.InetTestURL.cancels, 1);
    EXPECT_TRUE(c.ts.processes.log.empty());
}

std::string Start(int slot, const std::string& url) {
    return "start mplayer" + std::to_string(slot) + " " + url + " -quiet -noconsolecontrols";
}

// The event tick makes both switches, each starting the new player before
// it stops the old one; only FastFailover=0 stops the players at the
// failover.
TEST(HealthCheck, FailoverAndReturnGoThroughTheOrdinarySwitch) {
    for (const bool fast : {false, true}) {
        CheckedStation c;
        c.ts.state().FastFailover = fast ? "1" : "0";
        c.check(Error(HttpError::ConnectionRefused));
        c.check(Answer(404));
        EXPECT_EQ(Items(*c.ts, "SilenceFlag RXmetadata lblRXmetadata LinkSource"),
                  "SilenceFlag=1 RXmetadata=Brackenfield FM lblRXmetadata=Brackenfield FM LinkSource=3");
        tmrCheckAndDoEvents_Timer(*c.ts);
        for (int i = 0; i < 3; ++i) c.check(Error(HttpError::ConnectionRefused));
        EXPECT_EQ(c.ts.state().LinkFailCount, 3);
        EXPECT_EQ(c.ts.InetTestURL.headerRequests.back(), kSelected);  // not the backup on air
        c.check(Answer(200));
        EXPECT_EQ(Items(*c.ts, "CurrentSource WasPlaying SilenceFlag"),
                  "CurrentSource=0 WasPlaying=3 SilenceFlag=0");
        tmrCheckAndDoEvents_Timer(*c.ts);

        Strings expected = {Start(2, kBackup), "kill mplayer1", Start(1, kSelected), "kill mplayer2"};
        if (!fast) expected.insert(expected.begin(), {"kill mplayer1", "kill mplayer2"});
        EXPECT_EQ(c.ts.processes.log, expected) << fast;
        EXPECT_EQ(Items(*c.ts, "CurrentSource lblCurrentSource LinkFailCount"),
                  "CurrentSource=3 lblCurrentSource=" + kSelected + " LinkFailCount=0");
        EXPECT_EQ(CountOf(c.ts.console().txtAIR, "\r\n"), 3u);  // first, second failure, online
        EXPECT_EQ(c.ts.InetTestURL.timeoutMs, fast ? 900 : 10000);
    }
}

// The player dies with its server; the watchdog, ticking just before the
// check, has already asked for a restart (CurrentSource -1) when the second
// check fails. The source selected for air must still come back afterwards.
TEST(HealthCheck, PendingRestartKeepsTheSelectedSourceThroughFailoverAndReturn) {
    CheckedStation c;
    c.check(Error(HttpError::ConnectionRefused));
    c.ts.processes.running.clear();
    tmrCheckMplayerOK_Timer(*c.ts);
    ASSERT_EQ(Items(*c.ts, "WasPlaying CurrentSource"), "WasPlaying=3 CurrentSource=-1");
    c.check(Error(HttpError::ConnectionRefused));
    EXPECT_EQ(Items(*c.ts, "SilenceFlag LinkSource"), "SilenceFlag=1 LinkSource=3");
    c.check(Answer(200));
    EXPECT_EQ(c.ts.state().WasPlaying, 3);
}

// A reply that arrives after the source under test changed is dropped.
TEST(HealthCheck, ReplyForASourceNoLongerUnderTestIsDropped) {
    const std::pair<bool, HttpResult> cases[] = {{false, Error(HttpError::ConnectionRefused)},
                                                 {true, Answer(200)}};
    for (const auto& [failover, result] : cases) {
        CheckedStation c;
        StationState& s = c.ts.state();
        if (failover) {
            s.CurrentSource = 0;
            s.SilenceFlag = 1;
            s.LinkFailCount = 3;
            s.LinkStoredSource = kSelected;
            s.LinkSource = 3;
        }
        // A scheduled switch, or during failover a schedule entry for source 4.
        c.ts.InetTestURL.onFetch = [&](const std::string&) {
            failover ? ReturnAfterFailoverTo(*c.ts, 4) : void(SwitchSource(*c.ts, "4"));
        };
        c.check(result);
        EXPECT_EQ(Items(*c.ts, "SilenceFlag LinkFailCount WasPlaying lblFailText"),
                  failover ? "SilenceFlag=1 LinkFailCount=3 WasPlaying=-1 lblFailText=WAITING"
                           : "SilenceFlag=0 LinkFailCount=0 WasPlaying=-1 lblFailText=WAITING")
            << failover;
    }
}

}  // namespace
}  // namespace bf::test
