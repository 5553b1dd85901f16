#include "sources/health_check.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/air_state.h"
#include "core/stream_address.h"
#include "core/timer_names.h"
#include "schedule/event_tick.h"
#include "sources/air_hearing.h"
#include "sources/on_air.h"
#include "sources/player_control.h"
#include "sources/watchdog.h"
#include "test_station.h"

namespace bf::test {
namespace {

using Strings = std::vector<std::string>;

// The player gets options before and after the stream's address; the check asks for the address alone.
const std::string kSelected = "http://radio.example:8000/live";
const std::string kSelectedUrl = "-cache 512 " + kSelected + " -x";
const std::string kBackup = "http://backup.example:9000/b";
const char* kFirstText = "SERVER OR LINK FAILURE - FIRST CHECK";
const char* kOnlineText = "SELECTED SOURCE ONLINE";

const auto Answer = [](int status) { return HttpResult{"", HttpError::None, "", status}; };
const auto Error = [](int error) { return HttpResult{"", error, "Request failed", 0}; };

// Source 3 on air on slot 1, source 4 and the backup at hand; the test
// answers the checks.
struct CheckedStation {
    TestStation ts{false};
    CheckedStation() {
        ts.folder.write("sourcelist.ini",
                        "0u:" + kBackup + "\r\n3u:" + kSelectedUrl +
                            "\r\n4u:http://four.example/live\r\n5u:http://five.example/x\r\n");
        ts.onAir(3);
        ResetHealthCheck(ts->check, true);
        // The test makes the event tick's switches (tick()), not the check.
        ts->schedule.mode = Mode::Manual;
        ts.processes.running = {"mplayer1"};
    }
    void check(const HttpResult& result) {
        ts.clock.advance(15);
        ts.InetTestURL.queued.push_back(result);
        tmrSourceCheck_Timer(*ts);
    }
    // The event tick, and the new player plays.
    void tick() {
        tmrCheckAndDoEvents_Timer(*ts);
        if (ts->onAir.overlapSlot() != 0) ts.endOverlap();
    }
};

TEST(HealthCheck, TheStreamsOwnAnswerDecidesAndNoAnswerWhileTheManagementLinkIsBusyDecidesNothing) {
    const std::string error = "Request failed: 12:00:15 / ";
    // clang-format off
    // The check's result, whether the management link was busy, then lblFailText, LinkFailCount,
    // lblDebug and how many fetches were cancelled after it.
    const std::tuple<const char*, HttpResult, bool, const char*, int, std::string, int> cases[] = {
        {"Success", Answer(200), false, kOnlineText, 0, "", 0},
        {"SuccessWhileManagementBusy", Answer(204), true, kOnlineText, 0, "", 0},
        {"ErrorStatusWhileManagementBusy", Answer(503), true, kFirstText, 1, "old", 0},
        {"RedirectNotFollowed", Answer(302), false, kFirstText, 1, "old", 0},
        {"Refused", Error(HttpError::ConnectionRefused), false, kFirstText, 1, error + "35754", 0},
        {"TimedOut", Error(HttpError::TimedOut), false, kFirstText, 1, error + "35761", 1},
        {"NoAnswerWhileManagementBusy", Error(HttpError::TimedOut), true, "WAITING", 0, error + "35761", 1}};
    // clang-format on
    for (const auto& [name, result, managementBusy, text, count, debug, cancels] : cases) {
        SCOPED_TRACE(name);
        CheckedStation c;
        c.ts.console().lblDebug.caption = "old";
        c.ts.Inet1.isBusy = managementBusy;
        c.check(result);
        EXPECT_EQ(Items(*c.ts, "lblFailText LinkFailCount lblDebug lblFailURL SilenceFlag WasPlaying"),
                  std::string("lblFailText=") + text + " LinkFailCount=" + std::to_string(count) +
                      " lblDebug=" + debug + " lblFailURL=" + kSelected + " SilenceFlag=0 WasPlaying=-1");
        EXPECT_EQ(c.ts.InetTestURL.cancels, cancels);
    }
}

const auto Start = [](int slot, const std::string& url) {
    return "start mplayer" + std::to_string(slot) + " " + url + " -quiet -noconsolecontrols";
};

// The event tick makes both switches, each starting the new player and
// stopping the old one once the new one plays; only FastFailover=0 stops the
// players at the failover. When the player died with its server, the
// watchdog, ticking just before the second check, has already asked for a
// restart: the source selected for air must still come back.
TEST(HealthCheck, FailoverAndReturnGoThroughTheOrdinarySwitch) {
    for (const auto& [fast, playerDied] : {std::pair{false, false}, {true, false}, {true, true}}) {
        SCOPED_TRACE(std::to_string(fast) + std::to_string(playerDied));
        CheckedStation c;
        c.ts.settings().FastFailover = fast;
        c.check(Error(HttpError::ConnectionRefused));
        if (playerDied) c.ts.processes.running.clear();
        tmrCheckMplayerOK_Timer(*c.ts);
        c.check(Answer(404));
        EXPECT_EQ(Items(*c.ts, "SilenceFlag Failover LinkSource"),
                  "SilenceFlag=1 Failover=failover LinkSource=3");
        c.tick();
        for (int i = 0; i < 3; ++i) c.check(Error(HttpError::ConnectionRefused));
        EXPECT_EQ(c.ts->onAir.checkFailures(), 3);
        EXPECT_EQ(c.ts.InetTestURL.headerRequests.back(), kSelected);  // not the backup on air
        c.check(Answer(200));
        EXPECT_EQ(Items(*c.ts, "CurrentSource SilenceFlag Failover"),
                  "CurrentSource=0 SilenceFlag=1 Failover=returning");
        c.tick();
        c.check(Answer(200));

        Strings expected = {Start(2, kBackup), "kill mplayer1", Start(1, kSelectedUrl), "kill mplayer2"};
        if (!fast || playerDied) expected.insert(expected.begin(), {"kill mplayer1", "kill mplayer2"});
        EXPECT_EQ(c.ts.processes.log, expected);
        EXPECT_EQ(Items(*c.ts, "CurrentSource lblCurrentSource LinkFailCount Failover"),
                  "CurrentSource=3 lblCurrentSource=" + kSelectedUrl + " LinkFailCount=0 Failover=normal");
        for (const char* line :
             {"SERVER OR LINK FAILURE - FIRST CHECK", "SERVER OR LINK FAILURE", kOnlineText})
            EXPECT_EQ(CountOf(c.ts.console().txtAIR, std::string("  SYS - ") + line + "\r\n"), 1u) << line;
        EXPECT_EQ(c.ts.InetTestURL.timeoutMs, fast ? 900 : 10000);
        Strings events = {"failover 3 (" + kSelected + ": HTTP 404) backup", "switch 0 failover",
                          "switch 3 return", "return 3"};
        if (playerDied) events.insert(events.begin(), "restart 3");
        EXPECT_EQ(c.ts.recorded.events, events);
        EXPECT_EQ(c.ts.recorded.checks, (std::array<uint64_t, 3>{2, 5, 0}));
        // Each player's record says whether it stood in, and for which source, or played the choice.
        EXPECT_EQ(c.ts.folder.read("mplayer2.url") + c.ts.folder.read("mplayer1.url"),
                  kBackup + "\r\n\r\nstandsin 3\r\n" + kSelectedUrl + "\r\n\r\nchosen\r\n");
    }
    // The backup playing on says so when a choice meanwhile is what it stands in for (a record that cannot be
    // written then, a full disk, stays as it was until the next decision), and when a reload with the check
    // off ends the failover in manual mode, leaving it chosen.
    CheckedStation c;
    for (int i = 0; i < 2; ++i) c.check(Error(HttpError::ConnectionRefused));
    c.tick();
    const std::filesystem::path record = c.ts.folder.path() / "mplayer2.url";
    std::filesystem::permissions(record, std::filesystem::perms::owner_read);
    Observe(*c.ts, air::Choice{"4", SwitchCause::Operator});
    std::string seen = c.ts.folder.read("mplayer2.url");
    std::filesystem::permissions(record, std::filesystem::perms::owner_all);
    c.tick();
    seen += c.ts.folder.read("mplayer2.url");
    c.ts.settings().CheckSource = false;
    Observe(*c.ts, air::Reload{"3"});
    EXPECT_EQ(seen + c.ts.folder.read("mplayer2.url"), kBackup + "\r\n\r\nstandsin 3\r\n" + kBackup +
                                                           "\r\n\r\nstandsin 4\r\n" + kBackup +
                                                           "\r\n\r\nchosen\r\n");
}

// A source whose server answers but whose player cannot play it (each of its
// players ends before it plays): its player is started again once, then the
// backup takes over with the reason. The source is tried again when its
// check passes, each try that fails brings the backup back at once, and the
// tries, as every restart, wait ever longer (said once): a handful an hour.
TEST(HealthCheck, ASourceItsPlayerCannotPlayFailsOverAndIsTriedAgainEverLessOften) {
    // What its players leave in their logs, and the reason told: a long line is cut before a character.
    for (const std::string& log : {std::string(), std::string(99, 'z') + "\xc3\xa9 more\n"}) {
        CheckedStation c;
        c.ts.settings().CheckSource = true;
        c.ts.InetTestURL.reply = [](const std::string&) { return Answer(200); };
        int second = 0;
        std::vector<int> tries;  // the seconds at which a player of source 4 started
        c.ts.processes.onCall = [&](const std::string& call) {
            if (call.find("four.example") != std::string::npos) tries.push_back(second);
        };
        Observe(*c.ts, air::Choice{"4", SwitchCause::Operator});
        for (second = 1; second <= (log.empty() ? 3600 : 10); ++second) {  // the long line: its failover
            c.ts.clock.advance(1);
            const std::string player = PlayerName(c.ts->onAir.CurrentMplayer());
            if (c.ts->onAir.source().number == 4) {
                c.ts.processes.running.erase(player);
                c.ts.folder.write(player + ".log", log);
            } else {
                c.ts.folder.write(player + ".log", "Starting playback...\n");
            }
            if (c.ts.timers.running(TimerName::SwitchOverlap)) c.ts.timers.fire(TimerName::SwitchOverlap);
            if (second % 15 == 0) tmrSourceCheck_Timer(*c.ts);
            if (second % 15 == 7) tmrCheckMplayerOK_Timer(*c.ts);
            tmrCheckAndDoEvents_Timer(*c.ts);
        }
        EXPECT_EQ(tries,
                  (log.empty() ? std::vector<int>{0, 2, 64, 304, 1264, 2464} : std::vector<int>{0, 2}));
        EXPECT_EQ(std::ranges::count(
                      c.ts.recorded.events,
                      "failover 4 (the player cannot play it (ended before playing, twice in a row): " +
                          (log.empty() ? "nothing in its log" : std::string(99, 'z')) + ") backup"),
                  1);
        EXPECT_EQ(Items(*c.ts, "CurrentSource Failover"),
                  log.empty() ? "CurrentSource=0 Failover=returning" : "CurrentSource=0 Failover=failover");
    }
}

// The answer comes later, from the event loop. One for a source no longer
// under test (a scheduled switch, or during a failover a schedule entry for
// another source) is dropped; a request still running at the next check is
// cancelled, and only the newer one is answered.
TEST(HealthCheck, AnAnswerForASourceNoLongerUnderTestIsDroppedAndARequestStillRunningIsCancelled) {
    for (const bool failover : {false, true}) {
        CheckedStation c;
        for (int i = 0; failover && i < 2; ++i) c.check(Error(HttpError::ConnectionRefused));
        c.ts.InetTestURL.holdAnswers = true;
        const char* shown = "SilenceFlag Failover lblFailText";
        const std::string before = Items(*c.ts, shown);
        c.check(Answer(200));
        Observe(*c.ts, air::Choice{"4", SwitchCause::Schedule});
        EXPECT_TRUE(c.ts.InetTestURL.answerHeld());
        EXPECT_EQ(Items(*c.ts, shown), before) << failover;
    }
    CheckedStation c;
    c.ts.InetTestURL.holdAnswers = true;
    c.check(Answer(200));
    tmrSourceCheck_Timer(*c.ts);
    EXPECT_EQ(c.ts.InetTestURL.cancels, 1);
    EXPECT_TRUE(c.ts.InetTestURL.answerHeld());
    EXPECT_FALSE(c.ts.InetTestURL.answerHeld());
    EXPECT_EQ(c.ts.recorded.checks, (std::array<uint64_t, 3>{1, 0, 0}));
}

// Ticks with slot 1 running, slot 2 running, the process table unreadable (the
// labels keep what they showed), both players gone, and once more.
TEST(WatchdogTest, OnlyAReadableTableWithBothPlayersGoneRequestsARestartOnceAndAppendsItToTheErrorLog) {
    TestStation ts(false);
    ts.folder.write("sourcelist.ini", "3n:Three\r\n3u:http://three.example/c\r\n");
    ts.onAir(3);
    ts.clock.set(2026, 12, 31, 14, 5, 9);
    ts.folder.write("error.log", "RESTART 01-01-2026 00:00:00 SOURCE:1\r\n");
    Strings seen;
    for (const std::string running : {"mplayer1", "mplayer2", "unreadable", "", ""}) {
        ts.processes.running = {running};
        ts.processes.failLookup = running == "unreadable";
        tmrCheckMplayerOK_Timer(*ts);
        seen.push_back(Items(*ts, "CurrentSource WasPlaying lblMplayer1 lblMplayer2"));
    }
    EXPECT_EQ(seen, (Strings{"CurrentSource=3 WasPlaying=-1 lblMplayer1=1 lblMplayer2=",
                             "CurrentSource=3 WasPlaying=-1 lblMplayer1= lblMplayer2=2",
                             "CurrentSource=3 WasPlaying=-1 lblMplayer1= lblMplayer2=2",
                             "CurrentSource=-1 WasPlaying=3 lblMplayer1= lblMplayer2=",
                             "CurrentSource=-1 WasPlaying=3 lblMplayer1= lblMplayer2="}));
    EXPECT_EQ(ts.processes.kills, (Strings{"mplayer1", "mplayer2"}));
    EXPECT_EQ(ts.recorded.events, Strings{"restart 3"});
    EXPECT_EQ(ts.console().txtAIR,
              " 2026-12-31 14:05:09  SYS - RESTARTING MPLAYER - POSSIBLE NETWORK ISSUE\r\n");
    EXPECT_EQ(ts.folder.read("error.log"),
              "RESTART 01-01-2026 00:00:00 SOURCE:1\r\nRESTART 12-31-2026 14:05:09 SOURCE:3\r\n");
}

// Every second, the player on air as started: running, killed (the watchdog's look at once: one restart), and
// once more while that restart waits; one not known (adopted) killed; killed while its stream is heard
// flowing, and while it is heard ended (the hearing's to fail over: no restart). The count of restarts after
// each second.
TEST(WatchdogTest, ThePlayerOnAirEndingIsSeenWithinASecondUnlessItsStreamEndedToo) {
    for (const auto& [flowing, runs, restarts] :
         {std::tuple{-1, "+--", "011"}, {-2, "+-", "00"}, {10, "+-", "01"}, {0, "+-", "00"}}) {
        TestStation ts(false);
        ts.folder.write("sourcelist.ini", "3n:Three\r\n3u:http://three.example/c\r\n");
        ts.onAir(3);
        if (flowing >= 0) {
            ts.settings().CheckSource = true;
            ts->air.monitorStarts = true;
            StreamWatch& watch = ts->air.watches.emplace_back();
            watch.address = StreamAddress("http://three.example/c");
            watch.monitor = ProgramHandle{1, 1};
            watch.moved = ts.clock.monotonicSeconds();
            watch.flowingSince = flowing > 0 ? ts.clock.monotonicSeconds() - flowing : 0;
        }
        const std::string name = PlayerName(ts->onAir.CurrentMplayer());
        if (flowing == -2) ts.processes.found.clear();
        std::string seen;
        for (const char* run = runs; *run; ++run) {
            ts.processes.running.clear();
            if (*run == '+') ts.processes.running.insert(name);
            if (PlayerOnAirEnded(ts.processes, ts->onAir, EarsOf(*ts))) tmrCheckMplayerOK_Timer(*ts);
            seen += std::to_string(ts.recorded.events.size());
        }
        EXPECT_EQ(seen, restarts) << flowing;
    }
}

}  // namespace
}  // namespace bf::test
