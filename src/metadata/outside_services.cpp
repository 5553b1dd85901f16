#include "metadata/outside_services.h"

#include "core/station.h"

namespace bf {

// The billing reporter and the weather strapline are not built yet; their
// timers tick without effect.
void tmrCheckFile_Timer(Station&) {}
void tmrWeather_Timer(Station&) {}

}  // namespace bf
