#pragma once

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
    }
    double totalSlept() const { return slept_; }

private:
    LocalTime t_{2026, 12, 6, 12, 0, 0, 1, 43200.0};
    double slept_ = 0;
};

}  // namespace bf::test
