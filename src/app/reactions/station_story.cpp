#include "app/reactions/station_story.h"

#include <filesystem>
#include <string>
#include <vector>

#include "core/player_files.h"
#include "core/station.h"
#include "core/station_log.h"
#include "core/text_decode.h"
#include "core/text_file.h"

namespace bf {

namespace {

// "3 Breakfast", or "3" for a source without a name.
std::string Named(const AirSource& source) {
    return std::to_string(source.number) + (source.name.empty() ? "" : " " + source.name);
}

// The last lines the player wrote (its errors among them), for the station
// log: why it ended.
std::string LastWords(const Station& station, int slot) {
    const std::optional<std::string> tail = ReadFileTail(station.file(PlayerFilesOf(slot).log), 4096);
    if (!tail) return "no log";
    std::vector<std::string> lines;
    ForEachLine(*tail, [&](std::string_view line) {
        if (line.find_first_not_of(" \t") != std::string_view::npos) lines.emplace_back(line);
    });
    std::string words;
    for (size_t i = lines.size() > 3 ? lines.size() - 3 : 0; i < lines.size(); ++i)
        words += (words.empty() ? "" : " | ") + lines[i];
    return words.empty() ? "nothing in its log" : std::string(CutAtCharacter(words, 240));
}

}  // namespace

void StationStory::switched(const SwitchEvent& event) {
    AddToAirLog(station_,
                "  SYS - SWITCH TO " + Named(event.to) + " (" +
                    std::string(kSwitchCauseNames[static_cast<size_t>(event.cause)]) + ")",
                LogPriority::Notice);
}

void StationStory::failoverStarted(const FailoverEvent& event) {
    static constexpr const char* kStandIn[] = {"THE BACKUP TAKES OVER", "THE LAST RESORT TAKES OVER",
                                               "NO BACKUP, IT STAYS ON AIR"};
    AddToAirLog(station_,
                "  SYS - FAILOVER: SOURCE " + Named(event.failed) + " FAILED (" + event.reason + ") - " +
                    kStandIn[static_cast<size_t>(event.standIn)],
                LogPriority::Warning);
}

void StationStory::playerRestarted(const RestartEvent& event) {
    const int slot = event.slot;
    const AirSource& source = event.source;
    const std::string name = PlayerName(slot);
    std::error_code ec;
    // A hung player that still runs has had its line; one that ended has
    // its last words told.
    if (station_.processes.isRunning(name) == true) return;
    if (!std::filesystem::exists(station_.file(name), ec))
        AddToAirLog(station_, "  SYS - PLAYER LINK " + name + " MISSING OR BROKEN - NO PLAYER CAN START",
                    LogPriority::Error);
    else
        AddToAirLog(
            station_,
            "  SYS - PLAYER " + name + " ENDED (SOURCE " + Named(source) + "): " + LastWords(station_, slot),
            LogPriority::Warning);
}

}  // namespace bf
