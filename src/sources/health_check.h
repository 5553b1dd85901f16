#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace bf {

struct Station;
struct StationState;

// The address the player streams from a source's URL: of the parts the URL
// splits into at blanks, the first with "://", else the first.
std::string StreamAddress(std::string_view url);

// The check runs every 15 s, or every second with FastFailover; its fetch
// gives up before the next check is due.
inline constexpr int kSourceCheckPeriodMs = 15000;
inline constexpr int kSourceCheckTimeoutMs = 10000;
inline constexpr int kFastSourceCheckPeriodMs = 1000;
inline constexpr int kFastSourceCheckTimeoutMs = 900;
static_assert(kSourceCheckTimeoutMs < kSourceCheckPeriodMs &&
                  kFastSourceCheckTimeoutMs < kFastSourceCheckPeriodMs,
              "a health check's fetch must give up before the next check is due");

// The period and the fetch's time-out for the station's setting.
int SourceCheckPeriodMs(const StationState& state);
int SourceCheckTimeoutMs(const StationState& state);

void tmrSourceCheck_Timer(Station& station);

}  // namespace bf
