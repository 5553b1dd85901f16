#include "sources/manual_switch.h"

#include <string>

#include "core/station.h"
#include "core/station_log.h"
#include "core/timer_names.h"
#include "sources/health_check.h"
#include "sources/on_air.h"
#include "sources/source_list.h"

namespace bf {

bool ForceSwitch(Station& station, std::string_view number, SwitchCause cause, std::string_view by) {
    DeliveryScope scope(station.events, *station.listener);
    if (!Observe(station, air::Choice{std::string(number), cause, std::string(by)}).taken) return false;
    const std::string command = FindSource(station.workingFolder, number).command;
    if (command.size() > 4) {
        station.processes.runShellCommand(command);
        PostToAirLog(station, "  RUNNING EXTERNAL COMMAND (" + command + ")");
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
    DeliveryScope scope(station.events, *station.listener);
    station.timers.stop(TimerName::SourceCheck);
    station.timers.stop(TimerName::CheckMplayerOK);
    if (Observe(station, air::LeaveBackup{}).taken) {
        NoteForcedRestart(station.check, station.onAir.source().url);
        PostToAirLog(station, "  USR - USER FORCED SWITCH FROM BACKUP (SOURCE " +
                                  std::to_string(station.onAir.CurrentSource()) + ")");
    }

    station.timers.start(TimerName::CheckMplayerOK);
    ResetHealthCheck(station.check, station.settings().CheckSource);
    if (station.settings().CheckSource) station.timers.start(TimerName::SourceCheck);
}

}  // namespace bf
