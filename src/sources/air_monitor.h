#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sources/air_hearing.h"

namespace bf {

struct Station;

// Twice a second: watches the stream under test (and during a failover the
// backup's), reads what the monitors tell, and restarts a player whose sound
// output stands still while its stream flows.
void tmrAirMonitor_Timer(Station& station);

// Whether the titles of the source on air come from its stream monitor: the
// player opens it through FFmpeg or as a playlist, or its codec carries its
// titles in the stream (Vorbis, Opus, FLAC), which MPlayer does not tell.
// Such a source is listened to for its titles also without the health check.
bool TitledByMonitor(Station& station);

// Ends every monitor (the program ends).
void StopAirMonitors(Station& station);

}  // namespace bf
