#pragma once

#include <ctime>

#include "platform/clock.h"

namespace bf::test {

// A clock that stands still until told otherwise; sleep() and advance() move
// it on. It reads the wall clock in the process's time zone (TZ), and starts
// on Sunday 6 December 2026 at 12:00:00 there.
class FakeClock : public Clock {
public:
    FakeClock() { set(2026, 12, 6, 12, 0, 0); }
    LocalTime now() const override { return LocalTimeAt(epoch_); }
    double monotonicSeconds() const override { return monotonic_; }
    void sleep(double seconds) override { advance(seconds); }
    // Sets the wall clock (a step: durations do not see it). An hour that the
    // time zone skips or repeats is read as mktime reads it.
    void set(int year, int month, int day, int hour, int minute, int second) {
        std::tm tm{};
        tm.tm_year = year - 1900;
        tm.tm_mon = month - 1;
        tm.tm_mday = day;
        tm.tm_hour = hour;
        tm.tm_min = minute;
        tm.tm_sec = second;
        tm.tm_isdst = -1;
        epoch_ = static_cast<double>(std::mktime(&tm));
    }
    // The given weekday (1 = Sunday .. 7 = Saturday) of the week from Sunday
    // 6 December 2026, at that time.
    void setTime(int weekday, int hour, int minute, int second) {
        set(2026, 12, 5 + weekday, hour, minute, second);
    }
    // Moves the wall clock and the durations on together.
    void advance(double seconds) {
        epoch_ += seconds;
        monotonic_ += seconds;
    }
    // Moves only the wall clock, as a corrected clock does.
    void step(double seconds) { epoch_ += seconds; }

private:
    double epoch_ = 0;
    double monotonic_ = 1000;
};

}  // namespace bf::test
