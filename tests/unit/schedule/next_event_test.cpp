#include "schedule/next_event.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_station.h"

namespace bf {
namespace {

constexpr const char* None = "X XXXXXX X";

std::string CrLf(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& l : lines) text += l + "\r\n";
    return text;
}

struct CalcCase {
    const char* name;
    std::string file;
    int weekday, hour, minute, second;
    std::string expectedLast;
    std::string expectedNext;
};

void PrintTo(const CalcCase& c, std::ostream* os) { *os << c.name; }

class NextEventCalculation : public ::testing::TestWithParam<CalcCase> {};

TEST_P(NextEventCalculation, PicksLastAndNextEntry) {
    const CalcCase& c = GetParam();
    test::TestStation ts;
    ts.folder.write("sourceevents.ini", c.file);
    ts.clock.setTime(c.weekday, c.hour, c.minute, c.second);

    tmrLoadEventsAndCalculate_Timer(*ts);

    EXPECT_EQ(ts.state().LastEvent, c.expectedLast);
    EXPECT_EQ(ts.state().NextEvent, c.expectedNext);
}

const std::vector<std::string> SundayPair = {"1 080000 2", "1 200000 4"};

INSTANTIATE_TEST_SUITE_P(
    Schedules, NextEventCalculation,
    ::testing::Values(
        CalcCase{"SundayNoonBetweenTwoEntries", CrLf(SundayPair), 1, 12, 0, 0, "1 080000 2", "1 200000 4"},
        CalcCase{"SundayNightTakesMondaysFirstEntry", CrLf({"1 080000 2", "1 200000 4", "2 060000 1"}), 1, 21, 0, 0,
                 "1 200000 4", "2 060000 1"},
        CalcCase{"SaturdayEveningRollsOverToSunday",
                 CrLf({"7 180000 3", "1 090000 5", "1 060000 6", "2 050000 1"}), 7, 20, 0, 0, "7 180000 3",
                 "1 060000 6"},
        CalcCase{"TomorrowIgnoredWhileTodayHasALaterEntry", CrLf({"2 010000 1", "1 230000 3"}), 1, 12, 0, 0, None,
                 "1 230000 3"},
        CalcCase{"SeparatorIsNotExaminedAndRebuiltAsBlank", CrLf({"3 070000-5"}), 3, 6, 0, 0, None, "3 070000 5"},
        CalcCase{"EightCharacterLineIgnored", CrLf({"1 7000 2"}), 1, 0, 30, 0, None, None},
        CalcCase{"ShortTimeComparesAsNumberBeforeOneOClock", CrLf({"1 7000 2", "1 007000 2"}), 1, 0, 59, 59, None,
                 "1 007000 2"},
        CalcCase{"ShortTimeComparesAsNumberAfterOneOClock", CrLf({"1 007000 2"}), 1, 1, 0, 0, "1 007000 2", None},
        CalcCase{"FirstOfTwoEqualEntriesWinsAsNext", CrLf({"4 090000 1", "4 090000 2"}), 4, 8, 0, 0, None,
                 "4 090000 1"},
        CalcCase{"FirstOfTwoEqualEntriesWinsAsLast", CrLf({"4 090000 1", "4 090000 2"}), 4, 10, 0, 0, "4 090000 1",
                 None},
        CalcCase{"EntryAtExactlyNowIsNeitherLastNorNext", CrLf({"1 120000 3"}), 1, 12, 0, 0, None, None},
        CalcCase{"LinesEndAtLoneLf", "1 080000 2\n1 200000 4\n", 1, 12, 0, 0, "1 080000 2", "1 200000 4"},
        CalcCase{"LinesEndAtLoneCrAndLastLineNeedsNoEnd", "1 080000 2\r1 200000 4", 1, 12, 0, 0, "1 080000 2",
                 "1 200000 4"},
        CalcCase{"CommentsAndMalformedLinesIgnored",
                 CrLf({"; 080000 2", ";1 080000", "1-080000 2", "1 080000 2 ", " 1 080000 2", "1 200000 4"}), 1, 12,
                 0, 0, None, "1 200000 4"},
        CalcCase{"WeekdayOutsideOneToSevenNeverMatches", CrLf({"0 080000 2", "8 200000 4", "9 060000 1"}), 7, 12, 0,
                 0, None, None},
        CalcCase{"WeekdayLetterNeverMatches", CrLf({"A 080000 2", "S 200000 4"}), 1, 12, 0, 0, None, None},
        CalcCase{"TimeWithLettersReadsItsLeadingNumber", CrLf({"1 08AB00 2", "1 X00000 3"}), 1, 12, 0, 0,
                 "1 000008 2", None},
        CalcCase{"NonDigitActionKeptAsItIs", CrLf({"1 080000 A", "1 200000 #"}), 1, 12, 0, 0, "1 080000 A",
                 "1 200000 #"},
        CalcCase{"NegativeTomorrowTimeKeepsTenCharacters", CrLf({"2 -00005 1"}), 1, 12, 0, 0, None, "2 -00005 1"},
        CalcCase{"HalfWrittenLastLineIgnored", "1 080000 2\r\n1 2000", 1, 12, 0, 0, "1 080000 2", None},
        CalcCase{"EmptyFileFindsNothing", "", 1, 12, 0, 0, None, None}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NextEventCalculationState, MissingFileLeavesBothEntriesUnchanged) {
    test::TestStation ts;
    ts.state().LastEvent = "1 080000 2";
    ts.state().NextEvent = "1 200000 4";
    tmrLoadEventsAndCalculate_Timer(*ts);
    EXPECT_EQ(ts.state().LastEvent, "1 080000 2");
    EXPECT_EQ(ts.state().NextEvent, "1 200000 4");
}

TEST(NextEventCalculationState, KeepsNextEventWhenTodayAndTomorrowHaveNoLaterEntry) {
    test::TestStation ts;
    ts.folder.write("sourceevents.ini", CrLf({"1 080000 2", "4 100000 3"}));
    ts.state().NextEvent = "1 080000 2";  // already fired this morning
    tmrLoadEventsAndCalculate_Timer(*ts);
    EXPECT_EQ(ts.state().NextEvent, "1 080000 2");
    EXPECT_EQ(ts.state().LastEvent, "1 080000 2");
}

TEST(NextEventCalculationState, HoldsNextEventThroughItsMinuteThenMovesOn) {
    test::TestStation ts;
    ts.folder.write("sourceevents.ini", CrLf({"2 070000 3", "2 080000 4"}));
    ts.clock.setTime(2, 6, 59, 58);
    tmrLoadEventsAndCalculate_Timer(*ts);
    ASSERT_EQ(ts.state().NextEvent, "2 070000 3");
    const std::string lastBefore = ts.state().LastEvent;

    ts.clock.setTime(2, 7, 0, 5);
    tmrLoadEventsAndCalculate_Timer(*ts);
    EXPECT_EQ(ts.state().NextEvent, "2 070000 3");
    EXPECT_EQ(ts.state().LastEvent, lastBefore);

    ts.clock.setTime(2, 7, 1, 5);
    tmrLoadEventsAndCalculate_Timer(*ts);
    EXPECT_EQ(ts.state().NextEvent, "2 080000 4");
    EXPECT_EQ(ts.state().LastEvent, "2 070000 3");
}

TEST(NextEventCalculationState, FreezeComparesTheMinuteOnlyNotTheWeekday) {
    test::TestStation ts;
    ts.folder.write("sourceevents.ini", CrLf(SundayPair));
    ts.state().NextEvent = "3 120000 1";  // a Tuesday entry, while it is Sunday 12:00
    ts.clock.setTime(1, 12, 0, 30);
    tmrLoadEventsAndCalculate_Timer(*ts);
    EXPECT_EQ(ts.state().NextEvent, "3 120000 1");
    EXPECT_EQ(ts.state().LastEvent, None);
}

TEST(NextEventCalculationState, BinaryJunkIsSkippedAndEntriesStayTenBytes) {
    test::TestStation ts;
    std::string junk;
    for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 7919 + 13) % 256);
    junk += "\r\n1 080000 2\r\n";
    junk += std::string("\x00 \xff\x80\x01\x02\x03\x04\x05\x06", 10) + "\r\n";
    junk += std::string("1 \x00\x00\x00\x00\x00\x00 \x00", 10) + "\r\n";  // time reads as 0: a past entry
    junk += std::string("1 200000 \xff", 10);
    ts.folder.write("sourceevents.ini", junk);

    tmrLoadEventsAndCalculate_Timer(*ts);

    EXPECT_EQ(ts.state().LastEvent, "1 080000 2");
    EXPECT_EQ(ts.state().NextEvent, std::string("1 200000 \xff", 10));
}

}  // namespace
}  // namespace bf
