#include "schedule/next_event.h"

#include <gtest/gtest.h>

#include "test_station.h"

namespace bf {
namespace {

constexpr const char* None = "X XXXXXX X";

struct Case {
    const char* name;
    std::string file;  // "<missing>": no file
    int weekday, hour, minute, second;
    std::string last, next;
    std::string lastBefore = None, nextBefore = None;
};

TEST(NextEventCalculation, PicksTheLastPastAndTheNextEntry) {
    const std::string junk = "1 080000 2\r\n" + std::string("1 \x00\x00\x00\x00\x00\x00 \x00\r\n", 12) +
                             std::string("1 200000 \xff", 10);  // a time of NULs reads as 0: a past entry
    // clang-format off
    const Case cases[] = {
        {"SundayNoon", "1 080000 2\r\n1 200000 4\r\n", 1, 12, 0, 0, "1 080000 2", "1 200000 4"},
        {"SundayNightTakesMondaysFirst", "1 080000 2\r\n1 200000 4\r\n2 060000 1\r\n", 1, 21, 0, 0, "1 200000 4", "2 060000 1"},
        {"SaturdayRollsOverToSunday", "7 180000 3\r\n1 090000 5\r\n1 060000 6\r\n2 050000 1\r\n", 7, 20, 0, 0, "7 180000 3", "1 060000 6"},
        {"TomorrowWaitsWhileTodayHasALaterEntry", "2 010000 1\r\n1 230000 3\r\n", 1, 12, 0, 0, None, "1 230000 3"},
        {"SeparatorRebuiltAsBlank", "3 070000-5\r\n", 3, 6, 0, 0, None, "3 070000 5"},
        {"EightCharacterLineIgnored", "1 7000 2\r\n", 1, 0, 30, 0, None, None},
        {"ShortTimeComparesAsNumber", "1 007000 2\r\n", 1, 1, 0, 0, "1 007000 2", None},
        {"FirstOfEqualEntriesIsNext", "4 090000 1\r\n4 090000 2\r\n", 4, 8, 0, 0, None, "4 090000 1"},
        {"FirstOfEqualEntriesIsLast", "4 090000 1\r\n4 090000 2\r\n", 4, 10, 0, 0, "4 090000 1", None},
        {"EntryAtExactlyNowIsNeither", "1 120000 3\r\n", 1, 12, 0, 0, None, None},
        {"CommentsAndMalformedLines", "; 080000 2\r\n;1 080000\r\n1-080000 2\r\n1 080000 2 \r\n 1 080000 2\r\n1 200000 4\r\n", 1, 12, 0, 0, None, "1 200000 4"},
        {"WeekdayOutsideOneToSevenOrALetter", "0 080000 2\r\n8 200000 4\r\n9 060000 1\r\nA 080000 2\r\n", 7, 12, 0, 0, None, None},
        {"TimeWithLettersReadsItsLeadingNumber", "1 08AB00 2\r\n1 X00000 3\r\n", 1, 12, 0, 0, "1 000008 2", None},
        {"NonDigitActionKept", "1 080000 A\r\n1 200000 #\r\n", 1, 12, 0, 0, "1 080000 A", "1 200000 #"},
        {"NegativeTomorrowTimeKeepsTenCharacters", "2 -00005 1\r\n", 1, 12, 0, 0, None, "2 -00005 1"},
        {"BinaryJunkSkipped", junk, 1, 12, 0, 0, "1 080000 2", std::string("1 200000 \xff", 10)},
        {"MissingFileChangesNothing", "<missing>", 1, 12, 0, 0, "1 080000 2", "1 200000 4", "1 080000 2", "1 200000 4"},
        {"NextKeptWhenNothingIsLater", "1 080000 2\r\n4 100000 3\r\n", 1, 12, 0, 0, "1 080000 2", "1 080000 2", None, "1 080000 2"},
        {"HeldThroughItsMinuteWhateverTheWeekday", "1 080000 2\r\n", 1, 12, 0, 30, None, "3 120000 1", None, "3 120000 1"}};
    // clang-format on
    for (const Case& c : cases) {
        test::TestStation ts;
        if (c.file != "<missing>") ts.folder.write("sourceevents.ini", c.file);
        ts.clock.setTime(c.weekday, c.hour, c.minute, c.second);
        ts.state().LastEvent = c.lastBefore;
        ts.state().NextEvent = c.nextBefore;
        tmrLoadEventsAndCalculate_Timer(*ts);
        EXPECT_EQ(ts.state().LastEvent, c.last) << c.name;
        EXPECT_EQ(ts.state().NextEvent, c.next) << c.name;
    }
}

// One station through its week: the labels name each entry's source as the
// list gives it, and a schedule file changed while it runs counts from the next run.
TEST(NextEventCalculation, ScheduleLabelsShowTheEntriesWithTheirSourceNames) {
    test::TestStation ts;
    ts.folder.write("sourcelist.ini", "2n:Breakfast\r\n4n:Drive Time\r\n0u:http://backup/\r\n");
    // clang-format off
    const std::tuple<std::string, int, std::string> cases[] = {  // file, weekday, labels
        {"<missing>", 1, "No Event Next|No Previous Event"},
        {"1 080000 2\r\n1 200000 4\r\n", 1, "Next: Sun 20:00:00  source 4 Drive Time|Last: Sun 08:00:00  source 2 Breakfast"},
        {"7 090000 4\r\n7 235959 0\r\n", 7, "Next: Sat 23:59:59  source 0|Last: Sat 09:00:00  source 4 Drive Time"}};
    // clang-format on
    for (const auto& [events, weekday, labels] : cases) {
        if (events != "<missing>") ts.folder.write("sourceevents.ini", events);
        ts.clock.setTime(weekday, 12, 0, 0);
        tmrLoadEventsAndCalculate_Timer(*ts);
        EXPECT_EQ(ts.console().lblNextEvent.caption + "|" + ts.console().lblLastEvent.caption, labels) << events;
    }
}

}  // namespace
}  // namespace bf
