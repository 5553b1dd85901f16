#include "metadata/outside_services.h"

#include "core/station.h"

namespace bf {

// TuneIn AIR, the billing reporter and the weather strapline are not built
// yet; their timers tick without effect.
void tmrAirUpdate_Timer(Station&) {}
void tmrCheckFile_Timer(Station&) {}
void tmrWeather_Timer(Station&) {}

}  // namespace bf
