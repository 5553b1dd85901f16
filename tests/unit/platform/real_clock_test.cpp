#include "platform/real_clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <limits>

#include "qt_test_app.h"

namespace bf {
namespace {

using RealClockTest = test::QtAppTest;

TEST_F(RealClockTest, ReadsTheLocalDateWithSundayAsDayOneAndTheSecondsWithTheirFraction) {
    const auto localNow = [] {
        const std::time_t t = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
        std::tm tm{};
        localtime_r(&t, &tm);
        return tm;
    };
    const std::tm before = localNow();
    const LocalTime now = RealClock().now();
    const std::tm after = localNow();
    if (before.tm_mday != after.tm_mday) GTEST_SKIP() << "the date changed while reading";
    EXPECT_EQ(std::tuple(now.year, now.month, now.day, now.weekday),
              std::tuple(before.tm_year + 1900, before.tm_mon + 1, before.tm_mday, before.tm_wday + 1));
    EXPECT_GE(now.secondsSinceMidnight, before.tm_hour * 3600 + before.tm_min * 60 + before.tm_sec);
    EXPECT_LT(now.secondsSinceMidnight, after.tm_hour * 3600 + after.tm_min * 60 + after.tm_sec + 1);
    bool sawFraction = false;
    for (int i = 0; i < 1000 && !sawFraction; ++i) {
        const LocalTime t = RealClock().now();
        const double whole = t.hour * 3600.0 + t.minute * 60.0 + t.second;
        ASSERT_TRUE(t.secondsSinceMidnight >= whole && t.secondsSinceMidnight < whole + 1.0);
        sawFraction = t.secondsSinceMidnight != whole;
    }
    EXPECT_TRUE(sawFraction);
}

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
    clock.sleep(-1.0);  // nonsense lengths return at once
    clock.sleep(std::numeric_limits<double>::quiet_NaN());
}

}  // namespace
}  // namespace bf
