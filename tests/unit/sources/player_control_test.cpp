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
        const SourceEntry e = SwitchSource(*ts, "3");

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
        EXPECT_EQ(e.command, "notify-send hi");
    }
}

TEST_F(PlayerControlTest, ShortOrMissingUrlKeepsTheSourceOnAirButTakesTheNewNumber) {
    list("3n:Studio C\r\n3u:http://c.example/live\r\n7n:Seven\r\n7u:http://\r\n");
    SwitchSource(*ts, "3\r\n");              // finds nothing but counts as its digit
    EXPECT_EQ(lastStart().args[0], "None");  // the console's design caption
    EXPECT_EQ(ts.state().CurrentSource, 3);
    SwitchSource(*ts, "3");
    for (const char* number : {"7", "8", "S"}) {
        SwitchSource(*ts, number);
        EXPECT_EQ(lastStart().args[0], "http://c.example/live") << number;
        EXPECT_EQ(ts.console().lblStudio.caption, "Studio C") << number;
    }
    EXPECT_EQ(ts.state().CurrentSource, 0);  // "S" is no digit
    EXPECT_EQ(ts.console().lblSourceDisp.caption, "0");
}

}  // namespace
}  // namespace bf
