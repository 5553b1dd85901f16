#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "core/time_format.h"
#include "schedule/event_tick.h"
#include "schedule/next_event.h"
#include "schedule/schedule_file.h"
#include "sources/manual_switch.h"
#include "test_station.h"

namespace bf::test {
namespace {

using Strings = std::vector<std::string>;

// Source N plays "http://stream.example/N"; source 7 has no URL. Every player
// start is noted as "HH:MM:SS N" on the station's clock.
struct Scheduled : TestStation {
    explicit Scheduled(const std::string& schedule) {
        std::string list;
        for (int n = 0; n <= 9; ++n)
            if (n != 7) list += std::to_string(n) + "u:http://stream.example/" + std::to_string(n) + "\r\n";
        folder.write("sourcelist.ini", list);
        folder.write("sourceevents.ini", schedule);
        processes.onCall = [this](const std::string& call) {
            if (call.starts_with("start "))
                aired.push_back(FormatTime(clock.now()) + " " + call.substr(37, 1));
        };
    }
    // The program started now: the schedule is read, then the event tick
    // runs every second and the schedule is read again every ten.
    void start() { tmrLoadEventsAndCalculate_Timer(*station); }
    void run(int seconds) {
        for (int i = 0; i < seconds; ++i) {
            clock.advance(1);
            if (++ticks % 10 == 0) tmrLoadEventsAndCalculate_Timer(*station);
            tmrCheckAndDoEvents_Timer(*station);
        }
    }
    Strings aired;
    int ticks = 0;
};

// Each entry airs once, at its second, whatever second of its minute the
// program started at; also a second entry in the same minute, a pre-roll, an
// entry in the next minute's first seconds.
TEST(ScheduleTest, EveryEntryAirsOnceAtItsSecondWhateverSecondTheProgramStarted) {
    const std::string morning = "1 060000 1\r\n";  // the latest past entry at the start
    // clang-format off
    const std::pair<std::string, Strings> cases[] = {
        {"1 080000 2\r\n1 080005 3\r\n", {"08:00:00 2", "08:00:05 3"}},
        {"1 075930 2\r\n1 080000 3\r\n", {"07:59:30 2", "08:00:00 3"}},
        {"1 080000 2\r\n1 080100 3\r\n1 080209 4\r\n", {"08:00:00 2", "08:01:00 3", "08:02:09 4"}},
        {"1 080000 2\r\n1 080200 3\r\n1 080201 3\r\n", {"08:00:00 2", "08:02:00 3"}}};
    // clang-format on
    for (const auto& [entries, expected] : cases) {
        for (int second = 0; second < 10; ++second) {
            SCOPED_TRACE(entries + " from second " + std::to_string(second));
            Scheduled s(morning + entries);
            s.clock.set(2026, 12, 6, 7, 58, second);
            s.clock.advance(0.5);
            s.start();
            s.run(300);
            Strings want = {"07:58:" + TwoDigits(second + 1) + " 1"};
            want.insert(want.end(), expected.begin(), expected.end());
            EXPECT_EQ(s.aired, want);
        }
    }
}

// A clock stepped forward airs the entry that became the latest past one at
// the next tick; stepped back, nothing that aired airs again, and what comes
// after the last airing airs when its time comes. A switch by hand holds
// until the next entry; so does one while automatic mode was off.
TEST(ScheduleTest, ClockStepsAirTheLatestPastEntryOnceAndSwitchesByHandHoldUntilTheNextEntry) {
    Scheduled s("1 080000 2\r\n1 090000 3\r\n1 100000 4\r\n1 110000 5\r\n1 120000 6\r\n");
    s.clock.set(2026, 12, 6, 7, 59, 58);
    s.start();
    s.run(60);                   // to 08:00:58; last Sunday's 12:00 entry, then 2
    s.clock.step(70 * 60);       // 09:10:58
    s.run(1);                    // 3
    s.clock.step(-70 * 60 - 1);  // 08:00:58
    s.run(4200);                 // to 09:10:58: 3 does not air again
    s.console().comboSourceList.text = "8";
    cmdForceSwitch_Click(*s);
    s.run(60);
    s.clock.advance(3600);  // 10:11:58: automatic mode was off, the 10:00 entry did not air
    ResumeSchedule(*s);
    s.run(1800);  // 8 holds
    s.run(1200);  // to 11:01:58
    EXPECT_EQ(s.aired, (Strings{"07:59:59 6", "08:00:00 2", "09:10:59 3", "09:10:58 8", "11:00:00 5"}));
}

// Europe/Berlin: on 29 March 2026 02:00 becomes 03:00, on 25 October 03:00
// becomes 02:00 again. The skipped hour's entry airs at the change, the
// repeated hour's entries once each. With an empty schedule the first tick puts
// source 9 on air; a source without a URL is refused and nothing plays.
TEST(ScheduleTest, DaylightSavingAirsTheSkippedHoursEntryAtTheChangeTheRepeatedHoursOnceAndEmptyAirsNine) {
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    // The schedule, its start (month, day, hour, minute), the seconds it runs, what airs.
    // clang-format off
    const std::tuple<std::string, int, int, int, int, int, Strings> cases[] = {
        {"1 013000 1\r\n1 023000 2\r\n1 024500 3\r\n1 033000 4\r\n", 3, 29, 1, 50, 3600,  // to 03:50 summer time
         {"01:50:01 1", "03:00:00 3", "03:30:00 4"}},
        {"1 013000 1\r\n1 021000 2\r\n1 024000 3\r\n1 031000 4\r\n", 10, 25, 1, 50, 2 * 3600 + 1800,  // to 03:20 winter time
         {"01:50:01 1", "02:10:00 2", "02:40:00 3", "03:10:00 4"}},
        {"", 12, 6, 12, 0, 3, {"12:00:01 9"}},
        {"1 080000 7\r\n", 12, 6, 12, 0, 3, {}}};
    // clang-format on
    for (const auto& [schedule, month, day, hour, minute, seconds, aired] : cases) {
        Scheduled s(schedule);
        s.clock.set(2026, month, day, hour, minute, 0);
        s.start();
        s.run(seconds);
        EXPECT_EQ(s.aired, aired) << schedule;
    }
    if (old)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(ScheduleFileTest, ReadsEntriesAndTellsWhyOtherLinesAreNone) {
    const std::string text =
        "; comment\r\n\r\n2 070000 3\n3 070000-5\r1 235959 0\r\n0 080000 2\r\n1 250000 2\r\n1 086000 2\r\n"
        "1 08000 2\r\n1-080000 2\r\n1 080000 A\r\n1 080000 2 \r\n";
    const ParsedSchedule parsed = ParseSchedule(text);
    Strings read;
    for (const ScheduleEntry& e : parsed.entries)
        read.push_back(std::to_string(e.line) + ": " + EntryForm(e));
    for (const ScheduleProblem& p : parsed.problems)
        read.push_back(std::to_string(p.line) + ": " + p.message);
    const std::string junk = "not a schedule entry (\"D HHMMSS N\": weekday, time, source)";
    EXPECT_EQ(read, (Strings{"3: 2 070000 3", "4: 3 070000 5", "5: 1 235959 0",
                             "6: weekday 0 is not 1 (Sunday) to 7 (Saturday)",
                             "7: time 25:00:00 is no time of day", "8: time 08:60:00 is no time of day",
                             "9: " + junk, "10: " + junk, "11: " + junk, "12: " + junk}));
}

// The latest past and the next entry over the whole week, named on the console.
TEST(ScheduleFileTest, LastAndNextEntriesSpanTheWeekAndTheLabelsNameTheirSources) {
    // The schedule, the clock (weekday, HHMMSS), LastEvent and NextEvent.
    const std::tuple<std::string, int, int, std::string, std::string> cases[] = {
        {"1 080000 2\r\n1 200000 4\r\n", 1, 120000, "1 080000 2", "1 200000 4"},
        {"7 180000 3\r\n1 090000 5\r\n1 060000 6\r\n", 7, 200000, "7 180000 3", "1 060000 6"},
        {"2 080000 2\r\n", 6, 120000, "2 080000 2", "2 080000 2"},
        {"1 120000 3\r\n1 120000 4\r\n", 1, 120000, "1 120000 3", "1 120000 3"},
        {"", 1, 120000, "X XXXXXX X", "X XXXXXX X"}};
    for (const auto& [schedule, weekday, hhmmss, last, next] : cases) {
        TestStation ts;
        ts.folder.write("sourceevents.ini", schedule);
        ts.clock.setTime(weekday, hhmmss / 10000, hhmmss / 100 % 100, hhmmss % 100);
        tmrLoadEventsAndCalculate_Timer(*ts);
        EXPECT_EQ(Items(*ts, "LastEvent NextEvent"), "LastEvent=" + last + " NextEvent=" + next) << schedule;
    }
    TestStation ts;
    ts.folder.write("sourcelist.ini", "2n:Breakfast\r\n4n:Drive Time\r\n0u:http://backup/\r\n");
    ts.folder.write("sourceevents.ini", "7 090000 4\r\n7 235959 0\r\n");
    ts.clock.setTime(7, 12, 0, 0);
    tmrLoadEventsAndCalculate_Timer(*ts);
    EXPECT_EQ(
        Items(*ts, "lblNextEvent lblLastEvent"),
        "lblNextEvent=Next: Sat 23:59:59  source 0 lblLastEvent=Last: Sat 09:00:00  source 4 Drive Time");
    // No schedule: the last one stays.
    ts.folder.write("sourceevents.ini", std::string(2 * 1024 * 1024, '\n'));
    tmrLoadEventsAndCalculate_Timer(*ts);
    EXPECT_EQ(Items(*ts, "LastEvent"), "LastEvent=7 090000 4");
}

}  // namespace
}  // namespace bf::test
