#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/on_air_record.h"
#include "core/stream_address.h"

namespace bf {

struct Station;
struct Settings;

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
int SourceCheckPeriodMs(const Settings& state);
int SourceCheckTimeoutMs(const Settings& state);

// The check begins afresh, waiting for its first verdict, or is off: at
// the startup and when the operator restarts the source from scratch.
void ResetHealthCheck(Station& station, bool checking);

// The operator restarted `url` from scratch: the check's debug line shows it.
void NoteForcedRestart(Station& station, std::string_view url);

// A verdict on `tested` (the source under test when the check began), from
// the server's answer or from what the air monitor hears: a pass, a failure
// (`why`; `silence` when the stream was heard silent), or none. Every check
// gives its verdict here; one on a source no longer under test is dropped
// (false). `waited`: the seconds the server took to answer, for a check that
// asked.
enum class Verdict { Passed, Failed, None };
bool Judge(Station& station, const AirSource& tested, Verdict verdict, std::string_view why = {},
           bool silence = false, std::optional<double> waited = std::nullopt);

// Asks the server of the source under test for its stream's headers; its
// answer gives the verdict when it comes. A request of the check before that
// is still running is cancelled: its answer never comes.
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
