#include <gtest/gtest.h>

#include <filesystem>

#include "sources/manual_switch.h"
#include "sources/player_control.h"
#include "sources/source_list.h"
#include "test_station.h"

namespace bf::test {
namespace {

using namespace std::string_literals;
using Strings = std::vector<std::string>;

std::string Show(const SourceEntry& e) {
    return e.name + "|" + e.url + "|" + e.command;
}

TEST(SourceListTest, FindSourceTakesOnlyTheNumbersOwnLinesTheTableFilesOtherCharactersUnderZero) {
    // The file (none: no sourcelist.ini), a number, what FindSource finds, a row of the table.
    const std::string ends = "1n:One\n1u:http://one/a\r2n:Two\r\n;2u:http://no/\n\r2u:http://two/b\r\n\n3u:x";
    // clang-format off
    const std::tuple<std::optional<std::string>, std::string, std::string, size_t, std::string> cases[] = {
        {"1n:Studio A\r\n1u:http://first/a\r\n2u:http://b/\r\n1s:echo hello\r\n1u:http://a/live\r\n", "1",
         "Studio A|http://a/live|echo hello", 1, "Studio A|http://a/live|echo hello"},  // the later line wins
        {";4u:http://hidden/a\r\n;4n:Hidden\r\n2U:http://a/b\r\n2N:Name\r\n", "4", "||", 2, "||"},
        {";u:http://semi/\r\n", ";", "|http://semi/|", 0, "||"},  // only the table skips comments
        {"12u:http://c/d\r\n1u:http://a/1\r\nu:\r\n", "12", "||", 1, "|http://a/1|"},
        {"\x00\xff\xfe;\x01u:\x00\x80\r\n1u: http://a/b  \r\n2n:\tTabbed\r\n3u:http://a/\x00\xff\r\n"s, "3",
         "|http://a/\x00\xff|"s, 2, "\tTabbed||"},
        {"0n:Backup\r\nAn:Letter name\r\nAu:http://letter/x\r\n", "0", "Backup||", 0, "Letter name|http://letter/x|"},
        {std::nullopt, "1", "||", 0, "||"},
        {ends, "2", "Two|http://two/b|", 3, "|x|"}};
    // clang-format on
    TestStation ts;  // one station for all: the file is read afresh on every use
    for (const auto& [file, number, found, index, filed] : cases) {
        SCOPED_TRACE(number + " in " + file.value_or("(no file)").substr(0, 40));
        std::filesystem::remove(ts.folder.path() / "sourcelist.ini");
        if (file) ts.folder.write("sourcelist.ini", *file);
        EXPECT_EQ(Show(FindSource(*ts, number)), found);
        EXPECT_EQ(Show(ReadSourceTable(*ts)[index]), filed);
    }
}

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
        EXPECT_EQ(Items(*ts, "CurrentMplayer CurrentSource lblSourceDisp"),
                  "CurrentMplayer=" + slot + " CurrentSource=3 lblSourceDisp=3");
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

// Source 2 on air from slot 1, in failover: the backup is about to take over.
struct FailoverStation : TestStation {
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
        cmdForceSwitch_Click(*t);
        EXPECT_EQ(Items(*t, "SilenceFlag LinkFailCount WasPlaying CurrentSource"), after);
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
    for (std::string_view timer : {TimerName::SourceCheck, TimerName::CheckMplayerOK}) t.timers.stop(timer);
    cmdForceSource_Click(*t);

    EXPECT_EQ(t.processes.log, (Strings{"kill mplayer1", "kill mplayer2",
                                        "start mplayer1 http://backup.example/b -quiet -noconsolecontrols"}));
    for (const char* f : files) EXPECT_FALSE(t.folder.exists(f)) << f;
    EXPECT_EQ(t.clock.totalSlept(), 5.0);
    EXPECT_EQ(Items(*t,
                    "CurrentMplayer CurrentSource lblStudio SilenceFlag LinkFailCount WasPlaying "
                    "lblFailText lblFailURL"),
              "CurrentMplayer=1 CurrentSource=0 lblStudio=Backup SilenceFlag=0 LinkFailCount=0 WasPlaying=-1 "
              "lblFailText=WAITING lblFailURL=PERFORMING INITIAL CHECKS");
    EXPECT_EQ(t.console().txtAIR,
              " 2026-12-06 12:00:05  USR - USER FORCED SWITCH FROM BACKUP (SOURCE 0)\r\n");
    EXPECT_TRUE(t.timers.running(TimerName::CheckMplayerOK) && t.timers.running(TimerName::SourceCheck));
}

}  // namespace
}  // namespace bf::test
