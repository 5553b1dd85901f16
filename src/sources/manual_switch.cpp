#include "sources/manual_switch.h"

#include <string>

#include "core/station.h"
#include "core/station_log.h"
#include "core/timer_names.h"
#include "sources/on_air.h"
#include "sources/source_list.h"

namespace bf {

bool ForceSwitch(Station& station, std::string_view number, SwitchCause cause) {
    if (!SelectSource(station, number, cause)) return false;
    const std::string& command = FindSource(station, number).command;
    if (command.size() > 4) {
        station.processes.runShellCommand(command);
        AddToAirLog(station, "  RUNNING EXTERNAL COMMAND (" + command + ")");
    }
    return true;
}

void cmdForceSwitch_Click(Station& station) {
    // An empty list text gives an empty number, which finds no source, like
    // an unchosen list.
    const std::string number = station.console.comboSourceList.text.substr(0, 1);
    ForceSwitch(station, number, SwitchCause::Operator);
}

void cmdForceSource_Click(Station& station) {
    ConsoleModel& c = station.console;

    station.timers.stop(TimerName::SourceCheck);
    station.timers.stop(TimerName::CheckMplayerOK);
    if (RestartFromScratch(station)) {
        c.lblDebug.caption = station.onAir.source().url;
        AddToAirLog(station, "  USR - USER FORCED SWITCH FROM BACKUP (SOURCE " +
                                 std::to_string(station.onAir.CurrentSource()) + ")");
    }

    station.timers.start(TimerName::CheckMplayerOK);
    if (station.settings().CheckSource) {
        c.lblFailText.caption = "WAITING";
        c.lblFailCheckTime.caption = "NONE";
        c.lblFailURL.caption = "PERFORMING INITIAL CHECKS";
        station.timers.start(TimerName::SourceCheck);
    } else {
        c.lblFailText.caption = "DISABLED";
        c.lblFailURL.caption = "NONE";
        c.lblFailCheckTime.caption = "NONE";
    }
}

}  // namespace bf
