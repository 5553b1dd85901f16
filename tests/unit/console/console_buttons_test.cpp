#include "console/console_buttons.h"

#include <gtest/gtest.h>

#include "test_station.h"

namespace bf::test {
namespace {

TEST(ConsoleButtons, ModeStopsAndRestartsTheEventTickAndFullScreenDropsTheBorderOnlyWithHideTaskbar) {
    TestStation t;
    t.timers.start(TimerName::CheckAndDoEvents);
    for (const auto& [caption, colour, running] :
         {std::tuple{"MANUAL", Colour::Red, false}, {"AUTOMATIC", Colour::Green, true}}) {
        cmdAutoManual_Click(*t);
        EXPECT_EQ(t.console().cmdAutoManual, Button(caption, colour));
        EXPECT_EQ(t.timers.running(TimerName::CheckAndDoEvents), running);
    }
    const char* items = "cmdFullScreen window.maximized window.sizableBorder";
    for (const int16_t hide : {0, 1}) {
        t.state().HideTaskbar = hide;
        cmdFullScreen_Click(*t);
        EXPECT_EQ(Items(*t, items),
                  "cmdFullScreen=NORMAL window.maximized=1 window.sizableBorder=" + std::to_string(1 - hide));
        cmdFullScreen_Click(*t);
        EXPECT_EQ(Items(*t, items), "cmdFullScreen=FULL SCREEN window.maximized=0 window.sizableBorder=1");
    }
}

TEST(ConsoleButtons, ViewButtonsOpenTheEditorOrSayWhyNotAndOnlyTerminateStopsThePlayers) {
    TestStation t;
    cmdViewEvents_Click(*t);
    t.processes.failOpen = true;
    cmdViewSource_Click(*t);
    EXPECT_EQ(t.console().txtAIR, " 2026-12-06 12:00:00  SYS - CANNOT OPEN EDITOR FOR sourcelist.ini\r\n");
    EXPECT_EQ(t.processes.opened, (std::vector<std::string>{(t.folder.path() / "sourceevents.ini").string(),
                                                            (t.folder.path() / "sourcelist.ini").string()}));
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
