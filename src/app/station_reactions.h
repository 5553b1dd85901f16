#pragma once

#include "core/station_events.h"

namespace bf {

struct Station;

// What the station does when one of its parts announces something: counts
// it for the status listener, and after a switch reports the source list to
// the management server once the switch's caller is done.
class StationReactions : public StationListener {
public:
    explicit StationReactions(Station& station) : station_(station) {}
    void switched(const SwitchEvent& event) override;
    void titleChanged(std::string_view title) override;
    void playerRestarted(const AirSource& source) override;

private:
    Station& station_;
};

}  // namespace bf
