#pragma once

#include <string>

namespace bf {

struct Station;

// The image name of a slot's player copy: "mplayer1" or "mplayer2"; empty
// for a slot that does not exist.
std::string PlayerName(int slot);

void StartPlayer(Station& station, int slot, const std::string& url);
void StopPlayer(Station& station, int slot);
void StopPlayers(Station& station);

// Whether the slot's player has started playing: MPlayer writes "Starting
// playback..." to its log once its audio output runs. Only the start of the
// log is read (a player says it within its first few kilobytes).
bool PlayerHasStarted(const Station& station, int slot);

}  // namespace bf
