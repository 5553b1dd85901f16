#pragma once

namespace bf {

// One reading of the local wall clock.
struct LocalTime {
    int year = 2000;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int weekday = 1;                    // 1 = Sunday .. 7 = Saturday
    double secondsSinceMidnight = 0.0;  // with fractions
    double epoch = 0.0;                 // the same moment as seconds since 1970 (UTC), with fractions
};

// The local wall clock at `epoch` (seconds since 1970, UTC) in the process's
// time zone; a leap second reads as the last second of its minute.
LocalTime LocalTimeAt(double epoch);

// The station reads the time only through this interface, so that tests can
// set it to "Sunday 12:00:00" and advance it instead of sleeping.
class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime now() const = 0;
    // Seconds from an arbitrary start that never jump with the wall clock:
    // for durations.
    virtual double monotonicSeconds() const = 0;
    // Seconds since the machine booted, suspended time included (Linux's
    // CLOCK_BOOTTIME): the clock of the kernel's process start times. Like
    // the monotonic clock it never jumps with the wall clock.
    virtual double bootSeconds() const { return monotonicSeconds(); }
    // Blocks the calling thread for the given number of seconds without
    // running any event of the event loop and without spinning a core.
    virtual void sleep(double seconds) = 0;
};

}  // namespace bf
