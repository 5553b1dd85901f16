#include "platform/real_clock.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <thread>

namespace bf {

LocalTime LocalTimeAt(double epoch) {
    LocalTime t;
    if (!std::isfinite(epoch)) return t;
    const double whole = std::floor(epoch);
    const auto seconds = static_cast<std::time_t>(whole);
    std::tm tm{};
    if (localtime_r(&seconds, &tm) == nullptr) return t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    // A leap second (tm_sec 60) is shown as the last second of the minute.
    t.second = tm.tm_sec > 59 ? 59 : tm.tm_sec;
    t.weekday = tm.tm_wday + 1;
    t.secondsSinceMidnight = t.hour * 3600.0 + t.minute * 60.0 + t.second + (epoch - whole);
    t.epoch = epoch;
    return t;
}

LocalTime RealClock::now() const {
    using namespace std::chrono;
    return LocalTimeAt(duration<double>(system_clock::now().time_since_epoch()).count());
}

double RealClock::monotonicSeconds() const {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double RealClock::bootSeconds() const {
    timespec t{};
    if (::clock_gettime(CLOCK_BOOTTIME, &t) != 0) return monotonicSeconds();
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void RealClock::sleep(double seconds) {
    if (!std::isfinite(seconds) || seconds <= 0.0) return;
    // A day is far beyond any pause the station makes; the cap keeps the
    // duration conversion defined for absurd values.
    constexpr double kLongest = 86400.0;
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds < kLongest ? seconds : kLongest));
}

}  // namespace bf
