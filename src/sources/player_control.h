#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/player_files.h"

namespace bf {

struct Station;

// What a player is given: a source's URL (split at blanks, as an unquoted
// command line would), or a file to play in a loop.
enum class PlayerInput { Url, LoopedFile };

// Starts the slot's player; with the health check on, its sound output is
// counted into its audio count file (see the air monitor).
// A source's address may be a playlist that only its content type tells:
// once the player or the monitor found it one, it is read as one.
bool IsKnownPlaylist(const Station& station, std::string_view address);
void NotePlaylist(Station& station, std::string_view address);

void StartPlayer(Station& station, int slot, const std::string& input, PlayerInput kind = PlayerInput::Url);
void StopPlayer(Station& station, int slot);
void StopPlayers(Station& station);

// What the slot's player was last started on, as StartPlayer writes it down
// in mplayerN.url: the source's URL and whether its titles come from its
// stream monitor. A start of the program that finds the player still running
// reads it to tell what the player plays. Nullopt when the slot's last start
// was no source's URL (the last resort file) or nothing was written down.
struct PlayerRecord {
    std::string url;
    std::optional<bool> titlesFromMonitor;
};
std::optional<PlayerRecord> ReadPlayerRecord(const Station& station, int slot);

// Whether the slot's player has started playing: MPlayer writes "Starting
// playback..." to its log once its audio output runs. Only the start of the
// log is read (a player says it within its first few kilobytes).
bool PlayerHasStarted(const Station& station, int slot);

}  // namespace bf
