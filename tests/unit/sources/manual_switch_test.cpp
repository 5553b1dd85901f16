#include "sources/manual_switch.h"

#include <gtest/gtest.h>

#include "test_station.h"

namespace bf {
namespace {

using Strings = std::vector<std::string>;

// Source 2 on air in failover: the backup is about to take over.
struct ManualSwitchTest : ::testing::Test {
    test::TestStation ts;
    StationState& s = ts.state();
    ConsoleModel& c = ts.console();
    ManualSwitchTest() {
        ts.folder.write("sourcelist.ini",
                        "0n:Backup\r\n0u:http://backup.example/b\r\n2n:Two\r\n2u:http://two.example/live\r\n"
                        "4n:Four\r\n4u:http://four.example/live\r\n");
        c.lblCurrentSource.caption = "http://two.example/live";
        c.lblStudio.caption = "Two";
        s.CurrentMplayer = 1;
        s.CurrentSource = 2;
        s.SilenceFlag = 1;
        s.LinkFailCount = 3;
        s.WasPlaying = 2;
        for (const char* t : {"tmrSourceCheck", "tmrCheckMplayerOK"}) ts.timers.start(t);
    }
    void choose(char n) { c.comboSourceList.text = std::string(1, n) + " Select Source number " + n; }
    std::string failover() { return test::Items(*ts, "SilenceFlag LinkFailCount WasPlaying"); }
};

TEST_F(ManualSwitchTest, ForceSwitchPutsTheChosenSourceOnAirWithTheButtonDisabled) {
    choose('4');
    bool enabledDuringSwitch = true;
    ts.processes.onCall = [&](const std::string&) { enabledDuringSwitch = c.cmdForceSwitch.enabled; };
    cmdForceSwitch_Click(*ts);
    EXPECT_FALSE(enabledDuringSwitch);
    EXPECT_TRUE(c.cmdForceSwitch.enabled);
    EXPECT_EQ(ts.processes.log.front(), "start mplayer2 http://four.example/live -quiet -noconsolecontrols");
    EXPECT_EQ(s.CurrentSource, 4);
    EXPECT_EQ(failover(), "SilenceFlag=0 LinkFailCount=0 WasPlaying=-1");
    EXPECT_EQ(c.txtAIR, "");
}

TEST_F(ManualSwitchTest, NumberWithoutASourceChangesNothingButTheLogAndTransferStringWins) {
    c.lblSourceDisp.caption = "2";
    const std::string before = test::Items(*ts, "CurrentSource lblSourceDisp lblCurrentSource lblStudio");
    for (const std::string& text :
         {c.comboSourceList.text, c.comboSourceList.text, std::string(), std::string("x")}) {
        c.comboSourceList.text = text;
        cmdForceSwitch_Click(*ts);
        EXPECT_EQ(test::Items(*ts, "CurrentSource lblSourceDisp lblCurrentSource lblStudio"), before) << text;
        EXPECT_EQ(failover(), "SilenceFlag=1 LinkFailCount=3 WasPlaying=2") << text;
        EXPECT_TRUE(c.cmdForceSwitch.enabled);
    }
    EXPECT_TRUE(ts.processes.log.empty());
    EXPECT_EQ(test::CountOf(c.txtAIR, "  SYS - SWITCH REFUSED - NO PLAYABLE URL (SOURCE "),
              4u);  // each click
    choose('2');
    ts.station->api.TransferString = "4";
    cmdForceSwitch_Click(*ts);
    EXPECT_EQ(s.PlayURL, "http://four.example/live");
}

TEST_F(ManualSwitchTest, CommandLongerThanFourBytesIsRunAndLogged) {
    for (const auto& [command, runs] :
         {std::pair{"abcd", false}, {"abcde", true}, {"", false}, {"touch a&b", true}}) {
        test::TestStation t;
        t.folder.write("sourcelist.ini", std::string("2u:http://two.example/live\r\n2s:") + command + "\r\n");
        t.console().comboSourceList.text = "2 Select Source number 2";
        cmdForceSwitch_Click(*t);
        EXPECT_EQ(t.processes.commands, runs ? Strings{command} : Strings{}) << command;
        EXPECT_EQ(
            t.console().txtAIR,
            runs ? " 2026-12-06 12:00:02  RUNNING EXTERNAL COMMAND (" + std::string(command) + ")\r\n" : "");
    }
}

TEST_F(ManualSwitchTest, ForceSourceRestartsTheBackupOnSlotOneFromScratch) {
    c.lblSourceDisp.caption = "0";
    c.lblCurrentSource.caption = "http://backup.example/b";
    s.CurrentMplayer = 2;
    s.CheckSource = "1";
    const char* files[] = {"mplayer1.log", "mplayer2.log", "mplayer.log", "metadata.txt", "metaextra.txt"};
    for (const char* f : files) ts.folder.write(f, "x");
    bool timersStoppedAtStart = false;
    ts.processes.onCall = [&](const std::string& call) {
        if (call.starts_with("start"))
            timersStoppedAtStart =
                !ts.timers.running("tmrSourceCheck") && !ts.timers.running("tmrCheckMplayerOK");
    };
    cmdForceSource_Click(*ts);

    EXPECT_EQ(ts.processes.log,
              (Strings{"kill mplayer1", "kill mplayer2",
                       "start mplayer1 http://backup.example/b -quiet -noconsolecontrols"}));
    EXPECT_TRUE(timersStoppedAtStart);
    for (const char* f : files) EXPECT_FALSE(ts.folder.exists(f)) << f;
    EXPECT_EQ(ts.clock.totalSlept(), 5.0);
    EXPECT_EQ(test::Items(*ts, "CurrentMplayer CurrentSource lblStudio lblDebug"),
              "CurrentMplayer=1 CurrentSource=0 lblStudio=Backup lblDebug=http://backup.example/b");
    EXPECT_EQ(failover(), "SilenceFlag=0 LinkFailCount=0 WasPlaying=-1");
    EXPECT_EQ(c.txtAIR, " 2026-12-06 12:00:05  USR - USER FORCED SWITCH FROM BACKUP (SOURCE 0)\r\n");
    EXPECT_TRUE(ts.timers.running("tmrCheckMplayerOK") && ts.timers.running("tmrSourceCheck"));
    EXPECT_EQ(test::Items(*ts, "lblFailText lblFailURL lblFailCheckTime"),
              "lblFailText=WAITING lblFailURL=PERFORMING INITIAL CHECKS lblFailCheckTime=NONE");
}

TEST_F(ManualSwitchTest, ForceSourceWithTheHealthCheckOffLeavesItOff) {
    c.lblSourceDisp.caption = "2";
    s.CheckSource = "yes";
    cmdForceSource_Click(*ts);
    EXPECT_FALSE(ts.timers.running("tmrSourceCheck"));
    EXPECT_TRUE(ts.timers.running("tmrCheckMplayerOK"));
    EXPECT_EQ(test::Items(*ts, "lblFailText lblFailURL lblFailCheckTime CurrentSource"),
              "lblFailText=DISABLED lblFailURL=NONE lblFailCheckTime=NONE CurrentSource=2");
}

}  // namespace
}  // namespace bf
