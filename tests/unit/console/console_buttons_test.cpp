#include "console/console_buttons.h"

#include <gtest/gtest.h>

#include "test_station.h"

namespace bf::test {
namespace {

struct ConsoleButtonsTest : ::testing::Test {
    TestStation t;
};

TEST_F(ConsoleButtonsTest, ModeButtonTwoClicksGoManualThenAutomatic) {
    t.timers.start(TimerName::CheckAndDoEvents);
    for (const auto& [caption, colour, running] :
         {std::tuple{"MANUAL", Colour::Red, false}, {"AUTOMATIC", Colour::Green, true}}) {
        cmdAutoManual_Click(*t);
        EXPECT_EQ(t.console().cmdAutoManual.caption, caption);
        EXPECT_EQ(t.console().cmdAutoManual.backColour, colour);
        EXPECT_EQ(t.timers.running(TimerName::CheckAndDoEvents), running);
    }
}

TEST_F(ConsoleButtonsTest, FullScreenTakesTheBorderAwayOnlyWithHideTaskbar) {
    for (const int16_t hide : {0, 1}) {
        t.state().HideTaskbar = hide;
        cmdFullScreen_Click(*t);
        EXPECT_EQ(Items(*t, "cmdFullScreen window.maximized window.sizableBorder"),
                  "cmdFullScreen=NORMAL window.maximized=1 window.sizableBorder=" + std::to_string(1 - hide));
        cmdFullScreen_Click(*t);
        EXPECT_EQ(Items(*t, "cmdFullScreen window.maximized window.sizableBorder"),
                  "cmdFullScreen=FULL SCREEN window.maximized=0 window.sizableBorder=1");
        EXPECT_EQ(t.state().MinMax, 0);
    }
}

TEST_F(ConsoleButtonsTest, ViewButtonsOpenTheScheduleAndSourceListInTheEditorOrSayWhyNot) {
    cmdViewEvents_Click(*t);
    t.processes.failOpen = true;
    cmdViewSource_Click(*t);
    EXPECT_EQ(CountOf(t.console().txtAIR, "CANNOT OPEN EDITOR"), 1u);
    EXPECT_NE(t.console().txtAIR.find(":00  SYS - CANNOT OPEN EDITOR FOR sourcelist.ini\r\n"),
              std::string::npos);
    EXPECT_EQ(t.processes.opened, (std::vector<std::string>{(t.folder.path() / "sourceevents.ini").string(),
                                                            (t.folder.path() / "sourcelist.ini").string()}));
}

TEST_F(ConsoleButtonsTest, ClosingLeavesThePlayersAndTerminateStopsBothFirst) {
    Form_Unload(*t);
    EXPECT_EQ(t.quits, 1);
    EXPECT_TRUE(t.processes.kills.empty());
    t.processes.onCall = [&](const std::string&) { EXPECT_EQ(t.quits, 1) << "killed before the end"; };
    cmdTerminate_Click(*t);
    EXPECT_EQ(t.processes.kills, (std::vector<std::string>{"mplayer1", "mplayer2"}));
    EXPECT_EQ(t.quits, 2);
}

}  // namespace
}  // namespace bf::test
