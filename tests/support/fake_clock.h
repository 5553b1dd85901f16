#pragma once

#include "platform/clock.h"

namespace bf::test {

// A clock that stands still until told otherwise; sleep() advances it.
class FakeClock : public Clock {
public:
    FakeClock() { set(2026, 12, 6, 1, 12, 0, 0); }  // Sunday 6 December 2026, 12:00:00

    LocalTime now() const override { return t_; }
    void sleep(double seconds) override {
        slept_ += seconds;
        advance(seconds);
    }

    // weekday 1 = Sunday .. 7 = Saturday
    void set(int year, int month, int day, int weekday, int hour, int minute, int second);
    void setTime(int weekday, int hour, int minute, int second) {
        set(t_.year, t_.month, t_.day, weekday, hour, minute, second);
    }
    // Moves the clock on, across midnight into the next weekday when needed.
    void advance(double seconds);
    double totalSlept() const { return slept_; }

private:
    LocalTime t_;
    double slept_ = 0;
};

}  // namespace bf::test
