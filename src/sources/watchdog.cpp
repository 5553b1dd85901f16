#include "sources/watchdog.h"

#include "core/station.h"

namespace bf {

// Placeholder until this unit is built.
std::optional<bool> IsProcessRunning(Station&, const std::string&) { return std::nullopt; }
void tmrCheckMplayerOK_Timer(Station&) {}

}  // namespace bf
