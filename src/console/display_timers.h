#pragma once

namespace bf {

struct Station;

void tmrCounter_Timer(Station& station);
// Counts the seconds since the start (SystemRuntime).
void tmrUptimeDisplayUpdate_Timer(Station& station);

}  // namespace bf
