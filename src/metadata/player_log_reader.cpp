#include "metadata/player_log_reader.h"

#include "core/station.h"

namespace bf {

// Placeholder until this unit is built.
void tmrGetMetadata_Timer(Station&) {}

}  // namespace bf
