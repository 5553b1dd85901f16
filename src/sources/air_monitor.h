#pragma once

namespace bf {

struct Station;

// Twice a second: watches the stream under test (and during a failover the
// backup's), reads what the monitors tell, hands the titles of a source its
// monitor titles to the title reader, and with the health check on restarts
// a player whose sound output stands still while its stream flows and lets
// the check decide by ear. Without the health check only a source titled by
// its monitor is listened to, for its titles.
void tmrAirMonitor_Timer(Station& station);

// Ends every monitor (the program ends).
void StopAirMonitors(Station& station);

}  // namespace bf
