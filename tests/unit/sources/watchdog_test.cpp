#include "sources/watchdog.h"

#include <gtest/gtest.h>

#include "test_station.h"

namespace bf::test {
namespace {

TEST(WatchdogTest, BothPlayersGoneRequestsOneRestartAndAppendsItToTheErrorLog) {
    TestStation ts;
    ts.clock.set(2026, 12, 31, 5, 14, 5, 9);
    ts.folder.write("error.log", "RESTART 01-01-2026 00:00:00 SOURCE:1\r\n");
    ts.state().CurrentSource = 3;
    tmrCheckMplayerOK_Timer(*ts);
    EXPECT_EQ(ts.processes.kills, (std::vector<std::string>{"mplayer1", "mplayer2"}));
    EXPECT_EQ(ts.console().txtAIR,
              " 2026-12-31 14:05:09  SYS - RESTARTING MPLAYER - POSSIBLE NETWORK ISSUE\r\n");
    EXPECT_EQ(Items(*ts, "WasPlaying CurrentSource lblMplayer1 lblMplayer2"),
              "WasPlaying=3 CurrentSource=-1 lblMplayer1= lblMplayer2=");
    EXPECT_EQ(ts.folder.read("error.log"),
              "RESTART 01-01-2026 00:00:00 SOURCE:1\r\nRESTART 12-31-2026 14:05:09 SOURCE:3\r\n");
}

TEST(WatchdogTest, NoRestartWhileASlotRunsNoSourceIsOnAirOrTheProcessTableCannotBeRead) {
    // Slot 1 and 2 running, the source on air, the table unreadable, the slot labels after.
    // clang-format off
    const std::tuple<bool, bool, int16_t, bool, std::string> cases[] = {
        {true, false, 2, false, "lblMplayer1=1 lblMplayer2="},
        {false, true, 2, false, "lblMplayer1= lblMplayer2=2"},
        {false, false, -1, false, "lblMplayer1= lblMplayer2="},
        {false, false, 2, true, "lblMplayer1=one lblMplayer2=two"}};  // the labels keep what they showed
    // clang-format on
    for (const auto& [one, two, source, unreadable, labels] : cases) {
        TestStation t;
        if (one) t.processes.running.insert("mplayer1");
        if (two) t.processes.running.insert("mplayer2");
        t.processes.failLookup = unreadable;
        t.console().lblMplayer1.caption = "one";
        t.console().lblMplayer2.caption = "two";
        t.state().CurrentSource = source;
        tmrCheckMplayerOK_Timer(*t);
        EXPECT_EQ(Items(*t, "CurrentSource WasPlaying lblMplayer1 lblMplayer2"),
                  "CurrentSource=" + std::to_string(source) + " WasPlaying=-1 " + labels);
        EXPECT_TRUE(t.processes.kills.empty());
    }
}

}  // namespace
}  // namespace bf::test
