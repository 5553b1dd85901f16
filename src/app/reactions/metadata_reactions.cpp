#include "app/reactions/metadata_reactions.h"

#include "core/station.h"
#include "metadata/air_update.h"
#include "metadata/billing_reporter.h"
#include "metadata/now_playing.h"

namespace bf {

void MetadataReactions::titleChanged(const TitleChange& change) {
    if (station_.settings().AIRenable) NoteAirText(station_, change.text);
}

void MetadataReactions::paidAiring(const PaidItem& paid) {
    if (station_.settings().Tallyway) QueueReport(station_, paid);
}

void MetadataReactions::failoverStarted(const FailoverEvent&) {
    ShowStrapline(station_);
}

// The file played when nothing else can has no title: the last one heard
// would stay on air beside it.
void MetadataReactions::lastResort(const LastResortEvent&) {
    ShowStrapline(station_);
}

}  // namespace bf
