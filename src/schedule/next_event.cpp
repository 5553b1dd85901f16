#include "schedule/next_event.h"

#include "core/station.h"

namespace bf {

// Placeholder until this unit is built.
void tmrLoadEventsAndCalculate_Timer(Station&) {}

}  // namespace bf
