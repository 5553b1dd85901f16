#include "sources/watchdog.h"

#include "core/player_files.h"
#include "core/station.h"
#include "core/station_log.h"
#include "core/text_file.h"
#include "core/time_format.h"
#include "sources/on_air.h"

namespace bf {

void RestartPlayer(Station& station, std::string_view why, bool stopAll) {
    const int16_t source = station.onAir.source().number;
    if (station.onAir.restartPending() || !station.onAir.everOnAir()) return;
    AddToAirLog(station, std::string(why), LogPriority::Warning);
    Observe(station, air::PlayerGone{stopAll});

    // The request above stands even when the restart log cannot be written.
    const LocalTime now = station.clock.now();
    const std::string line = "RESTART " + FormatDateMDY(now) + " " + FormatTime(now) +
                             " SOURCE:" + std::to_string(source) + "\r\n";
    AppendToFile(station.file("error.log"), line);
}

void tmrCheckMplayerOK_Timer(Station& station) {
    const std::optional<bool> slot1 = station.processes.isRunning(PlayerName(1));
    const std::optional<bool> slot2 = station.processes.isRunning(PlayerName(2));

    // An unreadable process table leaves what was seen before.
    if (slot1) station.air.players[1].seenRunning = slot1;
    if (slot2) station.air.players[2].seenRunning = slot2;

    // Only a process table that says both players are gone asks for a
    // restart; an unreadable one leaves the decision to the next tick.
    if (!slot1 || !slot2 || *slot1 || *slot2) return;
    RestartPlayer(station, "  SYS - RESTARTING MPLAYER - POSSIBLE NETWORK ISSUE", true);
}

}  // namespace bf
