#include "management/management_timers.h"

#include "core/station.h"

namespace bf {

// The configuration download and the change polling come with the management
// link; until then their timers tick without effect.
void tmrManagementDownload_Timer(Station&) {}
void tmrCheckForChanges_Timer(Station&) {}

}  // namespace bf
