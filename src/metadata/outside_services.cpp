#include "metadata/outside_services.h"

#include "core/station.h"

namespace bf {

// The billing reporter is not built yet; its timer ticks without effect.
void tmrCheckFile_Timer(Station&) {}

}  // namespace bf
