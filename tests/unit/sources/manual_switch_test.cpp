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
                     "4u:http://four.example/live\r\n4s:abcd\r\n5u:http://five.example/live\r\n5s:abcde\r\n"
                     "6u:http://six.example/live\r\n6s:touch a&b\r\n");
        console().lblCurrentSource.caption = "http://two.example/live";
        console().lblStudio.caption = "Two";
        state().CurrentMplayer = 1;
        state().CurrentSource = 2;
        state().SilenceFlag = 1;
        state().LinkFailCount = 3;
        state().WasPlaying = 2;
        for (std::string_view t : {TimerName::SourceCheck, TimerName::CheckMplayerOK}) timers.start(t);
    }
    std::string failover() { return test::Items(*station, "SilenceFlag LinkFailCount WasPlaying"); }
};

TEST(ManualSwitchTest, ForceSwitchEndsTheFailoverSwitchesToTheChosenSourceAndRunsItsLongerCommand) {
    // The list's text, the URL started on slot 2, the number on air, the command run.
    // clang-format off
    const std::tuple<std::string, std::string, int16_t, std::string> cases[] = {
        {"4 Select Source number 4", "http://four.example/live", 4, ""},  // four bytes: not run
        {"5 Select Source number 5", "http://five.example/live", 5, "abcde"},
        {"6 Select Source number 6", "http://six.example/live", 6, "touch a&b"}};
    // clang-format on
    for (const auto& [list, started, number, command] : cases) {
        SCOPED_TRACE(list);
        FailoverStation t;
        t.console().comboSourceList.text = list;
        bool enabledDuringSwitch = true;
        t.processes.onCall = [&](const std::string&) {
            enabledDuringSwitch = t.console().cmdForceSwitch.enabled;
        };
        cmdForceSwitch_Click(*t);
        EXPECT_FALSE(enabledDuringSwitch);
        EXPECT_TRUE(t.console().cmdForceSwitch.enabled);
        EXPECT_EQ(t.processes.log.front(), "start mplayer2 " + started + " -quiet -noconsolecontrols");
        EXPECT_EQ(t.failover() + " " + std::to_string(t.state().CurrentSource),
                  "SilenceFlag=0 LinkFailCount=0 WasPlaying=-1 " + std::to_string(number));
        EXPECT_EQ(t.processes.commands, command.empty() ? Strings{} : Strings{command});
        EXPECT_EQ(
            t.console().txtAIR,
            command.empty() ? "" : " 2026-12-06 12:00:02  RUNNING EXTERNAL COMMAND (" + command + ")\r\n");
    }
}

// Never chosen, empty, or no source: each click is refused and logged.
TEST(ManualSwitchTest, NumberWithoutAPlayableSourceChangesNothingButTheLog) {
    FailoverStation t;
    auto shown = [&] {
        return t.failover() + " " + test::Items(*t, "CurrentSource lblCurrentSource lblStudio");
    };
    const std::string before = shown();
    for (const std::string list : {"Select Source for Forced Manual Switch", "Select Source", "", "x"}) {
        t.console().comboSourceList.text = list;
        cmdForceSwitch_Click(*t);
        EXPECT_EQ(shown(), before) << list;
    }
    EXPECT_TRUE(t.processes.log.empty());
    EXPECT_EQ(test::CountOf(t.console().txtAIR, "  SYS - SWITCH REFUSED - NO PLAYABLE URL (SOURCE "), 4u);
}

TEST(ManualSwitchTest, ForceSourceRestartsTheSourceShownOnSlotOneFromScratchAndRearmsTheChecks) {
    for (const std::string checkSource : {"1", "yes"}) {
        SCOPED_TRACE(checkSource);
        FailoverStation t;
        t.console().lblSourceDisp.caption = "0";
        t.console().lblCurrentSource.caption = "http://backup.example/b";
        t.state().CurrentMplayer = 2;
        t.state().CheckSource = checkSource;
        const char* files[] = {"mplayer1.log", "mplayer2.log", "mplayer.log", "metadata.txt",
                               "metaextra.txt"};
        for (const char* f : files) t.folder.write(f, "x");
        cmdForceSource_Click(*t);

        EXPECT_EQ(t.processes.log,
                  (Strings{"kill mplayer1", "kill mplayer2",
                           "start mplayer1 http://backup.example/b -quiet -noconsolecontrols"}));
        for (const char* f : files) EXPECT_FALSE(t.folder.exists(f)) << f;
        EXPECT_EQ(t.clock.totalSlept(), 5.0);
        EXPECT_EQ(test::Items(*t, "CurrentMplayer CurrentSource lblStudio lblDebug"),
                  "CurrentMplayer=1 CurrentSource=0 lblStudio=Backup lblDebug=http://backup.example/b");
        EXPECT_EQ(t.failover(), "SilenceFlag=0 LinkFailCount=0 WasPlaying=-1");
        EXPECT_EQ(t.console().txtAIR,
                  " 2026-12-06 12:00:05  USR - USER FORCED SWITCH FROM BACKUP (SOURCE 0)\r\n");
        EXPECT_TRUE(t.timers.running(TimerName::CheckMplayerOK));
        // The health check is started again only when it is on.
        EXPECT_EQ(t.timers.running(TimerName::SourceCheck), checkSource == "1");
        EXPECT_EQ(test::Items(*t, "lblFailText lblFailURL lblFailCheckTime"),
                  checkSource == "1"
                      ? "lblFailText=WAITING lblFailURL=PERFORMING INITIAL CHECKS lblFailCheckTime=NONE"
                      : "lblFailText=DISABLED lblFailURL=NONE lblFailCheckTime=NONE");
    }
}

}  // namespace
}  // namespace bf
