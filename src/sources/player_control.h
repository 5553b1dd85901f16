#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/on_air_record.h"
#include "core/player_files.h"
#include "core/settings_record.h"

namespace bf {

struct Station;
struct AirState;
class Processes;

// The one place where players are started and stopped: the on-air owner
// carries the failover policy's commands out through it.

// A source's address may be a playlist that only its content type tells:
// once the player or the monitor found it one, it is read as one (`known`:
// the addresses found so far).
bool IsKnownPlaylist(const std::vector<std::string>& known, std::string_view address);
void NotePlaylist(std::vector<std::string>& known, std::string_view address);

// The options the stream monitor (brackenfield-monitor) takes from the
// settings, before the rest of its arguments, in both its uses: listening to
// a stream and reading a playlist for a player. "--no-private" with
// RemotePlaylistPrivate=0: a remote playlist may not name the station's
// network.
std::vector<std::string> MonitorOptions(const Settings& settings);

// Starts the slot's player; with the health check on, its sound output is
// counted into its audio count file (see the air monitor).
void StartPlayer(Station& station, int slot, const std::string& input, PlayerInput kind = PlayerInput::Url);
// Stops the slot's player (every process of its name that runs in the
// station folder), or both.
void StopPlayer(Processes& processes, int slot);
void StopPlayers(Processes& processes);

// What the slot's player was last started on, as StartPlayer writes it down
// in mplayerN.url: the source's URL and whether its titles come from its
// stream monitor. A start of the program that finds the player still running
// reads it to tell what the player plays. The last resort is written down as
// its setting (`lastResort`). Nullopt when nothing was written down.
struct PlayerRecord {
    std::string url;
    std::optional<bool> titlesFromMonitor;
    bool lastResort = false;
};
std::optional<PlayerRecord> ReadPlayerRecord(const std::filesystem::path& folder, int slot);

// A player the last run left keeps what its start knew of its titles.
void KeepPlayerRecord(AirState& air, int slot, const PlayerRecord& record);

// Whether the slot's player has started playing: MPlayer writes "Starting
// playback..." to its log once its audio output runs. Only the start of the
// log is read (a player says it within its first few kilobytes).
bool PlayerHasStarted(const std::filesystem::path& folder, int slot);

}  // namespace bf
