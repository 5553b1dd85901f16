#include "sources/player_control.h"

#include <gtest/gtest.h>

#include "test_station.h"

namespace bf::test {
namespace {

using Strings = std::vector<std::string>;

TEST(PlayerControlTest, EachSwitchStartsTheOtherSlotThenAfterTwoSecondsStopsTheOldOneAndRemovesItsLog) {
    TestStation ts;
    ts.folder.write("sourcelist.ini",
                    "3n:Studio C\r\n3u:  http://c.example:8000/live   x \r\n3s:notify-send hi\r\n");
    Strings calls, expected;  // each player call with the seconds paused before it
    ts.processes.onCall = [&](const std::string& call) {
        calls.push_back(call + " @" + std::to_string(static_cast<int>(ts.clock.totalSlept())));
    };
    for (const std::string slot : {"1", "2", "1"}) {
        const std::string old = slot == "1" ? "2" : "1";
        const int at = static_cast<int>(ts.clock.totalSlept());
        // The URL is split at blanks only: no shell ever sees it.
        expected.push_back("start mplayer" + slot +
                           " http://c.example:8000/live x -quiet -noconsolecontrols @" + std::to_string(at));
        expected.push_back("kill mplayer" + old + " @" + std::to_string(at + 2));
        ts.folder.write("mplayer" + old + ".log", "stale");

        EXPECT_EQ(SwitchSource(*ts, "3")->command, "notify-send hi");
        EXPECT_FALSE(ts.folder.exists("mplayer" + old + ".log"));
        EXPECT_EQ(
            Items(*ts,
                  "CurrentMplayer CurrentSource lblStudio lblSourceNumber lblSourceDisp lblCurrentSource"),
            "CurrentMplayer=" + slot +
                " CurrentSource=3 lblStudio=Studio C lblSourceNumber=3 lblSourceDisp=3 " +
                "lblCurrentSource=  http://c.example:8000/live   x ");
    }
    EXPECT_EQ(calls, expected);
}

TEST(PlayerControlTest, NumberWithoutAPlayableUrlChangesNothingAndIsLoggedOnceUntilASwitchGoesThrough) {
    TestStation ts;
    ts.folder.write("sourcelist.ini",
                    "3n:Studio C\r\n3u:http://c.example/live\r\n7n:Seven\r\n7u:http://\r\n");
    SwitchSource(*ts, "3");
    const char* shown = "CurrentMplayer CurrentSource lblCurrentSource lblStudio lblSourceNumber";
    const std::string before = Items(*ts, shown);
    for (const char* number : {"7", "7", "8"}) EXPECT_FALSE(SwitchSource(*ts, number)) << number;
    EXPECT_EQ(Items(*ts, shown), before);
    EXPECT_EQ(ts.processes.log.size(), 2u);  // start and stop of the switch to source 3
    SwitchSource(*ts, "3");
    SwitchSource(*ts, "7");
    EXPECT_EQ(ts.console().txtAIR,
              " 2026-12-06 12:00:04  SYS - SWITCH REFUSED - NO PLAYABLE URL (SOURCE 7)\r\n"
              " 2026-12-06 12:00:02  SYS - SWITCH REFUSED - NO PLAYABLE URL (SOURCE 8)\r\n"
              " 2026-12-06 12:00:02  SYS - SWITCH REFUSED - NO PLAYABLE URL (SOURCE 7)\r\n");
}

}  // namespace
}  // namespace bf::test
