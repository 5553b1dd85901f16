#include "console/display_timers.h"

#include <gtest/gtest.h>

#include "app/startup.h"
#include "test_station.h"

namespace bf::test {
namespace {

TEST(DisplayTimers, UptimeAndSecondsCountTheirTicksAndTheUptimeNeverWraps) {
    TestStation t;
    Startup(*t);
    EXPECT_EQ(FormatUptime(93784), "1 days 2 hrs 03 mins 04 secs");
    for (int i = 0; i < 121; ++i) t.timers.fire(TimerName::UptimeDisplayUpdate);
    EXPECT_EQ(Items(*t, "lblUptime lblBooted"),
              "lblUptime=0 days 0 hrs 02 mins 01 secs lblBooted=2026-12-06 12:00:00");
    t.state().SystemRuntime = INT32_MAX;
    t.timers.fire(TimerName::UptimeDisplayUpdate);
    EXPECT_EQ(t.state().SystemRuntime, INT32_MAX);
    for (int i = 0; i < 120; ++i) t.timers.fire(TimerName::Counter);
    EXPECT_EQ(t.state().TimerCount, 120);
    t.timers.fire(TimerName::Counter);
    EXPECT_EQ(t.state().TimerCount, 0) << "0..120, then from 0 again";
}

TEST(DisplayTimers, OnAirIndicatorFollowsThePlayerSlotAndTheClockShowsLocalTime) {
    TestStation t;
    for (const int16_t slot : {0, 2}) {
        t.state().CurrentMplayer = slot;
        t.timers.fire(TimerName::UpdateDisplay);
        EXPECT_EQ(Items(*t, "lblStatus lblMplayer"),
                  slot ? "lblStatus=ON AIR lblMplayer=2" : "lblStatus=NO SOURCE lblMplayer=None");
        const uint32_t colour = slot ? Colour::Green : Colour::Red;
        EXPECT_EQ(std::pair(t.console().lblStatus.backColour, t.console().lblStatus2.backColour),
                  std::pair(std::optional(colour), std::optional(colour)));
    }
    t.clock.set(2027, 3, 4, 5, 6, 7, 8);
    t.timers.fire(TimerName::ClockandEventCheck);
    EXPECT_EQ(Items(*t, "lblClock lblDate"), "lblClock=06:07:08 lblDate=2027-03-04");
}

}  // namespace
}  // namespace bf::test
