#include "console/display_timers.h"

#include <gtest/gtest.h>

#include "console/console_buttons.h"
#include "core/startup.h"
#include "test_station.h"

namespace bf::test {
namespace {

TEST(Uptime, FormatsDaysHoursAndTwoDigitMinutesAndSeconds) {
    EXPECT_EQ(FormatUptime(59), "0 days 0 hrs 00 mins 59 secs");
    EXPECT_EQ(FormatUptime(3600), "0 days 1 hrs 00 mins 00 secs");
    EXPECT_EQ(FormatUptime(93784), "1 days 2 hrs 03 mins 04 secs");
    EXPECT_EQ(FormatUptime(INT32_MAX), "24855 days 3 hrs 14 mins 07 secs");
}

TEST(Uptime, TickCountsAndShowsTheStartTimeOnce) {
    TestStation t;
    t.clock.set(2026, 12, 31, 5, 23, 59, 59);
    Startup(*t);
    for (int i = 0; i < 59; ++i) t.timers.fire("tmrUptimeDisplayUpdate");
    EXPECT_EQ(t.console().lblUptime.caption, "0 days 0 hrs 00 mins 59 secs");
    EXPECT_EQ(t.console().lblBooted.caption, "2026-12-31 23:59:59");
    t.state().SystemRuntime = INT32_MAX;  // never wraps to a negative uptime
    t.timers.fire("tmrUptimeDisplayUpdate");
    EXPECT_EQ(t.state().SystemRuntime, INT32_MAX);
}

TEST(SecondsCounter, WrapsToZeroAfter121Ticks) {
    TestStation t;
    Startup(*t);
    for (int i = 0; i < 120; ++i) t.timers.fire("tmrCounter");
    EXPECT_EQ(t.state().TimerCount, 120);
    t.timers.fire("tmrCounter");
    EXPECT_EQ(t.state().TimerCount, 0);
}

TEST(OnAirIndicator, FollowsThePlayerSlotOnly) {
    TestStation t;
    Startup(*t);
    t.timers.fire("tmrUpdateDisplay");
    EXPECT_EQ(t.console().lblStatus.caption, "NO SOURCE");
    EXPECT_EQ(t.console().lblStatus.backColour, Colour::Red);
    EXPECT_EQ(t.console().lblMplayer.caption, "None");
    t.state().CurrentMplayer = 2;
    t.timers.fire("tmrUpdateDisplay");
    EXPECT_EQ(t.console().lblStatus.caption, "ON AIR");
    EXPECT_EQ(t.console().lblStatus2.backColour, Colour::Green);
    EXPECT_EQ(t.console().lblMplayer.caption, "2");
}

TEST(Clock, ShowsLocalTimeAndDate) {
    TestStation t;
    t.clock.set(2027, 3, 4, 5, 6, 7, 8);
    tmrClockandEventCheck_Timer(*t);
    EXPECT_EQ(t.console().lblClock.caption, "06:07:08");
    EXPECT_EQ(t.console().lblDate.caption, "2027-03-04");
}

TEST(ModeButton, TwoClicksGoManualThenAutomatic) {
    TestStation t;
    Startup(*t);
    cmdAutoManual_Click(*t);
    EXPECT_EQ(t.console().cmdAutoManual.caption, "MANUAL");
    EXPECT_EQ(t.console().cmdAutoManual.backColour, Colour::Red);
    EXPECT_FALSE(t.timers.running("tmrCheckAndDoEvents"));
    cmdAutoManual_Click(*t);
    EXPECT_EQ(t.console().cmdAutoManual.caption, "AUTOMATIC");
    EXPECT_EQ(t.console().cmdAutoManual.backColour, Colour::Green);
    EXPECT_TRUE(t.timers.running("tmrCheckAndDoEvents"));
}

TEST(FullScreenButton, TakesTheBorderAwayOnlyWithHideTaskbar) {
    for (int hide : {0, 1}) {
        TestStation t;
        t.state().HideTaskbar = static_cast<int16_t>(hide);
        cmdFullScreen_Click(*t);
        EXPECT_EQ(t.console().cmdFullScreen.caption, "NORMAL");
        EXPECT_TRUE(t.console().window.maximized);
        EXPECT_EQ(t.console().window.sizableBorder, hide == 0);
        EXPECT_EQ(t.state().MinMax, 1);
        cmdFullScreen_Click(*t);
        EXPECT_EQ(t.console().cmdFullScreen.caption, "FULL SCREEN");
        EXPECT_FALSE(t.console().window.maximized);
        EXPECT_TRUE(t.console().window.sizableBorder);
        EXPECT_EQ(t.state().MinMax, 0);
    }
}

TEST(FileViewers, OpenTheScheduleAndSourceListInTheEditor) {
    TestStation t;
    cmdViewEvents_Click(*t);
    cmdViewSource_Click(*t);
    ASSERT_EQ(t.processes.opened.size(), 2u);
    EXPECT_EQ(t.processes.opened[0], (t.folder.path() / "sourceevents.ini").string());
    EXPECT_EQ(t.processes.opened[1], (t.folder.path() / "sourcelist.ini").string());
}

}  // namespace
}  // namespace bf::test
