#include "sources/watchdog.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "test_station.h"

namespace bf {
namespace {

constexpr const char* kRestartLine = "  SYS - RESTARTING MPLAYER - POSSIBLE NETWORK ISSUE";

struct WatchdogTest : ::testing::Test {
    test::TestStation ts;
    WatchdogTest() { ts.clock.set(2026, 12, 31, 5, 14, 5, 9); }
    bool logged(std::string_view message) const { return ts.station->console.txtAIR.find(message) != std::string::npos; }
};

TEST_F(WatchdogTest, BothPlayersGoneRequestsRestartAndRecordsIt) {
    ts.state().CurrentSource = 3;
    tmrCheckMplayerOK_Timer(*ts);
    EXPECT_EQ(ts.processes.kills, (std::vector<std::string>{"mplayer1", "mplayer2"}));
    EXPECT_EQ(ts.console().txtAIR, std::string(" 2026-12-31 14:05:09") + kRestartLine + "\r\n");
    EXPECT_EQ(ts.state().WasPlaying, 3);
    EXPECT_EQ(ts.state().CurrentSource, -1);
    EXPECT_EQ(ts.folder.read("error.log"), "RESTART 12-31-2026 14:05:09 SOURCE:3\r\n");
    EXPECT_EQ(ts.console().lblMplayer1.caption, "");
    EXPECT_EQ(ts.console().lblMplayer2.caption, "");
}

TEST_F(WatchdogTest, RestartLinesAreAppendedAndAPendingRestartIsNotRepeated) {
    ts.folder.write("error.log", "RESTART 01-01-2026 00:00:00 SOURCE:1\r\n");
    ts.state().CurrentSource = 4;
    tmrCheckMplayerOK_Timer(*ts);
    tmrCheckMplayerOK_Timer(*ts);  // still -1: nothing more
    ts.state().CurrentSource = 0;
    ts.clock.advance(30);
    tmrCheckMplayerOK_Timer(*ts);
    EXPECT_EQ(ts.folder.read("error.log"),
              "RESTART 01-01-2026 00:00:00 SOURCE:1\r\n"
              "RESTART 12-31-2026 14:05:09 SOURCE:4\r\n"
              "RESTART 12-31-2026 14:05:39 SOURCE:0\r\n");
    EXPECT_EQ(ts.processes.kills.size(), 4u);
}

TEST_F(WatchdogTest, UnwritableRestartLogStillLeavesTheRequestStanding) {
    std::filesystem::create_directory(ts.folder.path() / "error.log");
    ts.state().CurrentSource = 5;
    tmrCheckMplayerOK_Timer(*ts);
    EXPECT_EQ(ts.state().WasPlaying, 5);
    EXPECT_EQ(ts.state().CurrentSource, -1);
    EXPECT_TRUE(logged(kRestartLine));
}

TEST_F(WatchdogTest, NoSourceOnAirOnlyUpdatesTheLabels) {
    ts.state().CurrentSource = -1;
    ts.state().WasPlaying = 6;
    tmrCheckMplayerOK_Timer(*ts);
    EXPECT_TRUE(ts.processes.kills.empty());
    EXPECT_EQ(ts.state().WasPlaying, 6);
    EXPECT_FALSE(ts.folder.exists("error.log"));
    EXPECT_EQ(ts.console().lblMplayer1.caption, "");
    EXPECT_EQ(ts.console().txtAIR, "");
}

struct Running {
    bool one, two;
};
class WatchdogRunning : public WatchdogTest, public ::testing::WithParamInterface<Running> {};

TEST_P(WatchdogRunning, AnyRunningSlotMeansNoRestart) {
    if (GetParam().one) ts.processes.running.insert("mplayer1");
    if (GetParam().two) ts.processes.running.insert("mplayer2");
    ts.state().CurrentSource = 2;
    tmrCheckMplayerOK_Timer(*ts);
    EXPECT_EQ(ts.state().CurrentSource, 2);
    EXPECT_TRUE(ts.processes.kills.empty());
    EXPECT_EQ(ts.console().lblMplayer1.caption, GetParam().one ? "1" : "");
    EXPECT_EQ(ts.console().lblMplayer2.caption, GetParam().two ? "2" : "");
}

INSTANTIATE_TEST_SUITE_P(Slots, WatchdogRunning,
                         ::testing::Values(Running{true, false}, Running{false, true}, Running{true, true}));

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
}  // namespace bf
