#include "platform/real_clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>

#include "qt_test_app.h"

namespace bf {
namespace {

using RealClockTest = test::QtAppTest;

TEST_F(RealClockTest, ReadsTheLocalDateAndTimeWithSundayAsDayOne) {
    // The clock RealClock reads: time() reads a coarser one that may still show the second before.
    const auto second = [] { return std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()); };
    const std::time_t before = second();
    const LocalTime now = RealClock().now();
    if (second() != before) GTEST_SKIP() << "the second changed while reading";
    std::tm tm{};
    localtime_r(&before, &tm);
    EXPECT_EQ(std::tuple(now.year, now.month, now.day, now.weekday, now.hour, now.minute, now.second),
              std::tuple(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_wday + 1, tm.tm_hour, tm.tm_min,
                         tm.tm_sec));
}

// The station's pauses block: no handler runs meanwhile.
TEST_F(RealClockTest, SleepBlocksWithoutRunningEvents) {
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(1);
    RealClock clock;
    const auto start = std::chrono::steady_clock::now();
    clock.sleep(0.05);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
    EXPECT_EQ(ticks, 0);
}

}  // namespace
}  // namespace bf
