#pragma once

#include <string>
#include <string_view>

#include "sources/source_list.h"

namespace bf {

struct Station;

void StartPlayer(Station& station, int slot, const std::string& url);
void StopPlayer(Station& station, int slot);
void StopPlayers(Station& station);

// Looks the source up and shows its URL and name as the ones on air (and in
// PlayURL); a URL shorter than 8 bytes keeps the URL and name already on
// air. Returns what the source list gave.
SourceEntry ShowSourceOnAir(Station& station, std::string_view number);

// CurrentSource = the number text's value, shown in the two number labels.
void ShowSourceNumber(Station& station, std::string_view number);

// Puts the source with that number on air on the other slot, with a
// two-second overlap. Returns what the source list gave for the number
// (before an empty URL was replaced by the one on air).
SourceEntry SwitchSource(Station& station, std::string_view number);

}  // namespace bf
