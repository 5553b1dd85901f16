#pragma once

namespace bf {

struct Station;

// Once a minute: counts down to the next configuration download and, every
// ManagementUpdate minutes, replaces sourceevents.ini with the server's copy.
void tmrManagementDownload_Timer(Station& station);

// Once a minute: asks the management server whether to switch the source.
void tmrCheckForChanges_Timer(Station& station);

}  // namespace bf
