#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/stream_address.h"

namespace bf {

struct Station;
struct Settings;

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
int SourceCheckPeriodMs(const Settings& state);
int SourceCheckTimeoutMs(const Settings& state);

void tmrSourceCheck_Timer(Station& station);

// Whether the check decides by what the air monitor hears (the fast mode, with
// a monitor that hears the stream under test): then the monitor's ticks run HearingCheck twice a second and
// the check's timer asks no server.
bool HearsInsteadOfAsking(const Station& station);
void HearingCheck(Station& station);

// The monitor's ticks when the check asks the server (the default mode, or a
// stream the monitor cannot hear): silence that has lasted SilenceSeconds
// fails the source under test at once (twice in a row: the backup within a
// second), not at the next two checks; and a return whose server passed its
// check is made once the stream has flowed for ReturnHoldSeconds.
void ListeningCheck(Station& station);

}  // namespace bf
