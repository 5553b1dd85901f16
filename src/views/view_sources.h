#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace bf {

struct Station;
struct ConsoleModel;
struct Settings;
class OnAirRecord;

// Draws the labels of what is on air, the players, the air as heard and the
// health check from their owners' records. A record with nothing to tell yet
// leaves its labels as they are.
void DrawSources(const Station& station, ConsoleModel& console);

// The backup chain as the station knows it, in order: each link with a
// playable URL, and its state: "on air", "standby" (heard playable),
// "failing", "held" (failed, and not yet flowing for the hold again) or
// "unheard" (StandbyCheck off, or no word of its monitor yet).
struct ChainLink {
    int16_t source = 0;
    std::string name;
    std::string_view state;
};
std::vector<ChainLink> ChainOf(const std::filesystem::path& folder, const Settings& settings,
                               const OnAirRecord& onAir);

// The chain in a row, as the console and the status page show it:
// "0 Backup (on air) > 7 Night relay (failing)"; "none" without a link.
std::string ChainRow(const std::vector<ChainLink>& chain);

}  // namespace bf
