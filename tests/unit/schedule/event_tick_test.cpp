#include "schedule/event_tick.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/startup.h"
#include "sources/health_check.h"
#include "test_station.h"

namespace bf {
namespace {

using Strings = std::vector<std::string>;

// A station whose source N plays "http://stream.example/N".
struct Scheduled {
    test::TestStation ts;
    Scheduled() {
        std::string list;
        for (int n = 0; n <= 9; ++n)
            list += std::to_string(n) + "u:http://stream.example/" + std::to_string(n) + "\r\n";
        ts.folder.write("sourcelist.ini", list);
    }
    void tick() { tmrCheckAndDoEvents_Timer(*ts); }
    // Every player start so far as "mplayer1 N".
    Strings starts() const {
        Strings out;
        for (const auto& s : ts.processes.starts)
            out.push_back(std::filesystem::path(s.program).filename().string() + " " +
                          s.args.at(0).substr(22));
        return out;
    }
    // The source on air and its two labels, which every tick sets.
    std::string onAir() { return test::Items(*ts, "CurrentSource lblSourceNumber lblSourceDisp WasPlaying"); }
};

std::string OnAir(int source, int wasPlaying = -1) {
    const std::string n = std::to_string(source);
    return "CurrentSource=" + n + " lblSourceNumber=" + n + " lblSourceDisp=" + n +
           " WasPlaying=" + std::to_string(wasPlaying);
}

struct TickCase {
    const char* name;
    int16_t current, wasPlaying, silence;
    std::string last, next;
    int weekday, hour, minute, second;
    int onAir, wasPlayingAfter;
    Strings starts;
};

TEST(EventTick, EachTickPutsTheSourceOfHighestPrecedenceOnAir) {
    const char* X = "X XXXXXX X";
    // clang-format off
    const TickCase cases[] = {
        {"StartPlaysTodaysLastPastEntry", -1, -1, 0, "1 080000 2", X, 1, 12, 0, 0, 2, -1, {"mplayer1 2"}},
        {"StartWithoutPastEntryPlaysNine", -1, -1, 0, X, X, 1, 12, 0, 0, 9, -1, {"mplayer1 9"}},
        {"StartWithNonDigitActionPlaysNine", -1, -1, 0, "1 080000 A", X, 1, 12, 0, 0, 9, -1, {"mplayer1 9"}},
        {"TargetAlreadyOnAir", 4, -1, 0, X, X, 1, 12, 0, 0, 4, -1, {}},
        {"NumberAboveNineStaysOnAir", 12, -1, 0, X, X, 1, 12, 0, 0, 12, -1, {}},
        {"NotDueBeforeItsSecond", 1, -1, 0, X, "2 070030 3", 2, 7, 0, 29, 1, -1, {}},
        {"DueAtItsSecond", 1, -1, 0, X, "2 070030 3", 2, 7, 0, 30, 3, -1, {"mplayer1 3"}},
        {"DueToTheEndOfItsMinute", 1, -1, 0, X, "2 070030 3", 2, 7, 0, 59, 3, -1, {"mplayer1 3"}},
        {"NotDueInTheNextMinute", 1, -1, 0, X, "2 070030 3", 2, 7, 1, 30, 1, -1, {}},
        {"NotDueOnAnotherWeekday", 1, -1, 0, X, "2 070030 3", 3, 7, 0, 30, 1, -1, {}},
        {"DueNonDigitActionPlaysZero", 9, -1, 0, X, "1 200000 A", 1, 20, 0, 0, 0, -1, {"mplayer1 0"}},
        {"SilencePlaysTheBackupAndKeepsTheSource", 3, -1, 1, X, X, 1, 12, 0, 0, 0, 3, {"mplayer1 0"}},
        {"SilenceWithTheBackupOnAir", 0, -1, 1, X, X, 1, 12, 0, 0, 0, 0, {}},
        {"DueEntryDuringFailoverKeepsTheBackup", 0, -1, 1, X, "1 200000 4", 1, 20, 0, 0, 0, 0, {}},
        {"BackupReturnsAfterTheEntrysMinute", 4, -1, 1, X, "1 200000 4", 1, 20, 1, 0, 0, 4, {"mplayer1 0"}},
        {"WatchdogRestartPlaysThePendingSource", -1, 5, 0, "1 080000 2", X, 1, 12, 0, 0, 5, -1, {"mplayer1 5"}},
        {"ReturnAfterFailoverConsumesThePending", 2, 2, 0, X, X, 1, 12, 0, 0, 2, -1, {}},
        {"PendingAboveNinePlaysItsLastDigit", 3, 12, 0, X, X, 1, 12, 0, 0, 12, -1, {"mplayer1 2"}}};
    // clang-format on
    for (const TickCase& c : cases) {
        Scheduled s;
        StationState& st = s.ts.state();
        st.CurrentSource = c.current;
        st.WasPlaying = c.wasPlaying;
        st.SilenceFlag = c.silence;
        st.LastEvent = c.last;
        st.NextEvent = c.next;
        s.ts.clock.setTime(c.weekday, c.hour, c.minute, c.second);
        s.tick();
        EXPECT_EQ(s.onAir(), OnAir(c.onAir, c.wasPlayingAfter)) << c.name;
        EXPECT_EQ(s.starts(), c.starts) << c.name;
    }
}

struct EventTickTest : ::testing::Test, Scheduled {};

TEST_F(EventTickTest, DueEntrySwitchesOnceInItsMinute) {
    ts.state().CurrentSource = 1;
    ts.state().NextEvent = "2 070030 3";
    for (int second = 29; second <= 59; ++second) {
        ts.clock.setTime(2, 7, 0, second);
        tick();
    }
    EXPECT_EQ(onAir(), OnAir(3));
    EXPECT_EQ(starts(), Strings{"mplayer1 3"});
}

// During failover a due entry becomes the source to return to: the backup
// stays on air until a check of that source passes, then the source airs.
TEST_F(EventTickTest, EntryDueDuringFailoverAirsOnceItsSourceAnswers) {
    StationState& st = ts.state();
    st.CurrentSource = 0;
    st.SilenceFlag = 1;
    st.LinkSource = 3;
    st.LinkFailCount = 3;
    st.LinkStoredSource = "http://stream.example/3";
    st.NextEvent = "1 200000 4";
    for (int second = 0; second < 3; ++second) {
        ts.clock.setTime(1, 20, 0, second);
        tick();
    }
    EXPECT_EQ(test::Items(*ts, "LinkSource LinkStoredSource SilenceFlag"),
              "LinkSource=4 LinkStoredSource=http://stream.example/4 SilenceFlag=1");
    EXPECT_TRUE(starts().empty());
    ts.InetTestURL.queue("", 200);
    tmrSourceCheck_Timer(*ts);
    tick();
    EXPECT_EQ(ts.InetTestURL.headerRequests, Strings{"http://stream.example/4"});
    EXPECT_EQ(onAir(), OnAir(4));
    EXPECT_EQ(starts(), Strings{"mplayer1 4"});
}

// A due entry, or the failover, aimed at a source without a URL: nothing
// changes for the whole minute but one line in the station log.
TEST_F(EventTickTest, SourceWithoutAUrlIsRefusedOnceAndWhatPlaysStaysOnAir) {
    ts.folder.write("sourcelist.ini", "1u:http://stream.example/1\r\n7n:Empty\r\n");
    for (const int16_t silence : {0, 1}) {
        ts.state().CurrentSource = 1;
        ts.state().SilenceFlag = silence;
        ts.state().NextEvent = silence ? "X XXXXXX X" : "2 070030 7";
        for (int second = 30; second < 60; ++second) {
            ts.clock.setTime(2, 7, 0, second);
            tick();
        }
        EXPECT_EQ(ts.state().CurrentSource, 1) << silence;
    }
    EXPECT_TRUE(starts().empty());
    EXPECT_EQ(ts.console().txtAIR,
              " 2026-12-06 07:00:30  SYS - SWITCH REFUSED - NO PLAYABLE URL (SOURCE 0)\r\n"
              " 2026-12-06 07:00:30  SYS - SWITCH REFUSED - NO PLAYABLE URL (SOURCE 7)\r\n");
}

TEST_F(EventTickTest, AfterStartupTheFirstTickPlaysTodaysLastEntryAndTheScheduleTakesOver) {
    ts.folder.write("sourceevents.ini", "1 080000 2\r\n1 200000 4\r\n");
    Startup(*ts);
    ts.timers.fire(TimerName::CheckAndDoEvents);
    EXPECT_EQ(onAir(), OnAir(2));
    for (const auto& [hour, minute, second] : {std::tuple{19, 59, 55}, {20, 0, 0}}) {
        ts.clock.setTime(1, hour, minute, second);
        ts.timers.fire(TimerName::LoadEventsAndCalculate);
        ts.timers.fire(TimerName::CheckAndDoEvents);
    }
    EXPECT_EQ(onAir(), OnAir(4));
    EXPECT_EQ(starts(), (Strings{"mplayer1 2", "mplayer2 4"}));
}

}  // namespace
}  // namespace bf
