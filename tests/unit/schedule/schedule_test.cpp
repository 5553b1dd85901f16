#include <gtest/gtest.h>

#include "schedule/event_tick.h"
#include "schedule/next_event.h"
#include "test_station.h"

namespace bf::test {
namespace {

constexpr const char* X = "X XXXXXX X";  // no entry found yet

// Source N plays "http://stream.example/N"; source 7 has no URL.
struct Scheduled : TestStation {
    Scheduled() {
        std::string list;
        for (int n = 0; n <= 9; ++n)
            if (n != 7) list += std::to_string(n) + "u:http://stream.example/" + std::to_string(n) + "\r\n";
        folder.write("sourcelist.ini", list);
    }
    // "CurrentSource WasPlaying LinkSource:", then the source of every player start so far.
    std::string result() {
        const StationState& s = state();
        std::string out = std::to_string(s.CurrentSource) + " " + std::to_string(s.WasPlaying) + " " +
                          std::to_string(s.LinkSource) + ":";
        for (const auto& start : processes.starts) out += " " + start.args.at(0).substr(22);
        return out;
    }
};

struct TickCase {
    const char* name;
    int16_t current, wasPlaying, silence;
    std::string last, next;
    int weekday, hour, minute, second;
    std::string result;
};

TEST(EventTick, EachTickPutsTheSourceOfHighestPrecedenceOnAir) {
    // clang-format off
    const TickCase cases[] = {
        {"StartPlaysTodaysLastPastEntry", -1, -1, 0, "1 080000 2", X, 1, 12, 0, 0, "2 -1 0: 2"},
        {"StartWithNonDigitActionPlaysNine", -1, -1, 0, "1 080000 A", X, 1, 12, 0, 0, "9 -1 0: 9"},
        {"NumberAboveNineStaysOnAir", 12, -1, 0, X, X, 1, 12, 0, 0, "12 -1 0:"},
        {"NotDueBeforeItsSecond", 1, -1, 0, X, "2 070030 3", 2, 7, 0, 29, "1 -1 0:"},
        {"DueAtItsSecond", 1, -1, 0, X, "2 070030 3", 2, 7, 0, 30, "3 -1 0: 3"},
        {"DueToTheEndOfItsMinute", 1, -1, 0, X, "2 070030 3", 2, 7, 0, 59, "3 -1 0: 3"},
        {"DueEntryAlreadyOnAirSwitchesNothing", 3, -1, 0, X, "2 070030 3", 2, 7, 0, 45, "3 -1 0:"},
        {"NotDueInTheNextMinute", 1, -1, 0, X, "2 070030 3", 2, 7, 1, 30, "1 -1 0:"},
        {"NotDueOnAnotherWeekday", 1, -1, 0, X, "2 070030 3", 3, 7, 0, 30, "1 -1 0:"},
        {"DueNonDigitActionPlaysZero", 9, -1, 0, X, "1 200000 A", 1, 20, 0, 0, "0 -1 0: 0"},
        {"DueSourceWithoutUrlKeepsWhatPlays", 1, -1, 0, X, "2 070030 7", 2, 7, 0, 30, "1 -1 0:"},
        {"SilencePlaysTheBackupAndKeepsTheSource", 3, -1, 1, X, X, 1, 12, 0, 0, "0 3 0: 0"},
        {"DueEntryDuringFailoverIsTheSourceToReturnTo", 0, -1, 1, X, "1 200000 4", 1, 20, 0, 0, "0 0 4:"},
        {"BackupReturnsAfterTheEntrysMinute", 4, -1, 1, X, "1 200000 4", 1, 20, 1, 0, "0 4 0: 0"},
        {"WatchdogRestartPlaysThePendingSource", -1, 5, 0, "1 080000 2", X, 1, 12, 0, 0, "5 -1 0: 5"},
        {"ReturnAfterFailoverConsumesThePending", 2, 2, 0, X, X, 1, 12, 0, 0, "2 -1 0:"},
        {"PendingAboveNinePlaysItsLastDigit", 3, 12, 0, X, X, 1, 12, 0, 0, "12 -1 0: 2"}};
    // clang-format on
    for (const TickCase& c : cases) {
        Scheduled s;
        StationState& st = s.state();
        st.CurrentSource = c.current;
        st.WasPlaying = c.wasPlaying;
        st.SilenceFlag = c.silence;
        st.LastEvent = c.last;
        st.NextEvent = c.next;
        s.clock.setTime(c.weekday, c.hour, c.minute, c.second);
        tmrCheckAndDoEvents_Timer(*s);
        EXPECT_EQ(s.result(), c.result) << c.name;
        EXPECT_EQ(s.console().lblSourceDisp.caption, std::to_string(st.CurrentSource)) << c.name;
    }
}

struct Case {
    const char* name;
    std::string file;  // "<missing>": no file
    int weekday, hour, minute, second;
    std::string last, next;
    std::string lastBefore = X, nextBefore = X;
};

TEST(NextEventCalculation, PicksTheLastPastAndTheNextEntry) {
    const std::string junk = "1 080000 2\r\n" + std::string("1 \x00\x00\x00\x00\x00\x00 \x00\r\n", 12) +
                             std::string("1 200000 \xff", 10);  // a time of NULs reads as 0: a past entry
    // clang-format off
    const Case cases[] = {
        {"SundayNoon", "1 080000 2\r\n1 200000 4\r\n", 1, 12, 0, 0, "1 080000 2", "1 200000 4"},
        {"SundayNightTakesMondaysFirst", "1 080000 2\r\n1 200000 4\r\n2 060000 1\r\n",
         1, 21, 0, 0, "1 200000 4", "2 060000 1"},
        {"SaturdayRollsOverToSunday", "7 180000 3\r\n1 090000 5\r\n1 060000 6\r\n2 050000 1\r\n",
         7, 20, 0, 0, "7 180000 3", "1 060000 6"},
        {"TomorrowWaitsWhileTodayHasALaterEntry", "2 010000 1\r\n1 230000 3\r\n", 1, 12, 0, 0, X, "1 230000 3"},
        {"EntryAtExactlyNowIsNeither", "1 120000 3\r\n", 1, 12, 0, 0, X, X},
        {"CommentsAndMalformedLines",
         "; 080000 2\r\n;1 080000\r\n1-080000 2\r\n1 080000 2 \r\n 1 080000 2\r\n1 200000 4\r\n",
         1, 12, 0, 0, X, "1 200000 4"},
        {"WeekdayOutsideOneToSevenOrALetter", "0 080000 2\r\n8 200000 4\r\n9 060000 1\r\nA 080000 2\r\n",
         7, 12, 0, 0, X, X},
        {"NonDigitActionKept", "1 080000 A\r\n1 200000 #\r\n", 1, 12, 0, 0, "1 080000 A", "1 200000 #"},
        {"BinaryJunkSkipped", junk, 1, 12, 0, 0, "1 080000 2", std::string("1 200000 \xff", 10)},
        {"MissingFileChangesNothing", "<missing>", 1, 12, 0, 0, "1 080000 2", "1 200000 4", "1 080000 2", "1 200000 4"},
        {"NextKeptWhenNothingIsLater", "1 080000 2\r\n4 100000 3\r\n",
         1, 12, 0, 0, "1 080000 2", "1 080000 2", X, "1 080000 2"},
        {"HeldThroughItsMinuteWhateverTheWeekday", "1 080000 2\r\n", 1, 12, 0, 30, X, "3 120000 1", X, "3 120000 1"}};
    // clang-format on
    for (const Case& c : cases) {
        TestStation ts;
        if (c.file != "<missing>") ts.folder.write("sourceevents.ini", c.file);
        ts.clock.setTime(c.weekday, c.hour, c.minute, c.second);
        ts.state().LastEvent = c.lastBefore;
        ts.state().NextEvent = c.nextBefore;
        tmrLoadEventsAndCalculate_Timer(*ts);
        EXPECT_EQ(ts.state().LastEvent, c.last) << c.name;
        EXPECT_EQ(ts.state().NextEvent, c.next) << c.name;
    }
}

TEST(NextEventCalculation, ScheduleLabelsNameEachEntrysSource) {
    TestStation ts;
    ts.folder.write("sourcelist.ini", "2n:Breakfast\r\n4n:Drive Time\r\n0u:http://backup/\r\n");
    ts.folder.write("sourceevents.ini", "7 090000 4\r\n7 235959 0\r\n");
    ts.clock.setTime(7, 12, 0, 0);
    tmrLoadEventsAndCalculate_Timer(*ts);
    EXPECT_EQ(
        Items(*ts, "lblNextEvent lblLastEvent"),
        "lblNextEvent=Next: Sat 23:59:59  source 0 lblLastEvent=Last: Sat 09:00:00  source 4 Drive Time");
}

}  // namespace
}  // namespace bf::test
