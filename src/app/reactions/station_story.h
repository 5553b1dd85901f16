#pragma once

#include "core/station_events.h"

namespace bf {

struct Station;

// Tells the station log why the air changed: a switch and its cause, a
// failover and what stands in, a player that ended and its last words.
class StationStory : public StationListener {
public:
    explicit StationStory(Station& station) : station_(station) {}
    void switched(const SwitchEvent& event) override;
    void failoverStarted(const FailoverEvent& event) override;
    void playerRestarted(const RestartEvent& event) override;

private:
    Station& station_;
};

}  // namespace bf
