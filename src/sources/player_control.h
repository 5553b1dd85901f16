#pragma once

#include <string>
#include <string_view>

#include "sources/source_list.h"

namespace bf {

struct Station;

void StartPlayer(Station& station, int slot, const std::string& url);
void StopPlayer(Station& station, int slot);
void StopPlayers(Station& station);

// Puts the source with that number on air on the other slot, with a
// two-second overlap. Returns what the source list gave for the number
// (before an empty URL was replaced by the one on air).
SourceEntry SwitchSource(Station& station, std::string_view number);

}  // namespace bf
