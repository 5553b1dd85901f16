#include "views/uptime_text.h"

#include <algorithm>
#include <cstdio>

#include "core/station_state.h"
#include "core/time_format.h"

namespace bf {

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

std::string BootedText(const StationState& s) {
    if (s.SystemRuntime == 0 || s.SystemStart.size() < 19) return "N/A";
    const std::string& st = s.SystemStart;  // MM-DD-YYYY-HH:MM:SS
    return st.substr(6, 4) + "-" + st.substr(0, 2) + "-" + st.substr(3, 2) + " " + st.substr(11, 8);
}

std::string UptimeText(const StationState& s) {
    return s.SystemRuntime == 0 ? "N/A" : FormatUptime(s.SystemRuntime);
}

std::string PlayerMemoryText(const std::optional<double>& residentBytes) {
    if (!residentBytes) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.0f MB", *residentBytes / (1024.0 * 1024.0));
    return text;
}

std::string PlayerAgeText(const std::optional<double>& startTime, double now) {
    if (!startTime) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f h", std::max(0.0, now - *startTime) / 3600);
    return text;
}

}  // namespace bf
