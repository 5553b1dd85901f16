#include "console/display_timers.h"

#include <cstdint>

#include "core/station.h"

namespace bf {

void tmrCounter_Timer(Station& station) {
    int16_t& count = station.state.TimerCount;
    count = static_cast<int16_t>(count + 1);
    if (count > 120) count = 0;
}

void tmrUptimeDisplayUpdate_Timer(Station& station) {
    int32_t& runtime = station.state.SystemRuntime;
    // After about 68 years the counter would overflow; it stops instead.
    if (runtime < INT32_MAX) ++runtime;
}

}  // namespace bf
