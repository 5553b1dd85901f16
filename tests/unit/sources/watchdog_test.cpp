#include "sources/watchdog.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_station.h"

namespace bf::test {
namespace {

constexpr const char* kRestartLine = "  SYS - RESTARTING MPLAYER - POSSIBLE NETWORK ISSUE";

TEST(WatchdogTest, BothPlayersGoneRequestsOneRestartAndAppendsItToTheErrorLogIfItCan) {
    TestStation ts;
    ts.clock.set(2026, 12, 31, 5, 14, 5, 9);
    ts.folder.write("error.log", "RESTART 01-01-2026 00:00:00 SOURCE:1\r\n");
    ts.state().CurrentSource = 3;
    tmrCheckMplayerOK_Timer(*ts);
    EXPECT_EQ(ts.processes.kills, (std::vector<std::string>{"mplayer1", "mplayer2"}));
    EXPECT_EQ(ts.console().txtAIR, std::string(" 2026-12-31 14:05:09") + kRestartLine + "\r\n");
    EXPECT_EQ(Items(*ts, "WasPlaying CurrentSource lblMplayer1 lblMplayer2"),
              "WasPlaying=3 CurrentSource=-1 lblMplayer1= lblMplayer2=");

    tmrCheckMplayerOK_Timer(*ts);  // the restart is pending: nothing more
    ts.state().CurrentSource = 0;
    ts.clock.advance(30);
    tmrCheckMplayerOK_Timer(*ts);
    EXPECT_EQ(ts.folder.read("error.log"),
              "RESTART 01-01-2026 00:00:00 SOURCE:1\r\n"
              "RESTART 12-31-2026 14:05:09 SOURCE:3\r\n"
              "RESTART 12-31-2026 14:05:39 SOURCE:0\r\n");
    EXPECT_EQ(ts.processes.kills.size(), 4u);

    std::filesystem::remove(ts.folder.path() / "error.log");
    std::filesystem::create_directory(ts.folder.path() / "error.log");  // cannot be written
    ts.state().CurrentSource = 5;
    tmrCheckMplayerOK_Timer(*ts);
    EXPECT_EQ(Items(*ts, "WasPlaying CurrentSource"), "WasPlaying=5 CurrentSource=-1");
    EXPECT_EQ(CountOf(ts.console().txtAIR, kRestartLine), 3u);
}

TEST(WatchdogNoRestartTest, WhileASlotRunsNoSourceIsOnAirOrTheProcessTableCannotBeRead) {
    // clang-format off
    const struct { bool one, two; int16_t source; bool unreadable; const char* labels; } cases[] = {
        {true, false, 2, false, "1|"}, {false, true, 2, false, "|2"}, {true, true, 2, false, "1|2"},
        {false, false, -1, false, "|"},
        {false, false, 2, true, "1|2"}};  // the labels keep what they showed
    // clang-format on
    for (const auto& c : cases) {
        TestStation t;
        if (c.one) t.processes.running.insert("mplayer1");
        if (c.two) t.processes.running.insert("mplayer2");
        t.processes.failLookup = c.unreadable;
        t.console().lblMplayer1.caption = "1";
        t.console().lblMplayer2.caption = "2";
        t.state().CurrentSource = c.source;
        t.state().WasPlaying = 6;
        tmrCheckMplayerOK_Timer(*t);
        EXPECT_EQ(Items(*t, "CurrentSource WasPlaying"),
                  "CurrentSource=" + std::to_string(c.source) + " WasPlaying=6");
        EXPECT_TRUE(t.processes.kills.empty());
        EXPECT_EQ(t.console().txtAIR, "");
        EXPECT_FALSE(t.folder.exists("error.log"));
        EXPECT_EQ(t.console().lblMplayer1.caption + "|" + t.console().lblMplayer2.caption, c.labels);
    }
}

}  // namespace
}  // namespace bf::test
