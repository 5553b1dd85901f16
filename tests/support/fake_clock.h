#pragma once

#include <ctime>

#include "platform/clock.h"

namespace bf::test {

// A clock that stands still until told otherwise; sleep() advances it. It
// starts on Sunday 6 December 2026 at 12:00:00.
class FakeClock : public Clock {
public:
    LocalTime now() const override { return t_; }
    void sleep(double seconds) override {
        slept_ += seconds;
        advance(seconds);
    }
    // weekday 1 = Sunday .. 7 = Saturday
    void set(int year, int month, int day, int weekday, int hour, int minute, int second) {
        t_ = {year, month, day, 0, 0, 0, weekday, 0.0};
        advance(hour * 3600.0 + minute * 60.0 + second);
    }
    void setTime(int weekday, int hour, int minute, int second) {
        set(t_.year, t_.month, t_.day, weekday, hour, minute, second);
    }
    // Moves the clock on, across midnight into the next weekday and day (no
    // month ends) when needed.
    void advance(double seconds) {
        double s = t_.secondsSinceMidnight + seconds;
        for (; s >= 86400.0; s -= 86400.0) t_ = {t_.year, t_.month, t_.day + 1, 0, 0, 0, t_.weekday % 7 + 1};
        const int whole = static_cast<int>(s);  // s is never negative
        t_ = {t_.year, t_.month, t_.day, whole / 3600, whole / 60 % 60, whole % 60, t_.weekday, s};
        std::tm date{};  // the fake's local time taken as UTC
        date.tm_year = t_.year - 1900;
        date.tm_mon = t_.month - 1;
        date.tm_mday = t_.day;
        t_.unixSeconds = static_cast<double>(::timegm(&date)) + s;
    }
    double totalSlept() const { return slept_; }

private:
    // 2026-12-06 12:00:00 is 1796558400 seconds after the epoch.
    LocalTime t_{2026, 12, 6, 12, 0, 0, 1, 43200.0, 1796558400.0};
    double slept_ = 0;
};

}  // namespace bf::test
