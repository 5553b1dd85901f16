#include "sources/player_control.h"

#include "core/station.h"

namespace bf {

// Placeholder until this unit is built.
void StartPlayer(Station&, int, const std::string&) {}
void StopPlayer(Station&, int) {}
void StopPlayers(Station&) {}
SourceEntry SwitchSource(Station&, std::string_view) { return {}; }

}  // namespace bf
