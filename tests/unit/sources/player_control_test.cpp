#include "sources/player_control.h"

#include <gtest/gtest.h>

#include "test_station.h"

namespace bf {
namespace {

using Args = std::vector<std::string>;

// Records how long the station had paused when each player call was made.
struct TimedProcesses : test::FakeProcesses {
    explicit TimedProcesses(const test::FakeClock& c) : clock(c) {}
    bool startPlayer(const std::string& program, const Args& args, const std::string& out) override {
        sleptAt.push_back(clock.totalSlept());
        return FakeProcesses::startPlayer(program, args, out);
    }
    void killByName(const std::string& name) override {
        sleptAt.push_back(clock.totalSlept());
        FakeProcesses::killByName(name);
    }
    const test::FakeClock& clock;
    std::vector<double> sleptAt;
};

struct PlayerControlTest : ::testing::Test {
    test::TempFolder folder;
    test::FakeClock clock;
    TimedProcesses processes{clock};
    test::FakeTimers timers;
    test::FakeHttpClient http[5];
    Station station{Platform{clock, processes, timers, http[0], http[1], http[2], http[3], http[4]}, folder.path()};

    void list(std::string_view content) { folder.write("sourcelist.ini", content); }
    std::string path(const char* name) const { return (folder.path() / name).string(); }
};

TEST_F(PlayerControlTest, FirstSwitchAfterStartupStartsSlotOneAndClearsSlotTwo) {
    list("3n:Studio C\r\n3u:http://c.example:8000/live\r\n3s:notify-send hi\r\n");
    folder.write("mplayer2.log", "stale");
    const SourceEntry e = SwitchSource(station, "3");

    ASSERT_EQ(processes.starts.size(), 1u);
    EXPECT_EQ(processes.starts[0].program, path("mplayer1"));
    EXPECT_EQ(processes.starts[0].args, (Args{"http://c.example:8000/live", "-quiet", "-noconsolecontrols"}));
    EXPECT_EQ(processes.starts[0].stdoutPath, path("mplayer1.log"));
    EXPECT_EQ(processes.kills, (Args{"mplayer2"}));
    EXPECT_FALSE(folder.exists("mplayer2.log"));
    EXPECT_EQ(station.state.CurrentMplayer, 1);
    EXPECT_EQ(station.state.CurrentSource, 3);
    EXPECT_EQ(station.state.PlayURL, "http://c.example:8000/live");
    EXPECT_EQ(station.console.lblCurrentSource.caption, "http://c.example:8000/live");
    EXPECT_EQ(station.console.lblStudio.caption, "Studio C");
    EXPECT_EQ(station.console.lblSourceNumber.caption, "3");
    EXPECT_EQ(station.console.lblSourceDisp.caption, "3");
    EXPECT_EQ(e.command, "notify-send hi");
}

TEST_F(PlayerControlTest, PausesTwoSecondsBetweenStartingNewSlotAndKillingOld) {
    list("1u:http://a.example/one\r\n");
    SwitchSource(station, "1");
    EXPECT_EQ(processes.log, (Args{"start mplayer1 http://a.example/one -quiet -noconsolecontrols", "kill mplayer2"}));
    EXPECT_EQ(processes.sleptAt, (std::vector<double>{0.0, 2.0}));
    EXPECT_EQ(clock.totalSlept(), 2.0);
}

TEST_F(PlayerControlTest, SwitchToSourceOnAirMovesItToTheOtherSlot) {
    list("1u:http://a.example/one\r\n");
    SwitchSource(station, "1");
    folder.write("mplayer1.log", "old");
    SwitchSource(station, "1");
    EXPECT_EQ(processes.starts.back().program, path("mplayer2"));
    EXPECT_EQ(processes.kills.back(), "mplayer1");
    EXPECT_FALSE(folder.exists("mplayer1.log"));
    EXPECT_EQ(station.state.CurrentMplayer, 2);
    SwitchSource(station, "1");
    EXPECT_EQ(processes.starts.back().program, path("mplayer1"));
    EXPECT_EQ(station.state.CurrentMplayer, 1);
    EXPECT_EQ(clock.totalSlept(), 6.0);
}

TEST_F(PlayerControlTest, ShortOrMissingUrlKeepsTheSourceOnAirButTakesTheNewNumber) {
    list("3n:Studio C\r\n3u:http://c.example/live\r\n7n:Seven\r\n7u:http://\r\n");
    SwitchSource(station, "3");
    for (const char* number : {"7", "8", "S"}) {
        SwitchSource(station, number);
        EXPECT_EQ(processes.starts.back().args[0], "http://c.example/live") << number;
        EXPECT_EQ(station.console.lblStudio.caption, "Studio C") << number;
    }
    EXPECT_EQ(station.state.CurrentSource, 0);  // "S" is no digit
    EXPECT_EQ(station.console.lblSourceDisp.caption, "0");
}

TEST_F(PlayerControlTest, NumberWithTrailingLineEndFindsNothingButCountsAsItsDigit) {
    list("3u:http://c.example/live\r\n");
    SwitchSource(station, "3\r\n");
    EXPECT_EQ(processes.starts.back().args[0], "None");  // the console's design caption
    EXPECT_EQ(station.state.CurrentSource, 3);
}

TEST_F(PlayerControlTest, UrlWithBlanksReachesThePlayerAsSeveralArguments) {
    list("1u:  http://a.example/x   y z \r\n");
    SwitchSource(station, "1");
    EXPECT_EQ(processes.starts[0].args, (Args{"http://a.example/x", "y", "z", "-quiet", "-noconsolecontrols"}));
}

class PlayerControlShellChars : public PlayerControlTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(PlayerControlShellChars, ShellCharactersInUrlArePassedLiterally) {
    list(std::string("1u:") + GetParam() + "\r\n");
    SwitchSource(station, "1");
    EXPECT_EQ(processes.starts[0].args, (Args{GetParam(), "-quiet", "-noconsolecontrols"}));
    EXPECT_TRUE(processes.commands.empty());
}

INSTANTIATE_TEST_SUITE_P(Urls, PlayerControlShellChars,
                         ::testing::Values("http://a.example/x&y=1", "http://a.example/x;touch${IFS}pwned",
                                           "http://a.example/$(touch${IFS}pwned)|cat>out", "http://a/`id`"));

TEST_F(PlayerControlTest, StopPlayersKillsSlotOneThenSlotTwo) {
    StopPlayers(station);
    EXPECT_EQ(processes.kills, (Args{"mplayer1", "mplayer2"}));
    EXPECT_EQ(station.state.CurrentSource, -1);
}

}  // namespace
}  // namespace bf
