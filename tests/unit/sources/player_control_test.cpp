#include "sources/player_control.h"

#include <gtest/gtest.h>

#include "test_station.h"

namespace bf {
namespace {

using Strings = std::vector<std::string>;

struct PlayerControlTest : ::testing::Test {
    test::TestStation ts;
    void list(const std::string& content) { ts.folder.write("sourcelist.ini", content); }
    std::string path(const char* name) const { return (ts.folder.path() / name).string(); }
    const test::FakeProcesses::Start& lastStart() const { return ts.processes.starts.back(); }
};

TEST_F(PlayerControlTest, FirstSwitchStartsSlotOneThenAfterTwoSecondsStopsSlotTwoAndRemovesItsLog) {
    list("3n:Studio C\r\n3u:http://c.example:8000/live\r\n3s:notify-send hi\r\n");
    ts.folder.write("mplayer2.log", "stale");
    Strings calls;  // each player call with the seconds paused before it
    ts.processes.onCall = [&](const std::string& call) {
        calls.push_back(call + " @" + std::to_string(ts.clock.totalSlept()).substr(0, 3));
    };
    const SourceEntry e = SwitchSource(*ts, "3");

    EXPECT_EQ(calls, (Strings{"start mplayer1 http://c.example:8000/live -quiet -noconsolecontrols @0.0",
                              "kill mplayer2 @2.0"}));
    EXPECT_EQ(ts.clock.totalSlept(), 2.0);
    EXPECT_EQ(lastStart().program + " > " + lastStart().stdoutPath,
              path("mplayer1") + " > " + path("mplayer1.log"));
    EXPECT_FALSE(ts.folder.exists("mplayer2.log"));
    EXPECT_EQ(ts.state().PlayURL, "http://c.example:8000/live");
    EXPECT_EQ(
        test::Items(*ts,
                    "CurrentMplayer CurrentSource lblCurrentSource lblStudio lblSourceNumber lblSourceDisp"),
        "CurrentMplayer=1 CurrentSource=3 lblCurrentSource=http://c.example:8000/live lblStudio=Studio C "
        "lblSourceNumber=3 lblSourceDisp=3");
    EXPECT_EQ(e.command, "notify-send hi");
}

TEST_F(PlayerControlTest, SwitchToTheSourceOnAirMovesItToTheOtherSlot) {
    list("1u:http://a.example/one\r\n");
    SwitchSource(*ts, "1");
    ts.folder.write("mplayer1.log", "old");
    SwitchSource(*ts, "1");
    EXPECT_EQ(lastStart().program, path("mplayer2"));
    EXPECT_EQ(ts.processes.kills.back(), "mplayer1");
    EXPECT_FALSE(ts.folder.exists("mplayer1.log"));
    EXPECT_EQ(ts.state().CurrentMplayer, 2);
    SwitchSource(*ts, "1");
    EXPECT_EQ(lastStart().program, path("mplayer1"));
    EXPECT_EQ(ts.state().CurrentMplayer, 1);
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

TEST_F(PlayerControlTest, UrlIsSplitAtBlanksAndShellCharactersArePassedLiterally) {
    const std::pair<const char*, Strings> cases[] = {
        {"  http://a.example/x   y z ", {"http://a.example/x", "y", "z"}},
        {"http://a.example/x&y=1", {"http://a.example/x&y=1"}},
        {"http://a.example/x;touch${IFS}pwned", {"http://a.example/x;touch${IFS}pwned"}},
        {"http://a.example/$(touch${IFS}pwned)|cat>out", {"http://a.example/$(touch${IFS}pwned)|cat>out"}},
        {"http://a/`id`", {"http://a/`id`"}}};
    for (auto [url, args] : cases) {
        list(std::string("1u:") + url + "\r\n");
        SwitchSource(*ts, "1");
        args.insert(args.end(), {"-quiet", "-noconsolecontrols"});
        EXPECT_EQ(lastStart().args, args) << url;
    }
    EXPECT_TRUE(ts.processes.commands.empty());
}

}  // namespace
}  // namespace bf
