#pragma once

#include "app/event_hooks.h"
#include "app/metadata_reactions.h"
#include "core/station_events.h"

namespace bf {

struct Station;

// What the station does when one of its parts announces something: tells
// the station log why the air changed, counts it for the status listener,
// tells the operator's event command, and after a switch reports the source
// list to the management server once the switch's caller is done.
class StationReactions : public StationListener {
public:
    explicit StationReactions(Station& station) : station_(station), hooks_(station), metadata_(station) {}
    void switched(const SwitchEvent& event) override;
    void failoverStarted(const FailoverEvent& event) override;
    void returned(const AirSource& source) override;
    void titleChanged(const TitleChange& change) override;
    void paidAiring(const PaidItem& paid) override;
    void playerRestarted(const AirSource& source) override;
    void lastResort(const AirSource& source) override;

private:
    Station& station_;
    EventHooks hooks_;
    MetadataReactions metadata_;
};

}  // namespace bf
