#pragma once

#include "core/station_events.h"

namespace bf {

struct Station;

// A failover takes the failed source's title off air: the default strapline
// is the received title until the stand-in's player tells one.
class ReceivedTitleReaction : public StationListener {
public:
    explicit ReceivedTitleReaction(Station& station) : station_(station) {}
    void failoverStarted(const FailoverEvent& event) override;

private:
    Station& station_;
};

}  // namespace bf
