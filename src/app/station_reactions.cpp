#include "app/station_reactions.h"

#include <filesystem>
#include <string>
#include <vector>

#include "core/station.h"
#include "core/station_log.h"
#include "core/text_decode.h"
#include "core/text_file.h"
#include "core/timer_names.h"
#include "sources/player_control.h"

namespace bf {

namespace {

// "3 Breakfast", or "3" for a source without a name.
std::string Named(const AirSource& source) {
    return std::to_string(source.number) + (source.name.empty() ? "" : " " + source.name);
}

// The last lines the player wrote (its errors among them), for the station
// log: why it ended.
std::string LastWords(const Station& station, int slot) {
    const std::optional<std::string> tail = ReadFileTail(station.file(PlayerName(slot) + ".log"), 4096);
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

void StationReactions::switched(const SwitchEvent& event) {
    station_.counters.countSwitch(event.cause);
    AddToAirLog(station_,
                "  SYS - SWITCH TO " + Named(event.to) + " (" +
                    std::string(kSwitchCauseNames[static_cast<size_t>(event.cause)]) + ")",
                LogPriority::Notice);
    // A failover, a return and a restart are told as such.
    if (event.cause != SwitchCause::Failover && event.cause != SwitchCause::Return &&
        event.cause != SwitchCause::Restart)
        hooks_.tell("switch", event.to);
    // The report waits on the management server up to ten times; it runs
    // from its own timer, after the switch's caller has answered.
    station_.timers.start(TimerName::ReportSourceList);
}

void StationReactions::failoverStarted(const FailoverEvent& event) {
    metadata_.failoverStarted(event);
    static constexpr const char* kStandIn[] = {"THE BACKUP TAKES OVER", "THE LAST RESORT TAKES OVER",
                                               "NO BACKUP, IT STAYS ON AIR"};
    AddToAirLog(station_,
                "  SYS - FAILOVER: SOURCE " + Named(event.failed) + " FAILED (" + event.reason + ") - " +
                    kStandIn[static_cast<size_t>(event.standIn)],
                LogPriority::Warning);
    hooks_.tell(event.silence ? "silence" : "failover", event.failed);
}

void StationReactions::lastResort(const AirSource& source) {
    hooks_.tell("last-resort", source);
}

void StationReactions::returned(const AirSource& source) {
    hooks_.tell("return", source);
}

void StationReactions::titleChanged(const TitleChange& change) {
    // The strapline in place of a failed source's title is no new title.
    if (change.cause != TitleCause::Failover)
        station_.counters.countTitleChange(station_.state.SystemRuntime, station_.clock.now().epoch);
    metadata_.titleChanged(change);
}

void StationReactions::paidAiring(const PaidItem& paid) {
    metadata_.paidAiring(paid);
}

void StationReactions::playerRestarted(const AirSource& source) {
    ++station_.counters.playerRestarts;
    const int slot = station_.onAir.CurrentMplayer();
    const std::string name = PlayerName(slot);
    std::error_code ec;
    // A hung player that still runs has had its line; one that ended has
    // its last words told.
    const bool hung = station_.processes.isRunning(name) == true;
    if (!hung && !std::filesystem::exists(station_.file(name), ec))
        AddToAirLog(station_, "  SYS - PLAYER LINK " + name + " MISSING OR BROKEN - NO PLAYER CAN START",
                    LogPriority::Error);
    else if (!hung)
        AddToAirLog(
            station_,
            "  SYS - PLAYER " + name + " ENDED (SOURCE " + Named(source) + "): " + LastWords(station_, slot),
            LogPriority::Warning);
    hooks_.tell("restart", source);
}

}  // namespace bf
