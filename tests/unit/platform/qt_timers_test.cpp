#include "platform/qt_timers.h"

#include <gtest/gtest.h>

#include <memory>

#include "qt_test_app.h"

namespace bf {
namespace {

using namespace std::chrono_literals;
using test::processEventsFor;
using test::processEventsUntil;

class QtTimersTest : public test::QtAppTest {
protected:
    QtTimers timers;
    int ticks = 0;
};

TEST_F(QtTimersTest, StartedTimerTicksUntilStoppedAStartRestartsItsPeriodAndZeroOrUnknownNeverRuns) {
    timers.define("tmrA", 10, [&] { ++ticks; });
    timers.start("tmrA");
    EXPECT_TRUE(processEventsUntil([&] { return ticks >= 3; }));
    EXPECT_TRUE(timers.running("tmrA"));
    timers.stop("tmrA");
    const int stoppedAt = ticks;
    processEventsFor(50ms);
    EXPECT_EQ(ticks, stoppedAt);

    timers.define("tmrB", 300, [&] { ticks = -1; });
    timers.start("tmrB");
    for (int i = 0; i < 4; ++i) {  // 400 ms pass, but never one whole period
        processEventsFor(100ms);
        timers.start("tmrB");
    }
    EXPECT_EQ(ticks, stoppedAt);

    timers.start("tmrUnknown");
    timers.define("tmrZero", 0, [&] { ++ticks; });
    timers.start("tmrZero");
    EXPECT_FALSE(timers.running("tmrUnknown") || timers.running("tmrZero"));
}

TEST_F(QtTimersTest, AHandlerMayRedefineOrRemoveItsOwnTimer) {
    const auto held = std::make_shared<int>();
    timers.define("tmrC", 5000, [&] { ++ticks; });
    timers.start("tmrC");
    timers.define("tmrC", 10, [&] {
        timers.define("tmrC", 10, [&, held] {
            ticks += 100;
            timers.remove("tmrC");
        });
    });
    EXPECT_TRUE(processEventsUntil([&] { return ticks > 0; }));
    processEventsFor(50ms);
    EXPECT_EQ(ticks, 100) << "the first handler never ran, the last one once";
    EXPECT_FALSE(timers.running("tmrC"));
    EXPECT_EQ(held.use_count(), 1) << "a removed timer keeps nothing of its handler";
}

}  // namespace
}  // namespace bf
