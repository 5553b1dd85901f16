#include "platform/qt_timers.h"

#include <gtest/gtest.h>

#include "qt_test_app.h"

namespace bf {
namespace {

using namespace std::chrono_literals;
using test::processEventsFor;
using test::processEventsUntil;

using QtTimersTest = test::QtAppTest;

// A zero period would fire at every turn of the event loop.
TEST_F(QtTimersTest, StartedTimerTicksUntilStoppedAndZeroOrUnknownNeverRuns) {
    QtTimers timers;
    int ticks = 0;
    timers.define("tmrA", 10, [&] { ++ticks; });
    timers.start("tmrA");
    EXPECT_TRUE(processEventsUntil([&] { return ticks >= 3; }));
    EXPECT_TRUE(timers.running("tmrA"));
    timers.stop("tmrA");
    const int stoppedAt = ticks;
    timers.start("tmrUnknown");
    timers.define("tmrZero", 0, [&] { ++ticks; });
    timers.start("tmrZero");
    processEventsFor(50ms);
    EXPECT_EQ(ticks, stoppedAt);
    EXPECT_FALSE(timers.running("tmrA") || timers.running("tmrUnknown") || timers.running("tmrZero"));
}

}  // namespace
}  // namespace bf
