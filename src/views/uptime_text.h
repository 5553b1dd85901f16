#pragma once

#include <cstdint>
#include <string>

namespace bf {

struct StationState;

// The start as "YYYY-MM-DD HH:MM:SS", and the uptime as FormatUptime gives
// it; both "N/A" until the uptime's first second.
std::string BootedText(const StationState& state);
std::string UptimeText(const StationState& state);

// «1 days 2 hrs 03 mins 04 secs» for 93784 seconds.
std::string FormatUptime(int32_t seconds);

}  // namespace bf
