#pragma once

#include <string_view>

#include "core/check_record.h"
#include "core/settings_record.h"

namespace bf {

struct Station;

// The check runs every 15 s, or every second with FastFailover; its request
// gives up before the next check is due.
inline constexpr int kSourceCheckPeriodMs = 15000;
inline constexpr int kSourceCheckTimeoutMs = 10000;
inline constexpr int kFastSourceCheckPeriodMs = 1000;
inline constexpr int kFastSourceCheckTimeoutMs = 900;
static_assert(kSourceCheckTimeoutMs < kSourceCheckPeriodMs &&
                  kFastSourceCheckTimeoutMs < kFastSourceCheckPeriodMs,
              "a health check's request must give up before the next check is due");

// The period and the request's time-out for the station's setting.
int SourceCheckPeriodMs(const Settings& settings);
int SourceCheckTimeoutMs(const Settings& settings);

// The check begins afresh, waiting for its first verdict, or is off: at
// the startup and when the operator restarts the source from scratch.
void ResetHealthCheck(CheckRecord& check, bool checking);

// The operator restarted `url` from scratch: the check's debug line shows it.
void NoteForcedRestart(CheckRecord& check, std::string_view url);

// Asks the server of the source under test for its stream's headers; its
// answer gives the verdict when it comes. A request of the check before that
// is still running is cancelled: its answer never comes. Every verdict, by
// the server's answer or by ear, goes to the failover policy, which counts
// the failures in a row.
void tmrSourceCheck_Timer(Station& station);

// The monitor's ticks, twice a second, with the check on. In the fast mode
// (and a stream the monitor hears) the check decides by ear alone, and its
// timer asks no server. In the default mode the server keeps its 15-second
// rhythm, and what is heard decides at once: a stall that has lasted
// StallSeconds, a dead stream or silence fails the source under test at
// once (twice in a row: the backup within a second), and a return whose
// server passed is made once the stream has flowed for ReturnHoldSeconds.
void CheckByEar(Station& station);

}  // namespace bf
