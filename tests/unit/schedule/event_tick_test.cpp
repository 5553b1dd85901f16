#include "schedule/event_tick.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/startup.h"
#include "test_station.h"

namespace bf::test {
namespace {

// Source N plays "http://stream.example/N"; source 7 has no URL.
struct Scheduled : TestStation {
    Scheduled() {
        std::string list;
        for (int n = 0; n <= 9; ++n)
            if (n != 7) list += std::to_string(n) + "u:http://stream.example/" + std::to_string(n) + "\r\n";
        folder.write("sourcelist.ini", list);
    }
    // "CurrentSource WasPlaying LinkSource:", then every player start so far as " mplayerN N".
    std::string result() {
        const StationState& s = state();
        std::string out = std::to_string(s.CurrentSource) + " " + std::to_string(s.WasPlaying) + " " +
                          std::to_string(s.LinkSource) + ":";
        for (const auto& start : processes.starts)
            out += " " + std::filesystem::path(start.program).filename().string() + " " + start.args.at(0).substr(22);
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
    const char* X = "X XXXXXX X";
    // clang-format off
    const TickCase cases[] = {
        {"StartPlaysTodaysLastPastEntry", -1, -1, 0, "1 080000 2", X, 1, 12, 0, 0, "2 -1 0: mplayer1 2"},
        {"StartWithoutPastEntryPlaysNine", -1, -1, 0, X, X, 1, 12, 0, 0, "9 -1 0: mplayer1 9"},
        {"StartWithNonDigitActionPlaysNine", -1, -1, 0, "1 080000 A", X, 1, 12, 0, 0, "9 -1 0: mplayer1 9"},
        {"NumberAboveNineStaysOnAir", 12, -1, 0, X, X, 1, 12, 0, 0, "12 -1 0:"},
        {"NotDueBeforeItsSecond", 1, -1, 0, X, "2 070030 3", 2, 7, 0, 29, "1 -1 0:"},
        {"DueAtItsSecond", 1, -1, 0, X, "2 070030 3", 2, 7, 0, 30, "3 -1 0: mplayer1 3"},
        {"DueToTheEndOfItsMinute", 1, -1, 0, X, "2 070030 3", 2, 7, 0, 59, "3 -1 0: mplayer1 3"},
        {"DueEntryAlreadyOnAirSwitchesNothing", 3, -1, 0, X, "2 070030 3", 2, 7, 0, 45, "3 -1 0:"},
        {"NotDueInTheNextMinute", 1, -1, 0, X, "2 070030 3", 2, 7, 1, 30, "1 -1 0:"},
        {"NotDueOnAnotherWeekday", 1, -1, 0, X, "2 070030 3", 3, 7, 0, 30, "1 -1 0:"},
        {"DueNonDigitActionPlaysZero", 9, -1, 0, X, "1 200000 A", 1, 20, 0, 0, "0 -1 0: mplayer1 0"},
        {"DueSourceWithoutUrlKeepsWhatPlays", 1, -1, 0, X, "2 070030 7", 2, 7, 0, 30, "1 -1 0:"},
        {"SilencePlaysTheBackupAndKeepsTheSource", 3, -1, 1, X, X, 1, 12, 0, 0, "0 3 0: mplayer1 0"},
        {"SilenceWithTheBackupOnAir", 0, -1, 1, X, X, 1, 12, 0, 0, "0 0 0:"},
        {"DueEntryDuringFailoverIsTheSourceToReturnTo", 0, -1, 1, X, "1 200000 4", 1, 20, 0, 0, "0 0 4:"},
        {"BackupReturnsAfterTheEntrysMinute", 4, -1, 1, X, "1 200000 4", 1, 20, 1, 0, "0 4 0: mplayer1 0"},
        {"WatchdogRestartPlaysThePendingSource", -1, 5, 0, "1 080000 2", X, 1, 12, 0, 0, "5 -1 0: mplayer1 5"},
        {"ReturnAfterFailoverConsumesThePending", 2, 2, 0, X, X, 1, 12, 0, 0, "2 -1 0:"},
        {"PendingAboveNinePlaysItsLastDigit", 3, 12, 0, X, X, 1, 12, 0, 0, "12 -1 0: mplayer1 2"}};
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
        const std::string shown = std::to_string(st.CurrentSource);
        EXPECT_EQ(Items(*s, "lblSourceNumber lblSourceDisp"), "lblSourceNumber=" + shown + " lblSourceDisp=" + shown);
    }
}

TEST(EventTick, AfterStartupTheFirstTickPlaysTodaysLastPastEntryAndTheScheduleMovesOn) {
    Scheduled s;
    s.folder.write("sourceevents.ini", "1 080000 2\r\n1 200000 4\r\n");
    Startup(*s);
    s.timers.fire(TimerName::CheckAndDoEvents);
    EXPECT_EQ(s.result(), "2 -1 0: mplayer1 2");
    s.clock.setTime(1, 21, 0, 0);
    s.timers.fire(TimerName::LoadEventsAndCalculate);
    EXPECT_EQ(s.state().LastEvent, "1 200000 4");
}

}  // namespace
}  // namespace bf::test
