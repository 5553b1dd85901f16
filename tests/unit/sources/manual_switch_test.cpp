#include "sources/manual_switch.h"

#include <functional>

#include <gtest/gtest.h>

#include "test_station.h"

namespace bf {
namespace {

using Strings = std::vector<std::string>;

// Lets a test look at the station at the moment a player is started.
struct HookedProcesses : test::FakeProcesses {
    bool startPlayer(const std::string& program, const Strings& args, const std::string& out) override {
        if (onStart) onStart();
        return FakeProcesses::startPlayer(program, args, out);
    }
    std::function<void()> onStart;
};

struct ManualSwitchTest : ::testing::Test {
    test::TempFolder folder;
    test::FakeClock clock;
    HookedProcesses processes;
    test::FakeTimers timers;
    test::FakeHttpClient http[5];
    Station station{Platform{clock, processes, timers, http[0], http[1], http[2], http[3], http[4]}, folder.path()};

    ManualSwitchTest() {
        folder.write("sourcelist.ini",
                     "0n:Backup\r\n0u:http://backup.example/b\r\n2n:Two\r\n2u:http://two.example/live\r\n"
                     "4n:Four\r\n4u:http://four.example/live\r\n");
        station.console.lblCurrentSource.caption = "http://two.example/live";
        station.console.lblStudio.caption = "Two";
        station.state.CurrentMplayer = 1;
        station.state.CurrentSource = 2;
        station.state.SilenceFlag = 1;
        station.state.LinkFailCount = 3;
        station.state.WasPlaying = 2;
        for (const char* t : {"tmrSourceCheck", "tmrCheckMplayerOK"}) timers.start(t);
    }
    void choose(char n) { station.console.comboSourceList.text = std::string(1, n) + " Select Source number " + n; }
    void expectFailoverEnded() const {
        EXPECT_EQ(station.state.SilenceFlag, 0);
        EXPECT_EQ(station.state.LinkFailCount, 0);
        EXPECT_EQ(station.state.WasPlaying, -1);
    }
};

TEST_F(ManualSwitchTest, ForceSwitchPutsTheChosenSourceOnAirWithTheButtonDisabled) {
    choose('4');
    bool enabledDuringSwitch = true;
    processes.onStart = [&] { enabledDuringSwitch = station.console.cmdForceSwitch.enabled; };
    cmdForceSwitch_Click(station);
    EXPECT_FALSE(enabledDuringSwitch);
    EXPECT_TRUE(station.console.cmdForceSwitch.enabled);
    EXPECT_EQ(processes.log.front(), "start mplayer2 http://four.example/live -quiet -noconsolecontrols");
    EXPECT_EQ(station.state.CurrentSource, 4);
    expectFailoverEnded();
    EXPECT_EQ(station.console.txtAIR, "");
}

TEST_F(ManualSwitchTest, ListNeverChosenRestartsTheSourceOnAirAsSourceZero) {
    cmdForceSwitch_Click(station);
    EXPECT_EQ(processes.starts.at(0).args.at(0), "http://two.example/live");
    EXPECT_EQ(station.state.CurrentSource, 0);
    EXPECT_EQ(station.console.lblSourceDisp.caption, "0");
    EXPECT_EQ(station.console.lblStudio.caption, "Two");
}

TEST_F(ManualSwitchTest, EmptyListTextActsLikeAnUnchosenList) {
    station.console.comboSourceList.text.clear();
    cmdForceSwitch_Click(station);
    EXPECT_EQ(processes.starts.at(0).args.at(0), "http://two.example/live");
    EXPECT_EQ(station.state.CurrentSource, 0);
    EXPECT_TRUE(station.console.cmdForceSwitch.enabled);
}

TEST_F(ManualSwitchTest, TransferStringWinsOverTheList) {
    choose('2');
    station.api.TransferString = "4";
    cmdForceSwitch_Click(station);
    EXPECT_EQ(station.state.PlayURL, "http://four.example/live");
    EXPECT_EQ(station.state.CurrentSource, 4);
}

struct CommandCase {
    const char* command;
    bool runs;
};
class ManualSwitchCommand : public ManualSwitchTest, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(ManualSwitchCommand, CommandLongerThanFourBytesIsRunAndLogged) {
    folder.write("sourcelist.ini", std::string("2u:http://two.example/live\r\n2s:") + GetParam().command + "\r\n");
    choose('2');
    cmdForceSwitch_Click(station);
    const std::string line = std::string("  RUNNING EXTERNAL COMMAND (") + GetParam().command + ")\r\n";
    if (GetParam().runs) {
        EXPECT_EQ(processes.commands, Strings{GetParam().command});
        EXPECT_EQ(station.console.txtAIR, " 2026-12-06 12:00:02" + line);
    } else {
        EXPECT_TRUE(processes.commands.empty());
        EXPECT_EQ(station.console.txtAIR, "");
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, ManualSwitchCommand,
                         ::testing::Values(CommandCase{"abcd", false}, CommandCase{"abcde", true},
                                           CommandCase{"", false}, CommandCase{"touch a&b", true}));

TEST_F(ManualSwitchTest, ForceSourceRestartsTheBackupOnSlotOneFromScratch) {
    station.console.lblSourceDisp.caption = "0";
    station.console.lblCurrentSource.caption = "http://backup.example/b";
    station.state.CurrentMplayer = 2;
    station.state.CheckSource = "1";
    for (const char* f : {"mplayer1.log", "mplayer2.log", "mplayer.log", "metadata.txt", "metaextra.txt"})
        folder.write(f, "x");
    bool timersStoppedAtStart = false;
    processes.onStart = [&] {
        timersStoppedAtStart = !timers.running("tmrSourceCheck") && !timers.running("tmrCheckMplayerOK");
    };

    cmdForceSource_Click(station);

    EXPECT_EQ(processes.log, (Strings{"kill mplayer1", "kill mplayer2",
                                      "start mplayer1 http://backup.example/b -quiet -noconsolecontrols"}));
    EXPECT_TRUE(timersStoppedAtStart);
    for (const char* f : {"mplayer1.log", "mplayer2.log", "mplayer.log", "metadata.txt", "metaextra.txt"})
        EXPECT_FALSE(folder.exists(f)) << f;
    EXPECT_EQ(clock.totalSlept(), 5.0);
    EXPECT_EQ(station.state.CurrentMplayer, 1);
    EXPECT_EQ(station.state.CurrentSource, 0);
    EXPECT_EQ(station.console.lblStudio.caption, "Backup");
    EXPECT_EQ(station.console.lblDebug.caption, "http://backup.example/b");
    expectFailoverEnded();
    EXPECT_EQ(station.console.txtAIR, " 2026-12-06 12:00:05  USR - USER FORCED SWITCH FROM BACKUP (SOURCE 0)\r\n");
    EXPECT_TRUE(timers.running("tmrCheckMplayerOK"));
    EXPECT_TRUE(timers.running("tmrSourceCheck"));
    EXPECT_EQ(timers.timers["tmrSourceCheck"].stops, 1);
    EXPECT_EQ(station.console.lblFailText.caption, "WAITING");
    EXPECT_EQ(station.console.lblFailCheckTime.caption, "NONE");
    EXPECT_EQ(station.console.lblFailURL.caption, "PERFORMING INITIAL CHECKS");
}

TEST_F(ManualSwitchTest, ForceSourceWithHealthCheckOffLeavesItOff) {
    station.console.lblSourceDisp.caption = "2";
    station.state.CheckSource = "yes";
    cmdForceSource_Click(station);
    EXPECT_FALSE(timers.running("tmrSourceCheck"));
    EXPECT_TRUE(timers.running("tmrCheckMplayerOK"));
    EXPECT_EQ(station.console.lblFailText.caption, "DISABLED");
    EXPECT_EQ(station.console.lblFailURL.caption, "NONE");
    EXPECT_EQ(station.console.lblFailCheckTime.caption, "NONE");
    EXPECT_EQ(station.state.CurrentSource, 2);
}

}  // namespace
}  // namespace bf
