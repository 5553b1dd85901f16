#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>

#include "core/timer_names.h"
#include "metadata/player_log_reader.h"
#include "sources/manual_switch.h"
#include "sources/on_air.h"
#include "sources/player_adoption.h"
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
        EXPECT_EQ(Show(FindSource(ts->workingFolder, number)), found);
        EXPECT_EQ(Show(ReadSourceTable(ts->workingFolder)[index]), filed);
    }
}

// Sources 1 to 3 and the backup; source 3's URL carries player options.
struct Sources : TestStation {
    Sources() : TestStation(false) {
        folder.write(
            "sourcelist.ini",
            "0n:Backup\r\n0u:http://backup.example/b\r\n1n:One\r\n1u:http://one.example/a\r\n"
            "2n:Two\r\n2u:http://two.example/b\r\n3n:Studio C\r\n3u:  http://c.example:8000/live   x \r\n"
            "3s:notify-send hi\r\n5u:http://five.example/c\r\n5s:abcde\r\n7n:Seven\r\n7u:http://\r\n");
    }
    // Ticks the overlap every 100 ms for `seconds`, the new player starting
    // to play after `playsAt` and ending after `endsAt` seconds, reading its
    // playlist until `readsUntil`; returns when a player was stopped (-1: not yet).
    double overlap(double seconds, double playsAt = 99, double endsAt = 99, double readsUntil = 0) {
        const int slot = station->onAir.CurrentMplayer();
        const std::string log = "mplayer" + std::to_string(slot) + ".log";
        folder.write(log, readsUntil > 0 ? "Playlist http://one.example/a: reading\n"
                                         : "Playing http://one.example/a.\n");
        for (int tick = 1; tick <= std::lround(seconds * 10); ++tick) {
            clock.advance(0.1);
            const double now = tick / 10.0;
            if (std::abs(now - readsUntil) < 1e-9)
                folder.write(log, "Playlist http://one.example/a: 1 stream\n");
            if (now >= playsAt - 1e-9) folder.write(log, "Starting playback...\n");
            if (now >= endsAt - 1e-9) processes.running.erase("mplayer" + std::to_string(slot));
            const size_t kills = processes.kills.size();
            if (timers.running(TimerName::SwitchOverlap)) timers.fire(TimerName::SwitchOverlap);
            if (processes.kills.size() > kills) return now;
        }
        return -1;
    }
};

// The old player stops once the new one plays, never sooner than two seconds
// after the switch. A new player that ends, or has not played after ten
// seconds, is stopped instead: the old one plays on and stays on air (when it
// still runs), and the source is tried again.
TEST(OnAirTest, TheOldPlayerStopsWhenTheNewOnePlaysBetweenTwoAndTenSeconds) {
    // When the new player plays and ends, whether the old one still runs; when a player was stopped, which,
    // the station log, the source on air after.
    const std::string logged = " 2026-12-06 12:00:";
    const std::tuple<double, double, bool, double, std::string, std::string, int> cases[] = {
        {0.5, 99, true, 2.0, "kill mplayer1", "", 2},
        {3.5, 99, true, 3.5, "kill mplayer1", "", 2},
        {99, 4.0, true, 4.0, "kill mplayer2",
         logged + "06  SYS - NEW PLAYER mplayer2 ENDED BEFORE PLAYING (SOURCE 2) - OLD PLAYER PLAYS ON\r\n",
         1},
        {99, 99, true, 10.0, "kill mplayer2",
         logged + "12  SYS - NEW PLAYER mplayer2 SILENT BEFORE PLAYING (SOURCE 2) - OLD PLAYER PLAYS ON\r\n",
         1},
        {99, 4.0, false, 4.0, "kill mplayer1",
         logged + "06  SYS - NEW PLAYER mplayer2 ENDED BEFORE PLAYING (SOURCE 2) - OLD PLAYER STOPPED\r\n",
         2}};
    for (const auto& [playsAt, endsAt, oldRuns, stoppedAt, killed, log, after] : cases) {
        Sources s;
        s.onAir(1);
        if (!oldRuns) s.processes.running.erase("mplayer1");
        s.folder.write("mplayer2", "");  // the player's link
        s.clock.advance(2.05);           // a tick's tenths off the whole second
        Observe(*s, air::Choice{"2", SwitchCause::Operator});
        s.folder.write("mplayer1.log", "old");
        EXPECT_NEAR(s.overlap(12, playsAt, endsAt), stoppedAt, 1e-6) << playsAt << " " << endsAt;
        EXPECT_EQ(s.processes.log,
                  (Strings{"start mplayer2 http://two.example/b -quiet -noconsolecontrols", killed}));
        EXPECT_EQ(s.folder.read("mplayer1.log"), "old");  // kept until the slot starts again
        EXPECT_FALSE(s.timers.running(TimerName::SwitchOverlap));
        EXPECT_EQ(s.console().txtAIR, log);
        EXPECT_EQ(s->onAir.source().number, after);
        // Ended or silent, it is started again.
        Strings events = {"switch 2 operator"};
        if (playsAt == 99) events.push_back("restart 2");
        EXPECT_EQ(s.recorded.events, events);
    }
    // A new player that reads a playlist first has its ten seconds from the end of the reading, which is
    // waited for 30 s at most. When it reads until, plays, when a player is stopped, which.
    for (const auto& [readsUntil, playsAt, stoppedAt, killed] :
         {std::tuple(14.0, 16.0, 16.0, "mplayer1"), std::tuple(14.0, 99.0, 24.0, "mplayer2"),
          std::tuple(99.0, 99.0, 40.0, "mplayer2")}) {
        Sources s;
        s.onAir(1);
        Observe(*s, air::Choice{"2", SwitchCause::Operator});
        EXPECT_NEAR(s.overlap(60, playsAt, 99, readsUntil), stoppedAt, 0.15)
            << readsUntil << " " << playsAt;  // a tick
        EXPECT_EQ(s.processes.kills, Strings{killed});
    }
}

// Source 2 on air on slot 1 has failed twice: the backup stands in.
struct FailoverStation : Sources {
    FailoverStation() {
        settings().FastFailover = true;
        onAir(2);
        for (int i = 0; i < 2; ++i)
            Observe(
                *station,
                air::Verdict{station->onAir.underTest(), air::Verdict::Kind::Failed, "refused", false, {}});
        Observe(*station, air::Tick{"1"});
        endOverlap();
        processes.log.clear();
        station->log.clear();
        for (std::string_view t : {TimerName::SourceCheck, TimerName::CheckMplayerOK}) timers.start(t);
    }
};

// Outside a failover a playable choice switches and runs its command when it
// is longer than four bytes; during one it becomes the source to return to
// and the backup stays; any other is refused and logged at each click.
TEST(ManualSwitchTest, ForceSwitchSwitchesOrDuringAFailoverChoosesTheSourceToReturnTo) {
    const std::string refused = " 2026-12-06 12:00:00  SYS - SWITCH REFUSED - NO PLAYABLE URL (SOURCE ";
    // In a failover, the list's text; the state after the click, the command run, the station log.
    // clang-format off
    const std::tuple<bool, std::string, std::string, std::string, std::string> cases[] = {
        {false, "3 Select Source number 3", "SilenceFlag=0 CurrentSource=3 LinkSource=3", "notify-send hi",
         " 2026-12-06 12:00:00  RUNNING EXTERNAL COMMAND (notify-send hi)\r\n"},
        {true, "5 Select Source number 5", "SilenceFlag=1 CurrentSource=0 LinkSource=5", "abcde",
         " 2026-12-06 12:00:00  RUNNING EXTERNAL COMMAND (abcde)\r\n"},
        {true, "Select Source for Forced Manual Switch", "SilenceFlag=1 CurrentSource=0 LinkSource=2", "",
         refused + "S)\r\n"}};
    // clang-format on
    for (const auto& [failover, list, after, command, logged] : cases) {
        SCOPED_TRACE(list);
        std::unique_ptr<Sources> t =
            failover ? std::make_unique<FailoverStation>() : std::make_unique<Sources>();
        if (!failover) t->onAir(2);
        t->station->log.clear();
        t->console().comboSourceList.text = list;
        cmdForceSwitch_Click(**t);
        cmdForceSwitch_Click(**t);
        EXPECT_EQ(Items(**t, "SilenceFlag CurrentSource LinkSource"), after);
        EXPECT_EQ(t->processes.commands, command.empty() ? Strings{} : (Strings{command, command}));
        EXPECT_EQ(t->console().txtAIR, logged + logged);
    }
}

TEST(ManualSwitchTest, ForceSourceRestartsTheSourceOnAirOnSlotOneFromScratchAndRearmsTheChecks) {
    FailoverStation t;
    t.settings().CheckSource = true;
    const char* files[] = {"mplayer1.log", "mplayer.log", "metadata.txt", "metaextra.txt"};
    for (const char* f : files) t.folder.write(f, "x");
    for (std::string_view timer : {TimerName::SourceCheck, TimerName::CheckMplayerOK}) t.timers.stop(timer);
    cmdForceSource_Click(*t);

    // With the health check on, the player counts the sound it passes on.
    EXPECT_EQ(t.processes.log,
              (Strings{"kill mplayer1", "kill mplayer2",
                       "start mplayer1 http://backup.example/b -quiet -noconsolecontrols -af-add "
                       "export=mplayer1.export:512"}));
    for (const char* f : files) EXPECT_FALSE(t.folder.exists(f)) << f;
    EXPECT_EQ(t.folder.read("mplayer1.log.1"), "x");  // the last run's words kept
    EXPECT_EQ(Items(*t,
                    "CurrentMplayer CurrentSource lblStudio SilenceFlag LinkFailCount LinkSource "
                    "lblFailText lblFailURL"),
              "CurrentMplayer=1 CurrentSource=0 lblStudio=Backup SilenceFlag=0 LinkFailCount=0 LinkSource=0 "
              "lblFailText=WAITING lblFailURL=PERFORMING INITIAL CHECKS");
    EXPECT_EQ(t.console().txtAIR,
              " 2026-12-06 12:00:00  USR - USER FORCED SWITCH FROM BACKUP (SOURCE 0)\r\n");
    EXPECT_TRUE(t.timers.running(TimerName::CheckMplayerOK) && t.timers.running(TimerName::SourceCheck));

    // A player that cannot start is logged once for a run of failures, and again after a start that worked.
    const std::pair<bool, bool> startsAndLines[] = {
        {true, true}, {true, false}, {false, false}, {true, true}};
    for (const auto& [fails, logged] : startsAndLines) {
        t.processes.failStart = fails;
        t.station->log.clear();
        cmdForceSource_Click(*t);
        const std::string line = "CANNOT START (" + (t.folder.path() / "mplayer1").string() + ")";
        EXPECT_EQ(t.console().txtAIR.find(line) != std::string::npos, logged) << t.console().txtAIR;
    }
}

// With KeepAirOnStart a start keeps the leftover player of the scheduled source (another leftover stops once
// it plays, as at a switch); one that plays anything else stays on air until the scheduled source plays on
// the other slot; without the key, or with nothing playable to put on air, the leftovers stop.
TEST(PlayerAdoptionTest, AStartKeepsTheScheduledSourcesPlayerAndReplacesAnyOtherOnlyOnceTheNewOnePlays) {
    const std::string one = "http://one.example/a\r\nplayer\r\n", two = "http://two.example/b\r\n\r\n",
                      zero = "http://backup.example/b\r\nplayer\r\n", last = "loop.mp3\r\nlastresort\r\n";
    // The key, what the running players were started on ("": nothing written down), the scheduled source; the
    // player calls at the start | after the overlap | the slot, the source on air, the selected one and the
    // role its record says now.
    using Record = std::optional<std::string>;
    const std::tuple<bool, Record, Record, int16_t, std::string> cases[] = {
        {false, one, two, 1, "kill mplayer1,kill mplayer2,||0 -1 -1 "},
        {true, one, std::nullopt, 1, "||1 1 1 chosen"},
        {true, one, two, 1, "|kill mplayer2,|1 1 1 chosen"},
        {true, std::nullopt, one, 1, "||2 1 1 chosen"},
        {true, two, std::nullopt, 1, "start mplayer2,|kill mplayer1,|2 1 1 chosen"},
        {true, "", std::nullopt, 1, "start mplayer2,|kill mplayer1,|2 1 1 chosen"},
        // Of two leftovers of other sources, the one that plays stays until the schedule's plays.
        {true, two, "", 3, "kill mplayer1,start mplayer1,|kill mplayer2,|1 3 3 chosen"},
        {true, one, std::nullopt, 7, "kill mplayer1,kill mplayer2,||0 -1 -1 "},
        // A link of the chain or the last resort stands in, as in the failover that put it on air, for the
        // source the schedule puts on air now (a record of an older version, without its role, too); a link
        // chosen, or a last resort not standing in, is replaced as any other choice.
        {true, zero, std::nullopt, 1, "||1 0 1 standsin 1 resumed 1"},
        {true, zero + "standsin 2\r\n", std::nullopt, 1, "||1 0 1 standsin 1 resumed 2"},
        {true, zero + "chosen\r\n", std::nullopt, 1, "start mplayer2,|kill mplayer1,|2 1 1 chosen"},
        {true, std::nullopt, last, 1, "||2 -1 1 standsin 1 resumed 1"},
        {true, std::nullopt, last + "chosen\r\n", 1, "start mplayer1,|kill mplayer2,|1 1 1 chosen"}};
    for (const auto& [keep, first, second, scheduled, expected] : cases) {
        Sources s;
        s.settings().KeepAirOnStart = keep;
        s.settings().CheckSource = true;
        s.settings().LastResortFile = "loop.mp3";
        for (const auto& [slot, record] : {std::pair(1, first), std::pair(2, second)}) {
            if (!record) continue;
            s.processes.running.insert(PlayerName(slot));
            if (!record->empty()) s.folder.write(PlayerName(slot) + ".url", *record);
        }
        s.folder.write("mplayer2.log", "Starting playback...\n");
        const auto calls = [&] {
            std::string text;
            for (const std::string& call : s.processes.log) text += call.substr(0, call.find(' ', 6)) + ",";
            s.processes.log.clear();
            return text + "|";
        };
        TakeOverLeftoverPlayers(*s, scheduled);
        std::string seen = calls();
        s.overlap(3, 0);
        std::istringstream record(s.folder.read(PlayerName(s->onAir.CurrentMplayer()) + ".url"));
        std::string role;
        for (int line = 0; line < 3; ++line) role.clear(), std::getline(record, role);
        role = role.substr(0, role.find('\r'));
        for (const std::string& event : s.recorded.events)
            if (event.starts_with("resumed")) role += " " + event;
        EXPECT_EQ(seen + calls() + std::to_string(s->onAir.CurrentMplayer()) + " " +
                      std::to_string(s->onAir.CurrentSource()) + " " +
                      std::to_string(s->onAir.state().selected.number) + " " + role,
                  expected)
            << keep << " " << first.value_or("-") << " " << second.value_or("-");
    }
    // The kept player's log was read by the last run: its title of the moment is read again (a paid item is
    // not billed twice), and the titles after it count.
    Sources s;
    s.settings().KeepAirOnStart = true;
    s.processes.running.insert("mplayer1");
    s.folder.write("mplayer1.url", one);
    const std::string paid = "ICY Info: StreamTitle='$ Paid';\n",
                      song = "ICY Info: StreamTitle='A - Song';\n";
    s.folder.write("mplayer1.log", "Starting playback...\n" + paid + song);
    TakeOverLeftoverPlayers(*s, 1);
    tmrGetMetadata_Timer(*s);
    EXPECT_EQ(s.folder.read("metadata.txt") + s.folder.read("tallyway.txt"), "A - Song\r\n<missing>");
    s.folder.write("mplayer1.log", "Starting playback...\n" + paid + song + paid);
    tmrGetMetadata_Timer(*s);
    EXPECT_NE(s.folder.read("tallyway.txt"), "<missing>");
}

}  // namespace
}  // namespace bf::test
