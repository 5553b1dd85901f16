#include "platform/real_clock.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <thread>

namespace bf {

LocalTime RealClock::now() const {
    using namespace std::chrono;
    const auto stamp = system_clock::now();
    const std::time_t whole = system_clock::to_time_t(stamp);
    // to_time_t may round; take the fraction relative to the second it chose.
    double fraction = duration<double>(stamp - system_clock::from_time_t(whole)).count();
    if (fraction < 0.0 || fraction >= 1.0) fraction = 0.0;

    std::tm tm{};
    LocalTime t;
    t.unixSeconds = duration<double>(stamp.time_since_epoch()).count();
    if (localtime_r(&whole, &tm) == nullptr) return t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    // A leap second (tm_sec 60) is shown as the last second of the minute.
    t.second = tm.tm_sec > 59 ? 59 : tm.tm_sec;
    t.weekday = tm.tm_wday + 1;
    t.secondsSinceMidnight = t.hour * 3600.0 + t.minute * 60.0 + t.second + fraction;
    return t;
}

void RealClock::sleep(double seconds) {
    if (!std::isfinite(seconds) || seconds <= 0.0) return;
    // A day is far beyond any pause the station makes; the cap keeps the
    // duration conversion defined for absurd values.
    constexpr double kLongest = 86400.0;
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds < kLongest ? seconds : kLongest));
}

}  // namespace bf
