#include "app/reactions/counters.h"

#include "core/station.h"

namespace bf {

void CountersReaction::switched(const SwitchEvent& event) {
    station_.counters.countSwitch(event.cause);
}

void CountersReaction::titleChanged(std::string_view) {
    station_.counters.countTitleChange(station_.state.SystemRuntime, station_.clock.now().epoch);
}

void CountersReaction::playerRestarted(const AirSource&) {
    ++station_.counters.playerRestarts;
}

}  // namespace bf
