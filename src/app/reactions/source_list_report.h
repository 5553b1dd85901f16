#pragma once

#include "core/station_events.h"

namespace bf {

struct Station;

// After a switch the source list is reported to the management server. The
// report waits on the server up to ten times: it runs from its own timer,
// after the switch's caller has answered.
class SourceListReportReaction : public StationListener {
public:
    explicit SourceListReportReaction(Station& station) : station_(station) {}
    void switched(const SwitchEvent& event) override;

private:
    Station& station_;
};

}  // namespace bf
