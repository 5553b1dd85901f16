#include "sources/manual_switch.h"

#include "core/station.h"

namespace bf {

// Placeholder until this unit is built.
void cmdForceSwitch_Click(Station&) {}
void cmdForceSource_Click(Station&) {}

}  // namespace bf
