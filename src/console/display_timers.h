#pragma once

#include <cstdint>
#include <string>

namespace bf {

struct Station;

void tmrClockandEventCheck_Timer(Station& station);
void tmrUpdateDisplay_Timer(Station& station);
void tmrCounter_Timer(Station& station);
void tmrUptimeDisplayUpdate_Timer(Station& station);

// «1 days 2 hrs 03 mins 04 secs» for 93784 seconds.
std::string FormatUptime(int32_t seconds);

}  // namespace bf
