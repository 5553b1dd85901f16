#include "schedule/next_event.h"

#include <gtest/gtest.h>

#include "test_station.h"

namespace bf {
namespace {

constexpr const char* None = "X XXXXXX X";

std::string Junk() {
    std::string junk;
    for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 7919 + 13) % 256);
    junk += "\r\n1 080000 2\r\n" + std::string("\x00 \xff\x80\x01\x02\x03\x04\x05\x06", 10) + "\r\n";
    junk += std::string("1 \x00\x00\x00\x00\x00\x00 \x00", 10) + "\r\n";  // time reads as 0: a past entry
    return junk + std::string("1 200000 \xff", 10);
}

struct Case {
    const char* name;
    std::string file;  // "<missing>": no file
    int weekday, hour, minute, second;
    std::string last, next;
    std::string lastBefore = None, nextBefore = None;
};

TEST(NextEventCalculation, PicksTheLastPastAndTheNextEntry) {
    const std::string junk = Junk();
    // clang-format off
    const Case cases[] = {
        {"SundayNoon", "1 080000 2\r\n1 200000 4\r\n", 1, 12, 0, 0, "1 080000 2", "1 200000 4"},
        {"SundayNightTakesMondaysFirst", "1 080000 2\r\n1 200000 4\r\n2 060000 1\r\n", 1, 21, 0, 0, "1 200000 4", "2 060000 1"},
        {"SaturdayRollsOverToSunday", "7 180000 3\r\n1 090000 5\r\n1 060000 6\r\n2 050000 1\r\n", 7, 20, 0, 0, "7 180000 3", "1 060000 6"},
        {"TomorrowWaitsWhileTodayHasALaterEntry", "2 010000 1\r\n1 230000 3\r\n", 1, 12, 0, 0, None, "1 230000 3"},
        {"SeparatorRebuiltAsBlank", "3 070000-5\r\n", 3, 6, 0, 0, None, "3 070000 5"},
        {"EightCharacterLineIgnored", "1 7000 2\r\n", 1, 0, 30, 0, None, None},
        {"ShortTimeComparesAsNumberBeforeOne", "1 7000 2\r\n1 007000 2\r\n", 1, 0, 59, 59, None, "1 007000 2"},
        {"ShortTimeComparesAsNumberAfterOne", "1 007000 2\r\n", 1, 1, 0, 0, "1 007000 2", None},
        {"FirstOfEqualEntriesIsNext", "4 090000 1\r\n4 090000 2\r\n", 4, 8, 0, 0, None, "4 090000 1"},
        {"FirstOfEqualEntriesIsLast", "4 090000 1\r\n4 090000 2\r\n", 4, 10, 0, 0, "4 090000 1", None},
        {"EntryAtExactlyNowIsNeither", "1 120000 3\r\n", 1, 12, 0, 0, None, None},
        {"LoneLfAndLoneCrEndLines", "1 080000 2\n1 200000 4\r2 010000 1", 1, 12, 0, 0, "1 080000 2", "1 200000 4"},
        {"CommentsAndMalformedLines", "; 080000 2\r\n;1 080000\r\n1-080000 2\r\n1 080000 2 \r\n 1 080000 2\r\n1 200000 4\r\n", 1, 12, 0, 0, None, "1 200000 4"},
        {"WeekdayOutsideOneToSevenOrALetter", "0 080000 2\r\n8 200000 4\r\n9 060000 1\r\nA 080000 2\r\n", 7, 12, 0, 0, None, None},
        {"TimeWithLettersReadsItsLeadingNumber", "1 08AB00 2\r\n1 X00000 3\r\n", 1, 12, 0, 0, "1 000008 2", None},
        {"NonDigitActionKept", "1 080000 A\r\n1 200000 #\r\n", 1, 12, 0, 0, "1 080000 A", "1 200000 #"},
        {"NegativeTomorrowTimeKeepsTenCharacters", "2 -00005 1\r\n", 1, 12, 0, 0, None, "2 -00005 1"},
        {"HalfWrittenLastLineIgnored", "1 080000 2\r\n1 2000", 1, 12, 0, 0, "1 080000 2", None},
        {"BinaryJunkSkipped", junk, 1, 12, 0, 0, "1 080000 2", std::string("1 200000 \xff", 10)},
        {"EmptyFile", "", 1, 12, 0, 0, None, None},
        {"MissingFileChangesNothing", "<missing>", 1, 12, 0, 0, "1 080000 2", "1 200000 4", "1 080000 2", "1 200000 4"},
        {"NextKeptWhenNothingIsLater", "1 080000 2\r\n4 100000 3\r\n", 1, 12, 0, 0, "1 080000 2", "1 080000 2", None, "1 080000 2"},
        {"FreezeComparesTheMinuteNotTheWeekday", "1 080000 2\r\n", 1, 12, 0, 30, None, "3 120000 1", None, "3 120000 1"}};
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

TEST(NextEventCalculation, HoldsTheNextEntryThroughItsMinuteThenMovesOn) {
    test::TestStation ts;
    ts.folder.write("sourceevents.ini", "2 070000 3\r\n2 080000 4\r\n");
    for (const auto& [hour, minute, second, last, next] : {std::tuple{6, 59, 58, None, "2 070000 3"},
                                                           {7, 0, 5, None, "2 070000 3"},
                                                           {7, 1, 5, "2 070000 3", "2 080000 4"}}) {
        ts.clock.setTime(2, hour, minute, second);
        tmrLoadEventsAndCalculate_Timer(*ts);
        EXPECT_EQ(ts.state().LastEvent, last) << hour << ":" << minute;
        EXPECT_EQ(ts.state().NextEvent, next) << hour << ":" << minute;
    }
}

TEST(NextEventCalculation, ScheduleLabelsShowTheEntriesWithTheirSourceNames) {
    struct Case {
        const char* name;
        std::string events;  // "<missing>": no file
        int weekday, hour, minute, second;
        std::string nextBefore, next, last;
    };
    // clang-format off
    const Case cases[] = {
        {"NoSchedule", "<missing>", 1, 12, 0, 0, None, "No Event Next", "No Previous Event"},
        {"TodayBothWays", "1 080000 2\r\n1 200000 4\r\n", 1, 12, 0, 0, None,
         "Next: Sun 20:00:00  source 4 Drive Time", "Last: Sun 08:00:00  source 2 Breakfast"},
        {"TomorrowsUnnamedSource", "7 235959 0\r\n", 6, 23, 0, 0, None, "Next: Sat 23:59:59  source 0", "No Previous Event"},
        {"HeldThroughItsMinute", "1 080000 2\r\n", 1, 12, 0, 30, "3 120000 4", "Next: Tue 12:00:00  source 4 Drive Time", "No Previous Event"}};
    // clang-format on
    for (const Case& c : cases) {
        test::TestStation ts;
        ts.folder.write("sourcelist.ini", "2n:Breakfast\r\n4n:Drive Time\r\n0u:http://backup/\r\n");
        if (c.events != "<missing>") ts.folder.write("sourceevents.ini", c.events);
        ts.clock.setTime(c.weekday, c.hour, c.minute, c.second);
        ts.state().NextEvent = c.nextBefore;
        tmrLoadEventsAndCalculate_Timer(*ts);
        EXPECT_EQ(ts.console().lblNextEvent.caption, c.next) << c.name;
        EXPECT_EQ(ts.console().lblLastEvent.caption, c.last) << c.name;
    }
}

}  // namespace
}  // namespace bf
