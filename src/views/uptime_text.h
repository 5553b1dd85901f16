#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace bf {

struct StationState;

// The start as "YYYY-MM-DD HH:MM:SS", and the uptime as FormatUptime gives
// it; both "N/A" until the uptime's first second.
std::string BootedText(const StationState& state);
std::string UptimeText(const StationState& state);

// A player's memory, "412 MB", and its age at `now` (seconds since 1970),
// "24.0 h"; "-" while it does not run.
std::string PlayerMemoryText(const std::optional<double>& residentBytes);
std::string PlayerAgeText(const std::optional<double>& startTime, double now);

// «1 days 2 hrs 03 mins 04 secs» for 93784 seconds.
std::string FormatUptime(int32_t seconds);

}  // namespace bf
