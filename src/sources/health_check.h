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

// The check's period: 15 s, or a second with FastFailover.
int SourceCheckPeriodMs(const StationState& state);

// During failover, makes `number` the source to return to (a schedule entry
// that fell due meanwhile); it is tested from the next check on while the
// backup stays on air. A number without a playable source is refused.
void ReturnAfterFailoverTo(Station& station, int16_t number);

void tmrSourceCheck_Timer(Station& station);

}  // namespace bf
