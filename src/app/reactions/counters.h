#pragma once

#include "core/station_events.h"

namespace bf {

struct Station;

// Counts switches by cause, title changes and player restarts for the
// status listener.
class CountersReaction : public StationListener {
public:
    explicit CountersReaction(Station& station) : station_(station) {}
    void switched(const SwitchEvent& event) override;
    void titleChanged(const TitleChange& change) override;
    void playerRestarted(const RestartEvent& event) override;
    void checked(const CheckEvent& event) override;

private:
    Station& station_;
};

}  // namespace bf
