#include "fake_clock.h"

#include <cmath>

namespace bf::test {

void FakeClock::set(int year, int month, int day, int weekday, int hour, int minute, int second) {
    t_ = LocalTime{year, month, day, hour, minute, second, weekday, hour * 3600.0 + minute * 60.0 + second};
}

void FakeClock::advance(double seconds) {
    double s = t_.secondsSinceMidnight + seconds;
    while (s >= 86400.0) {
        s -= 86400.0;
        t_.weekday = t_.weekday % 7 + 1;
        ++t_.day;  // good enough for tests: no month ends
    }
    t_.secondsSinceMidnight = s;
    const int whole = static_cast<int>(std::floor(s));
    t_.hour = whole / 3600;
    t_.minute = whole / 60 % 60;
    t_.second = whole % 60;
}

}  // namespace bf::test
