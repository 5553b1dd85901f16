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
    double unixSeconds = 0.0;           // the same moment since the Unix epoch, with fractions
};

// The station reads the time only through this interface, so that tests can
// set it to "Sunday 12:00:00" and advance it instead of sleeping.
class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime now() const = 0;
    // Blocks the calling thread for the given number of seconds without
    // running any event of the event loop and without spinning a core.
    virtual void sleep(double seconds) = 0;
};

}  // namespace bf
