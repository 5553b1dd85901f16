#include "sources/watchdog.h"

#include "core/station.h"
#include "core/station_log.h"
#include "core/text_file.h"
#include "core/time_format.h"
#include "sources/on_air.h"

namespace bf {

namespace {

// A slot's label shows its digit while its player runs. When the process
// table could not be read the label keeps what it showed.
void ShowSlot(Label& label, const std::optional<bool>& running, const char* digit) {
    if (running) label.caption = *running ? digit : "";
}

}  // namespace

std::optional<bool> IsProcessRunning(Station& station, const std::string& imageName) {
    return station.processes.isRunning(imageName);
}

void RestartPlayer(Station& station, std::string_view why) {
    const int16_t source = station.onAir.source().number;
    AddToAirLog(station, std::string(why), LogPriority::Warning);
    RequestRestart(station);

    // The request above stands even when the restart log cannot be written.
    const LocalTime now = station.clock.now();
    const std::string line = "RESTART " + FormatDateMDY(now) + " " + FormatTime(now) +
                             " SOURCE:" + std::to_string(source) + "\r\n";
    AppendToFile(station.file("error.log"), line);
}

void tmrCheckMplayerOK_Timer(Station& station) {
    const std::optional<bool> slot1 = IsProcessRunning(station, "mplayer1");
    const std::optional<bool> slot2 = IsProcessRunning(station, "mplayer2");

    ShowSlot(station.console.lblMplayer1, slot1, "1");
    ShowSlot(station.console.lblMplayer2, slot2, "2");

    // Only a process table that says both players are gone asks for a
    // restart; an unreadable one leaves the decision to the next tick.
    if (!slot1 || !slot2) return;
    if (!station.onAir.everOnAir() || station.onAir.restartPending() || *slot1 || *slot2) return;

    StopAllPlayers(station);  // clears a half-ended player
    RestartPlayer(station, "  SYS - RESTARTING MPLAYER - POSSIBLE NETWORK ISSUE");
}

}  // namespace bf
