#include "schedule/event_tick.h"

#include "core/station.h"

namespace bf {

// Placeholder until this unit is built.
void tmrCheckAndDoEvents_Timer(Station&) {}

}  // namespace bf
