#include "app/station_reactions.h"

#include "core/station.h"
#include "core/timer_names.h"

namespace bf {

void StationReactions::switched(const SwitchEvent& event) {
    station_.counters.countSwitch(event.cause);
    // The report waits on the management server up to ten times; it runs
    // from its own timer, after the switch's caller has answered.
    station_.timers.start(TimerName::ReportSourceList);
}

void StationReactions::titleChanged(std::string_view) {
    station_.counters.countTitleChange(station_.state.SystemRuntime, station_.clock.now().epoch);
}

void StationReactions::playerRestarted(const AirSource&) {
    ++station_.counters.playerRestarts;
}

}  // namespace bf
