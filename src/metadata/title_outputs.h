#pragma once

#include <string>
#include <string_view>

#include "core/settings_record.h"
#include "core/station_events.h"
#include "core/timer_names.h"
#include "core/title_outputs_record.h"
#include "metadata/icecast_metadata.h"
#include "metadata/rds_feed.h"
#include "platform/timers.h"

namespace bf {

// The title outputs beside the files: the RDS encoder's direct feed and the
// station's own Icecast mount. They hear each new line of metadata.txt as
// the metadata tick writes it (the same filters, the strapline, paid items
// as the files show them), and keep their own record, which the status page
// and the metrics read. None of them can hold up the station.
class TitleOutputs : public StationListener {
public:
    // TimerName::TitleOutputs runs tick() every kTickMs while the RDS feed is
    // on (defined here; the program defines it again to run it through
    // RunHandler).
    static constexpr int kTickMs = 100;

    TitleOutputs(const Clock& clock, Timers& timers, EncoderLink& link, HttpClient& http,
                 TitleOutputsRecord& record, Say say);

    // Follows the settings (at the start and at every reading again): starts,
    // stops or retargets each output; `line` is what metadata.txt shows now.
    // A value that cannot be used keeps its output off and is said once.
    void configure(const Settings& settings, std::string_view line);
    void metadataLineChanged(const std::string& line) override;
    void tick() { rds_.tick(); }

private:
    Timers& timers_;
    Say say_;
    RdsFeed rds_;
    IcecastMetadataPush icecast_;
    std::string rdsProblem_, icecastProblem_;
};

}  // namespace bf
