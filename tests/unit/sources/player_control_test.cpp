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
    const std::optional<SourceEntry> e = SwitchSource(*ts, "3");

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
    EXPECT_EQ(e->command, "notify-send hi");
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
