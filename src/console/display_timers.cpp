#include "console/display_timers.h"

#include "core/station.h"
#include "core/time_format.h"

namespace bf {

void tmrCounter_Timer(Station& station) {
    int16_t& count = station.state.TimerCount;
    count = static_cast<int16_t>(count + 1);
    if (count > 120) count = 0;
}

std::string FormatUptime(int32_t seconds) {
    int32_t s = seconds;
    int32_t m = s / 60;
    int32_t h = m / 60;
    const int32_t d = h / 24;
    s -= 60 * m;
    m -= 60 * h;
    h -= 24 * d;
    return std::to_string(d) + " days " + std::to_string(h) + " hrs " + TwoDigits(m) + " mins " +
           TwoDigits(s) + " secs";
}

void tmrUptimeDisplayUpdate_Timer(Station& station) {
    int32_t& runtime = station.state.SystemRuntime;
    // After about 68 years the counter would overflow; it stops instead.
    if (runtime < INT32_MAX) ++runtime;
}

std::string BootedText(const StationState& s) {
    if (s.SystemRuntime == 0 || s.SystemStart.size() < 19) return "N/A";
    const std::string& st = s.SystemStart;  // MM-DD-YYYY-HH:MM:SS
    return st.substr(6, 4) + "-" + st.substr(0, 2) + "-" + st.substr(3, 2) + " " + st.substr(11, 8);
}

std::string UptimeText(const StationState& s) {
    return s.SystemRuntime == 0 ? "N/A" : FormatUptime(s.SystemRuntime);
}

}  // namespace bf
