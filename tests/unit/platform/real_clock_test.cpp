#include "platform/real_clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <limits>

#include "qt_test_app.h"

namespace bf {
namespace {

std::tm localNow() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

TEST(RealClockTest, ReadsTheLocalDateWithSundayAsDayOne) {
    const std::tm before = localNow();
    const LocalTime now = RealClock().now();
    const std::tm after = localNow();
    if (before.tm_mday != after.tm_mday) GTEST_SKIP() << "the date changed while reading";

    EXPECT_EQ(now.year, before.tm_year + 1900);
    EXPECT_EQ(now.month, before.tm_mon + 1);
    EXPECT_EQ(now.day, before.tm_mday);
    EXPECT_EQ(now.weekday, before.tm_wday + 1);
    const int beforeSeconds = before.tm_hour * 3600 + before.tm_min * 60 + before.tm_sec;
    const int afterSeconds = after.tm_hour * 3600 + after.tm_min * 60 + after.tm_sec;
    EXPECT_GE(now.secondsSinceMidnight, beforeSeconds);
    EXPECT_LT(now.secondsSinceMidnight, afterSeconds + 1);
}

TEST(RealClockTest, SecondsSinceMidnightCarryTheFraction) {
    const RealClock clock;
    bool sawFraction = false;
    for (int i = 0; i < 1000 && !sawFraction; ++i) {
        const LocalTime t = clock.now();
        const double whole = t.hour * 3600.0 + t.minute * 60.0 + t.second;
        ASSERT_GE(t.secondsSinceMidnight, whole);
        ASSERT_LT(t.secondsSinceMidnight, whole + 1.0);
        sawFraction = t.secondsSinceMidnight != whole;
    }
    EXPECT_TRUE(sawFraction);
}

TEST(RealClockTest, SleepBlocksWithoutRunningEvents) {
    test::QtTestApp app;
    app.acquire();
    int ticks = 0;
    {
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(1);

        RealClock clock;
        const auto start = std::chrono::steady_clock::now();
        clock.sleep(0.05);
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
        EXPECT_EQ(ticks, 0);

        // Nonsense lengths return at once.
        clock.sleep(-1.0);
        clock.sleep(std::numeric_limits<double>::quiet_NaN());
    }
    app.release();
}

}  // namespace
}  // namespace bf
