#include "sources/player_control.h"

#include <gtest/gtest.h>

#include "test_station.h"

namespace bf {
namespace {

using Strings = std::vector<std::string>;

struct PlayerControlTest : ::testing::Test {
    test::TestStation ts;
    void list(const std::string& content) { ts.folder.write("sourcelist.ini", content); }
    std::string path(const std::string& name) const { return (ts.folder.path() / name).string(); }
    const test::FakeProcesses::Start& lastStart() const { return ts.processes.starts.back(); }
};

TEST_F(PlayerControlTest, EachSwitchStartsTheOtherSlotThenAfterTwoSecondsStopsTheOldOneAndRemovesItsLog) {
    list("3n:Studio C\r\n3u:  http://c.example:8000/live   x \r\n3s:notify-send hi\r\n");
    Strings calls;  // each player call with the seconds paused before it in this switch
    double start = 0;
    ts.processes.onCall = [&](const std::string& call) {
        calls.push_back(call + " @" + std::to_string(static_cast<int>(ts.clock.totalSlept() - start)));
    };
    for (const std::string slot : {"1", "2", "1"}) {
        const std::string old = slot == "1" ? "2" : "1";
        ts.folder.write("mplayer" + old + ".log", "stale");
        calls.clear();
        start = ts.clock.totalSlept();
        const std::optional<SourceEntry> e = SwitchSource(*ts, "3");

        // The URL is split at blanks only: no shell ever sees it.
        EXPECT_EQ(calls, (Strings{"start mplayer" + slot +
                                      " http://c.example:8000/live x -quiet -noconsolecontrols @0",
                                  "kill mplayer" + old + " @2"}));
        EXPECT_EQ(lastStart().program + " > " + lastStart().stdoutPath,
                  path("mplayer" + slot) + " > " + path("mplayer" + slot + ".log"));
        EXPECT_FALSE(ts.folder.exists("mplayer" + old + ".log"));
        EXPECT_EQ(test::Items(*ts, "CurrentMplayer CurrentSource lblStudio lblSourceNumber lblSourceDisp"),
                  "CurrentMplayer=" + slot +
                      " CurrentSource=3 lblStudio=Studio C lblSourceNumber=3 lblSourceDisp=3");
        EXPECT_EQ(ts.console().lblCurrentSource.caption, "  http://c.example:8000/live   x ");
        EXPECT_EQ(e->command, "notify-send hi");
    }
}

TEST_F(PlayerControlTest, NumberWithoutAPlayableUrlChangesNothingAndIsLoggedOnceUntilASwitchGoesThrough) {
    list("3n:Studio C\r\n3u:http://c.example/live\r\n7n:Seven\r\n7u:http://\r\n");
    SwitchSource(*ts, "3");
    const char* shown =
        "CurrentMplayer CurrentSource lblCurrentSource lblStudio lblSourceNumber lblSourceDisp";
    const std::string before = test::Items(*ts, shown);
    for (const char* number : {"7", "7", "8", "S", "S", "", "33"})
        EXPECT_FALSE(SwitchSource(*ts, number)) << number;
    EXPECT_EQ(test::Items(*ts, shown), before);
    EXPECT_EQ(ts.state().PlayURL, "http://c.example/live");
    EXPECT_EQ(ts.processes.log.size(), 2u);  // start and stop of the switch to source 3
    SwitchSource(*ts, "3");
    SwitchSource(*ts, "7");
    for (const auto& [number, times] : {std::pair{"7", 2u}, {"8", 1u}, {"S", 1u}, {"", 1u}, {"33", 1u}})
        EXPECT_EQ(test::CountOf(
                      ts.console().txtAIR,
                      std::string("  SYS - SWITCH REFUSED - NO PLAYABLE URL (SOURCE ") + number + ")\r\n"),
                  times)
            << number;
}

}  // namespace
}  // namespace bf
