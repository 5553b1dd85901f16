#pragma once

#include "asrun/as_run_record.h"
#include "core/station_events.h"

namespace bf {

struct Station;

// What aired when and why, as it happens, into the as-run record: each
// stretch on air with its cause, each title the stream announces, each
// stall, silence, failover and the last resort.
class AsRunStory : public StationListener {
public:
    explicit AsRunStory(Station& station);
    void switched(const SwitchEvent& event) override;
    void failoverStarted(const FailoverEvent& event) override;
    void titleChanged(const TitleChange& change) override;
    void lastResort(const LastResortEvent& event) override;
    void lastResortTrack(const std::string& title) override;
    void airTrouble(const AirTrouble& trouble) override;

private:
    void add(AsRunEvent event, const AirSource& source, std::string cause, std::string detail,
             std::string by = {});

    Station& station_;
    AsRunRecord record_;
};

}  // namespace bf
