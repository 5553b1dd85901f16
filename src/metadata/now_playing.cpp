#include "metadata/now_playing.h"

#include <string>

#include "core/station.h"
#include "metadata/billing_reporter.h"
#include "metadata/metadata_outputs.h"

namespace bf {

namespace {

// Whether the title begins a paid airing; keeps the paid title on air.
// `before` is the title taken before an announced one.
bool BeginsPaidAiring(std::string& paidTitleOnAir, std::string_view title, TitleArrival arrival,
                      std::string_view before) {
    if (arrival == TitleArrival::Announced) {
        if (title == before) return false;
        if (!IsBillingTitle(title)) {
            paidTitleOnAir.clear();
            return false;
        }
    } else if (!IsBillingTitle(title) || title == paidTitleOnAir) {
        return false;
    }
    paidTitleOnAir = std::string(title);
    return true;
}

// The received title: shown, counted when it changes and passed on.
void PassOn(Station& station, std::string_view title) {
    StationState& s = station.state;
    if (title.empty()) return;
    Label& received = station.console.lblRXmetadata;
    if (title != received.caption) {
        station.listener->titleChanged(title);
        received.caption = std::string(title);
    }
    s.RXmetadata = IsBillingTitle(title) ? station.settings().DefaultStrapline : std::string(title);
}

}  // namespace

void TakeTitle(Station& station, std::string_view title, TitleArrival arrival) {
    StationState& s = station.state;
    if (BeginsPaidAiring(s.PaidTitleOnAir, title, arrival, s.TitleTaken)) {
        WriteBillingOutputs(station, title);
        if (station.settings().Tallyway) QueueReport(station, PaidItem{s.TallywayTT, s.TallywayMM});
    }
    if (title != s.PreviousMetadata && IsSystemCommand(title)) LogSystemCommand(station, title);
    PassOn(station, title);
    s.TitleTaken = std::string(title);
    s.PreviousMetadata = s.TitleTaken;
}

void HoldTitle(Station& station, std::string_view title) {
    PassOn(station, title);
    station.state.PreviousMetadata = std::string(title);
}

}  // namespace bf

namespace bf {

void ReceivedTitleOffAir(Station& station) {
    station.console.lblRXmetadata.caption = station.settings().DefaultStrapline;
    station.state.RXmetadata = station.settings().DefaultStrapline;
}

}  // namespace bf
