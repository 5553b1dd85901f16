#pragma once

#include "core/station_events.h"

namespace bf {

struct Station;

// What the metadata part does when the station's parts announce something:
// TuneIn AIR hears each new now-playing text, the billing reporter each paid
// airing, and a failover or the last resort puts the strapline in place of
// what was received.
class MetadataReactions : public StationListener {
public:
    explicit MetadataReactions(Station& station) : station_(station) {}
    void titleChanged(const TitleChange& change) override;
    void paidAiring(const PaidItem& paid) override;
    void failoverStarted(const FailoverEvent& event) override;
    void lastResort(const LastResortEvent& event) override;

private:
    Station& station_;
};

}  // namespace bf
