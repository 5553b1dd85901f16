#include "console/display_timers.h"

#include <gtest/gtest.h>

#include "app/startup.h"
#include "test_station.h"

namespace bf::test {
namespace {

struct DisplayTimersTest : ::testing::Test {
    TestStation t;
    DisplayTimersTest() { Startup(*t); }
    void fire(std::string_view timer, int times = 1) {
        for (int i = 0; i < times; ++i) t.timers.fire(timer);
    }
};

TEST_F(DisplayTimersTest, UptimeCountsTicksShowsTheStartTimeAndNeverWraps) {
    EXPECT_EQ(FormatUptime(93784), "1 days 2 hrs 03 mins 04 secs");
    EXPECT_EQ(FormatUptime(INT32_MAX), "24855 days 3 hrs 14 mins 07 secs");
    fire(TimerName::UptimeDisplayUpdate, 59);
    EXPECT_EQ(Items(*t, "lblUptime lblBooted"),
              "lblUptime=0 days 0 hrs 00 mins 59 secs lblBooted=2026-12-06 12:00:00");
    t.state().SystemRuntime = INT32_MAX;
    fire(TimerName::UptimeDisplayUpdate);
    EXPECT_EQ(t.state().SystemRuntime, INT32_MAX);
}

TEST_F(DisplayTimersTest, SecondsCounterWrapsToZeroAfter121Ticks) {
    fire(TimerName::Counter, 120);
    EXPECT_EQ(t.state().TimerCount, 120);
    fire(TimerName::Counter);
    EXPECT_EQ(t.state().TimerCount, 0);
}

TEST_F(DisplayTimersTest, OnAirIndicatorFollowsThePlayerSlotAndTheClockShowsLocalTime) {
    fire(TimerName::UpdateDisplay);
    EXPECT_EQ(Items(*t, "lblStatus lblMplayer"), "lblStatus=NO SOURCE lblMplayer=None");
    EXPECT_EQ(t.console().lblStatus.backColour, Colour::Red);
    t.state().CurrentMplayer = 2;
    fire(TimerName::UpdateDisplay);
    EXPECT_EQ(Items(*t, "lblStatus lblMplayer"), "lblStatus=ON AIR lblMplayer=2");
    EXPECT_EQ(t.console().lblStatus2.backColour, Colour::Green);
    t.clock.set(2027, 3, 4, 5, 6, 7, 8);
    fire(TimerName::ClockandEventCheck);
    EXPECT_EQ(Items(*t, "lblClock lblDate"), "lblClock=06:07:08 lblDate=2027-03-04");
}

}  // namespace
}  // namespace bf::test
