#pragma once

#include <optional>

#include "core/on_air_record.h"
#include "core/station_events.h"
#include "sources/failover_policy.h"

namespace bf {

struct Station;

// The owner of what is on air. Every change of the source on air and of the
// failover is an observation: the failover policy decides, the owner writes
// its record (station.onAir), carries out the commands (players started and
// stopped, lines for the station log) and posts the events, which reach the
// listeners once the handler that observed returns. Everyone else reads
// station.onAir.
struct Observed {
    // Whether it was taken: a verdict on a source no longer under test is
    // dropped, a choice without a playable URL refused (and said).
    bool taken = true;
    std::optional<HealthCheckResult> judged;  // what a verdict counts as
};
Observed Observe(Station& station, const air::Observation& observation);

// How often the overlap looks at the new player.
inline constexpr int kOverlapTickMs = 100;

// Ends a switch's overlap: looks at the new player, ten times a second,
// until it plays (then the old one stops, never sooner than two seconds
// after the switch) or cannot (it ended, or has not played after ten).
void tmrSwitchOverlap_Timer(Station& station);

}  // namespace bf
