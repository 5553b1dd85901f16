#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "sources/source_list.h"

namespace bf {

struct Station;

// The image name of a slot's player copy: "mplayer1" or "mplayer2"; empty
// for a slot that does not exist.
std::string PlayerName(int slot);

void StartPlayer(Station& station, int slot, const std::string& url);
void StopPlayer(Station& station, int slot);
void StopPlayers(Station& station);

// Looks the source up and shows its URL and name as the ones on air (and in
// PlayURL); a URL shorter than 8 bytes keeps the URL and name already on
// air. Returns what the source list gave.
SourceEntry ShowSourceOnAir(Station& station, std::string_view number);

// CurrentSource = the number text's value, shown in the two number labels.
void ShowSourceNumber(Station& station, std::string_view number);

// The source that the number names, if its URL has at least 8 bytes: a
// shorter one cannot be a stream's address.
std::optional<SourceEntry> PlayableSource(const Station& station, std::string_view number);

// Logs that a switch to the number was refused, unless the same number was
// the last one refused and no switch has gone through since.
void RefuseSwitch(Station& station, std::string_view number);

// Puts the source with that number on air on the other slot, with a
// two-second overlap, and returns what the source list gave for it. A
// number without a playable source is refused: nothing changes but the
// station log, and the result is empty.
std::optional<SourceEntry> SwitchSource(Station& station, std::string_view number);

}  // namespace bf
