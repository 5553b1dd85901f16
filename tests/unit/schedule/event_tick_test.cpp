#include "schedule/event_tick.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "console/console_buttons.h"
#include "core/startup.h"
#include "schedule/next_event.h"
#include "test_station.h"

namespace bf {
namespace {

std::string UrlOf(int source) { return "http://stream.example/s" + std::to_string(source); }

class EventTick : public ::testing::Test {
protected:
    EventTick() {
        std::string list;
        for (int n = 0; n <= 9; ++n) list += std::to_string(n) + "u:" + UrlOf(n) + "\r\n";
        ts.folder.write("sourcelist.ini", list);
        ts.state().CurrentSource = -1;
    }

    void tick() { tmrCheckAndDoEvents_Timer(*ts); }

    // Every player start so far as "mplayer1 URL".
    std::vector<std::string> starts() const {
        std::vector<std::string> out;
        for (const auto& s : ts.processes.starts)
            out.push_back(std::filesystem::path(s.program).filename().string() + " " +
                          (s.args.empty() ? std::string() : s.args[0]));
        return out;
    }

    void expectOnAir(int source) {
        EXPECT_EQ(ts.state().CurrentSource, source);
        EXPECT_EQ(ts.console().lblSourceNumber.caption, std::to_string(source));
        EXPECT_EQ(ts.console().lblSourceDisp.caption, std::to_string(source));
    }

    test::TestStation ts;
};

TEST_F(EventTick, FirstTickPutsTheLastPastEntrysSourceOnAirOnSlotOne) {
    ts.state().LastEvent = "1 080000 2";
    tick();
    expectOnAir(2);
    EXPECT_EQ(starts(), std::vector<std::string>{"mplayer1 " + UrlOf(2)});
}

TEST_F(EventTick, FirstTickWithoutPastEntryPlaysSourceNine) {
    tick();
    expectOnAir(9);
    EXPECT_EQ(starts(), std::vector<std::string>{"mplayer1 " + UrlOf(9)});
}

TEST_F(EventTick, NonDigitActionGivesSourceNineAtStartAndSourceZeroWhenDue) {
    ts.state().LastEvent = "1 080000 A";
    ts.state().NextEvent = "1 200000 A";
    tick();
    expectOnAir(9);

    ts.clock.setTime(1, 20, 0, 0);
    tick();
    expectOnAir(0);
    EXPECT_EQ(starts().back(), "mplayer2 " + UrlOf(0));
}

TEST_F(EventTick, NoSwitchWhenTheTargetIsAlreadyOnAir) {
    ts.state().CurrentSource = 4;
    tick();
    expectOnAir(4);  // the labels are set on every tick
    EXPECT_TRUE(starts().empty());
}

struct DueCase {
    int minute, second;
    bool due;
};

class EventTickDueWindow : public EventTick, public ::testing::WithParamInterface<DueCase> {};

TEST_P(EventTickDueWindow, EntryIsDueFromItsSecondToTheEndOfItsMinute) {
    ts.clock.setTime(2, 7, GetParam().minute, GetParam().second);
    ts.state().CurrentSource = 1;
    ts.state().NextEvent = "2 070030 3";
    tick();
    expectOnAir(GetParam().due ? 3 : 1);
    EXPECT_EQ(starts().size(), GetParam().due ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Seconds, EventTickDueWindow,
                         ::testing::Values(DueCase{0, 29, false}, DueCase{0, 30, true}, DueCase{0, 45, true},
                                           DueCase{0, 59, true}, DueCase{1, 30, false}));

TEST_F(EventTick, EntryOfAnotherWeekdayIsNotDue) {
    ts.clock.setTime(3, 7, 0, 30);
    ts.state().CurrentSource = 1;
    ts.state().NextEvent = "2 070030 3";
    tick();
    expectOnAir(1);
}

TEST_F(EventTick, DueEntrySwitchesOnceInItsMinute) {
    ts.clock.setTime(2, 7, 0, 29);
    ts.state().CurrentSource = 1;
    ts.state().NextEvent = "2 070030 3";
    for (int second = 29; second <= 59; ++second) {
        ts.clock.setTime(2, 7, 0, second);
        tick();
    }
    expectOnAir(3);
    EXPECT_EQ(starts(), std::vector<std::string>{"mplayer1 " + UrlOf(3)});
}

TEST_F(EventTick, SilenceSwitchesToBackupAndRemembersTheSelectedSource) {
    ts.state().CurrentSource = 3;
    ts.state().SilenceFlag = 1;
    tick();
    expectOnAir(0);
    EXPECT_EQ(ts.state().WasPlaying, 3);
    EXPECT_EQ(starts(), std::vector<std::string>{"mplayer1 " + UrlOf(0)});

    tick();
    expectOnAir(0);
    EXPECT_EQ(ts.state().WasPlaying, 0);
    EXPECT_EQ(starts().size(), 1u);
}

TEST_F(EventTick, DueEntryWinsOverTheBackupForItsMinuteOnly) {
    ts.state().CurrentSource = 0;
    ts.state().SilenceFlag = 1;
    ts.state().NextEvent = "1 200000 4";
    ts.clock.setTime(1, 20, 0, 0);
    tick();
    expectOnAir(4);

    ts.clock.setTime(1, 20, 1, 0);
    tick();
    expectOnAir(0);
    EXPECT_EQ(starts(), (std::vector<std::string>{"mplayer1 " + UrlOf(4), "mplayer2 " + UrlOf(0)}));
}

TEST_F(EventTick, WatchdogRestartPlaysThePendingSourceAgain) {
    ts.state().CurrentSource = -1;
    ts.state().WasPlaying = 5;
    ts.state().LastEvent = "1 080000 2";
    tick();
    expectOnAir(5);
    EXPECT_EQ(ts.state().WasPlaying, -1);
    EXPECT_EQ(starts(), std::vector<std::string>{"mplayer1 " + UrlOf(5)});
}

TEST_F(EventTick, ReturnAfterFailoverConsumesThePendingSourceWithoutSwitching) {
    ts.state().CurrentSource = 2;
    ts.state().WasPlaying = 2;
    tick();
    expectOnAir(2);
    EXPECT_EQ(ts.state().WasPlaying, -1);
    EXPECT_TRUE(starts().empty());
}

TEST_F(EventTick, TargetAboveNineIsKeptWholeAndPlaysItsLastDigit) {
    ts.state().CurrentSource = 3;
    ts.state().WasPlaying = 12;
    tick();
    expectOnAir(12);
    EXPECT_EQ(starts(), std::vector<std::string>{"mplayer1 " + UrlOf(2)});

    tick();  // 12 stays on air: no switch back and forth
    EXPECT_EQ(starts().size(), 1u);
}

TEST_F(EventTick, ManualModeHoldsARestartUntilAutomaticReturns) {
    DefineTimers(*ts);
    ts.timers.start("tmrCheckAndDoEvents");
    auto runLoop = [&] {
        if (ts.timers.running("tmrCheckAndDoEvents")) ts.timers.fire("tmrCheckAndDoEvents");
    };
    ts.state().CurrentSource = 3;
    cmdAutoManual_Click(*ts);
    ts.state().WasPlaying = 3;  // the watchdog asks for a restart
    ts.state().CurrentSource = -1;
    for (int i = 0; i < 5; ++i) runLoop();
    EXPECT_TRUE(starts().empty());
    EXPECT_EQ(ts.state().CurrentSource, -1);

    cmdAutoManual_Click(*ts);
    runLoop();
    expectOnAir(3);
    EXPECT_EQ(starts(), std::vector<std::string>{"mplayer1 " + UrlOf(3)});
}

TEST_F(EventTick, AfterStartupTheFirstTickPlaysTodaysLastEntryAndTheScheduleTakesOver) {
    ts.folder.write("sourceevents.ini", "1 080000 2\r\n1 200000 4\r\n");
    Startup(*ts);
    EXPECT_EQ(ts.state().LastEvent, "1 080000 2");
    EXPECT_EQ(ts.state().NextEvent, "1 200000 4");

    ts.timers.fire("tmrCheckAndDoEvents");
    expectOnAir(2);
    EXPECT_EQ(ts.state().CurrentMplayer, 1);

    ts.clock.setTime(1, 19, 59, 55);
    tmrLoadEventsAndCalculate_Timer(*ts);
    tick();
    ts.clock.setTime(1, 20, 0, 0);
    tmrLoadEventsAndCalculate_Timer(*ts);
    tick();
    expectOnAir(4);
    EXPECT_EQ(starts(), (std::vector<std::string>{"mplayer1 " + UrlOf(2), "mplayer2 " + UrlOf(4)}));
}

}  // namespace
}  // namespace bf
