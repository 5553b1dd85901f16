#include "app/reactions/counters.h"

#include "core/station.h"

namespace bf {

void CountersReaction::switched(const SwitchEvent& event) {
    station_.counters.countSwitch(event.cause);
}

void CountersReaction::titleChanged(const TitleChange& change) {
    // The strapline in place of a failed source's title is no new title.
    if (change.cause == TitleCause::Failover) return;
    station_.counters.countTitleChange(station_.state.SystemRuntime, station_.clock.now().epoch);
}

void CountersReaction::playerRestarted(const RestartEvent&) {
    ++station_.counters.playerRestarts;
}

void CountersReaction::checked(const CheckEvent& event) {
    station_.counters.countHealthCheck(event.result, event.waited, station_.clock.now().epoch);
}

}  // namespace bf
