#include "platform/qt_timers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>

#include "qt_test_app.h"

namespace bf {
namespace {

using namespace std::chrono_literals;
using test::processEventsUntil;

// Runs the event loop for a while with nothing to wait for.
void runEventsFor(std::chrono::milliseconds span) { processEventsUntil([] { return false; }, span); }

class QtTimersTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { app().acquire(); }
    static void TearDownTestSuite() { app().release(); }
    static test::QtTestApp& app() {
        static test::QtTestApp instance;
        return instance;
    }

    QtTimers timers;
    int ticks = 0;
};

TEST_F(QtTimersTest, StartedTimerTicksUntilStopped) {
    timers.define("tmrA", 10, [&] { ++ticks; });
    EXPECT_FALSE(timers.running("tmrA"));
    EXPECT_EQ(timers.periodMs("tmrA"), 10);

    timers.start("tmrA");
    EXPECT_TRUE(timers.running("tmrA"));
    EXPECT_TRUE(processEventsUntil([&] { return ticks >= 3; }));

    timers.stop("tmrA");
    EXPECT_FALSE(timers.running("tmrA"));
    const int stoppedAt = ticks;
    runEventsFor(50ms);
    EXPECT_EQ(ticks, stoppedAt);
}

TEST_F(QtTimersTest, StartingARunningTimerRestartsItsPeriod) {
    timers.define("tmrB", 300, [&] { ++ticks; });
    timers.start("tmrB");
    // Four restarts 100 ms apart: 400 ms pass, but never one whole period.
    for (int i = 0; i < 4; ++i) {
        runEventsFor(100ms);
        timers.start("tmrB");
    }
    EXPECT_EQ(ticks, 0);
    EXPECT_TRUE(timers.running("tmrB"));
}

TEST_F(QtTimersTest, RedefinitionReplacesPeriodAndHandler) {
    int replaced = 0;
    timers.define("tmrC", 5000, [&] { ++ticks; });
    timers.start("tmrC");
    timers.define("tmrC", 10, [&] { ++replaced; });
    EXPECT_EQ(timers.periodMs("tmrC"), 10);
    EXPECT_TRUE(processEventsUntil([&] { return replaced >= 1; }));
    EXPECT_EQ(ticks, 0);
}

TEST_F(QtTimersTest, UnknownNameOrZeroPeriodNeverRuns) {
    timers.start("tmrUnknown");
    EXPECT_FALSE(timers.running("tmrUnknown"));
    EXPECT_EQ(timers.periodMs("tmrUnknown"), 0);

    timers.define("tmrZero", 0, [&] { ++ticks; });
    timers.start("tmrZero");
    EXPECT_FALSE(timers.running("tmrZero"));
}

TEST_F(QtTimersTest, HandlerMayThrowOrRedefineItsOwnTimer) {
    timers.define("tmrD", 10, [&] {
        ++ticks;
        if (ticks == 1) throw std::runtime_error("a failing step");
        timers.define("tmrD", 10, [&] { ticks += 100; });
    });
    timers.start("tmrD");
    EXPECT_TRUE(processEventsUntil([&] { return ticks >= 100; }));
}

}  // namespace
}  // namespace bf
