#pragma once

#include <cstdint>
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
// counted into its audio count file (see the air monitor). `standsInFor`:
// the selected source it stands in for during a failover; none for what was
// chosen.
void StartPlayer(Station& station, int slot, const std::string& input, PlayerInput kind = PlayerInput::Url,
                 std::optional<int16_t> standsInFor = std::nullopt);
// Stops the slot's player (every process of its name that runs in the
// station folder), or both.
void StopPlayer(Processes& processes, int slot);
void StopPlayers(Processes& processes);

// What the slot's player was last started on, as StartPlayer writes it down
// in mplayerN.url: the source's URL and whether its titles come from its
// stream monitor. A start of the program that finds the player still running
// reads it to tell what the player plays. The last resort is written down as
// its setting (`lastResort`). And whether it plays what was chosen or
// stands in for the selected source `standsInFor` (a failover); unknown in
// a record an older version wrote. Nullopt when nothing was written down.
struct PlayerRecord {
    std::string url;
    std::optional<bool> titlesFromMonitor;
    bool lastResort = false;
    enum class Role : int8_t { Unknown, Chosen, StandsIn };
    Role role = Role::Unknown;
    int16_t standsInFor = -1;
};
std::optional<PlayerRecord> ReadPlayerRecord(const std::filesystem::path& folder, int slot);

// The slot's player, on air, stands in for `standsInFor` or plays what was
// chosen (none): its record says so from now on. It is written again only
// when that changes while the player plays on (a choice during a failover,
// a failover that a reload ends, a player the last run left); a record that
// cannot be written then stays as it was and is tried again at the next call.
void NotePlayerRole(const std::filesystem::path& folder, AirState& air, int slot,
                    std::optional<int16_t> standsInFor);

// A player the last run left keeps what its start knew of its titles.
void KeepPlayerRecord(AirState& air, int slot, const PlayerRecord& record);

// Whether the slot's player has started playing: MPlayer writes "Starting
// playback..." to its log once its audio output runs. Only the start of the
// log is read (a player says it within its first few kilobytes).
bool PlayerHasStarted(const std::filesystem::path& folder, int slot);

}  // namespace bf
