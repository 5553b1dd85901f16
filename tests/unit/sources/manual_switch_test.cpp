#include "sources/manual_switch.h"

#include <gtest/gtest.h>

#include "test_station.h"

namespace bf {
namespace {

using Strings = std::vector<std::string>;

// Source 2 on air from slot 1, in failover: the backup is about to take over.
struct FailoverStation : test::TestStation {
    FailoverStation() {
        folder.write("sourcelist.ini",
                     "0n:Backup\r\n0u:http://backup.example/b\r\n2n:Two\r\n2u:http://two.example/live\r\n"
                     "4u:http://four.example/live\r\n4s:abcd\r\n5u:http://five.example/live\r\n5s:abcde\r\n");
        console().lblCurrentSource.caption = "http://two.example/live";
        state().CurrentMplayer = 1;
        state().CurrentSource = 2;
        state().SilenceFlag = 1;
        state().LinkFailCount = 3;
        state().WasPlaying = 2;
        for (std::string_view t : {TimerName::SourceCheck, TimerName::CheckMplayerOK}) timers.start(t);
    }
};

// A playable choice ends the failover, switches and runs its command when it
// is longer than four bytes; any other is refused and logged at each click.
TEST(ManualSwitchTest, ForceSwitchEndsTheFailoverAndSwitchesOrIsRefusedAndLogged) {
    const std::string failover = "SilenceFlag=1 LinkFailCount=3 WasPlaying=2 CurrentSource=2";
    const std::string refused = " 2026-12-06 12:00:00  SYS - SWITCH REFUSED - NO PLAYABLE URL (SOURCE ";
    // The list's text, the state after the click, the command run, the station log.
    // clang-format off
    const std::tuple<std::string, std::string, std::string, std::string> cases[] = {
        {"4 Select Source number 4", "SilenceFlag=0 LinkFailCount=0 WasPlaying=-1 CurrentSource=4", "", ""},
        {"5 Select Source number 5", "SilenceFlag=0 LinkFailCount=0 WasPlaying=-1 CurrentSource=5", "abcde",
         " 2026-12-06 12:00:02  RUNNING EXTERNAL COMMAND (abcde)\r\n"},
        {"Select Source for Forced Manual Switch", failover, "", refused + "S)\r\n"}};
    // clang-format on
    for (const auto& [list, after, command, logged] : cases) {
        SCOPED_TRACE(list);
        FailoverStation t;
        t.console().comboSourceList.text = list;
        t.state().RefusedSource = list.substr(0, 1);  // refused before: still logged again
        bool enabledDuringSwitch = false;
        t.processes.onCall = [&](const std::string&) {
            enabledDuringSwitch = t.console().cmdForceSwitch.enabled;
        };
        cmdForceSwitch_Click(*t);
        EXPECT_FALSE(enabledDuringSwitch);
        EXPECT_TRUE(t.console().cmdForceSwitch.enabled);
        EXPECT_EQ(test::Items(*t, "SilenceFlag LinkFailCount WasPlaying CurrentSource"), after);
        EXPECT_EQ(t.processes.commands, command.empty() ? Strings{} : Strings{command});
        EXPECT_EQ(t.console().txtAIR, logged);
    }
}

TEST(ManualSwitchTest, ForceSourceRestartsTheSourceShownOnSlotOneFromScratchAndRearmsTheChecks) {
    FailoverStation t;
    t.console().lblSourceDisp.caption = "0";
    t.state().CurrentMplayer = 2;
    t.state().CheckSource = "1";
    const char* files[] = {"mplayer1.log", "mplayer2.log", "mplayer.log", "metadata.txt", "metaextra.txt"};
    for (const char* f : files) t.folder.write(f, "x");
    cmdForceSource_Click(*t);

    EXPECT_EQ(t.processes.log, (Strings{"kill mplayer1", "kill mplayer2",
                                        "start mplayer1 http://backup.example/b -quiet -noconsolecontrols"}));
    for (const char* f : files) EXPECT_FALSE(t.folder.exists(f)) << f;
    EXPECT_EQ(t.clock.totalSlept(), 5.0);
    EXPECT_EQ(test::Items(*t,
                          "CurrentMplayer CurrentSource lblStudio SilenceFlag LinkFailCount WasPlaying "
                          "lblFailText lblFailURL"),
              "CurrentMplayer=1 CurrentSource=0 lblStudio=Backup SilenceFlag=0 LinkFailCount=0 WasPlaying=-1 "
              "lblFailText=WAITING lblFailURL=PERFORMING INITIAL CHECKS");
    EXPECT_EQ(t.console().txtAIR,
              " 2026-12-06 12:00:05  USR - USER FORCED SWITCH FROM BACKUP (SOURCE 0)\r\n");
    EXPECT_TRUE(t.timers.running(TimerName::CheckMplayerOK) && t.timers.running(TimerName::SourceCheck));
}

}  // namespace
}  // namespace bf
