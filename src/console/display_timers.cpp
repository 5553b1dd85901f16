#include "console/display_timers.h"

#include "core/station.h"
#include "core/time_format.h"

namespace bf {

void tmrClockandEventCheck_Timer(Station& station) {
    const LocalTime t = station.clock.now();
    station.console.lblClock.caption = FormatTime(t);
    station.console.lblDate.caption = FormatDateYMD(t);
}

void tmrUpdateDisplay_Timer(Station& station) {
    ConsoleModel& c = station.console;
    const int16_t slot = station.onAir.CurrentMplayer();
    c.lblMplayer.caption = slot == 0 ? "None" : std::to_string(slot);
    const uint32_t colour = slot != 0 ? Colour::Green : Colour::Red;
    c.lblStatus.caption = slot != 0 ? "ON AIR" : "NO SOURCE";
    c.lblStatus.backColour = colour;
    c.lblStatus2.backColour = colour;
}

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
    StationState& s = station.state;
    // After about 68 years the counter would overflow; it stops instead.
    if (s.SystemRuntime < INT32_MAX) ++s.SystemRuntime;
    Label& booted = station.console.lblBooted;
    if (booted.caption == "N/A" && s.SystemStart.size() >= 19) {
        const std::string& st = s.SystemStart;  // MM-DD-YYYY-HH:MM:SS
        booted.caption =
            st.substr(6, 4) + "-" + st.substr(0, 2) + "-" + st.substr(3, 2) + " " + st.substr(11, 8);
    }
    station.console.lblUptime.caption = FormatUptime(s.SystemRuntime);
}

}  // namespace bf
