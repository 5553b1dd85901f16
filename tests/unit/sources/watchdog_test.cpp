#include "sources/watchdog.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_station.h"

namespace bf::test {
namespace {

constexpr const char* kRestartLine = "  SYS - RESTARTING MPLAYER - POSSIBLE NETWORK ISSUE";

struct WatchdogTest : ::testing::Test {
    TestStation ts;
    WatchdogTest() { ts.clock.set(2026, 12, 31, 5, 14, 5, 9); }
};

TEST_F(WatchdogTest, BothPlayersGoneRequestsOneRestartAndAppendsItToTheErrorLogIfItCan) {
    ts.folder.write("error.log", "RESTART 01-01-2026 00:00:00 SOURCE:1\r\n");
    ts.state().CurrentSource = 3;
    tmrCheckMplayerOK_Timer(*ts);
    EXPECT_EQ(ts.processes.kills, (std::vector<std::string>{"mplayer1", "mplayer2"}));
    EXPECT_EQ(ts.console().txtAIR, std::string(" 2026-12-31 14:05:09") + kRestartLine + "\r\n");
    EXPECT_EQ(ts.state().WasPlaying, 3);
    EXPECT_EQ(ts.state().CurrentSource, -1);
    EXPECT_EQ(ts.console().lblMplayer1.caption, "");
    EXPECT_EQ(ts.console().lblMplayer2.caption, "");

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

TEST_F(WatchdogTest, NoRestartWhileASlotRunsOrNoSourceIsOnAir) {
    const struct {
        bool one, two;
        int16_t source;
    } cases[] = {{true, false, 2}, {false, true, 2}, {true, true, 2}, {false, false, -1}};
    for (const auto& c : cases) {
        TestStation t;
        if (c.one) t.processes.running.insert("mplayer1");
        if (c.two) t.processes.running.insert("mplayer2");
        t.state().CurrentSource = c.source;
        t.state().WasPlaying = 6;
        tmrCheckMplayerOK_Timer(*t);
        EXPECT_EQ(t.state().CurrentSource, c.source);
        EXPECT_EQ(t.state().WasPlaying, 6);
        EXPECT_TRUE(t.processes.kills.empty());
        EXPECT_EQ(t.console().txtAIR, "");
        EXPECT_FALSE(t.folder.exists("error.log"));
        EXPECT_EQ(t.console().lblMplayer1.caption, c.one ? "1" : "");
        EXPECT_EQ(t.console().lblMplayer2.caption, c.two ? "2" : "");
    }
}

TEST_F(WatchdogTest, UnreadableProcessTableSkipsTheRestartAndKeepsTheLabels) {
    ts.processes.failLookup = true;
    ts.console().lblMplayer1.caption = "1";
    ts.state().CurrentSource = 2;
    tmrCheckMplayerOK_Timer(*ts);
    EXPECT_EQ(ts.state().CurrentSource, 2);
    EXPECT_TRUE(ts.processes.kills.empty());
    EXPECT_EQ(ts.console().lblMplayer1.caption, "1");
}

}  // namespace
}  // namespace bf::test
