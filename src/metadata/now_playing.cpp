#include "metadata/now_playing.h"

#include <optional>
#include <string>

#include "core/station.h"
#include "metadata/metadata_outputs.h"

namespace bf {

// The one writer of station.nowPlaying.
struct NowPlayingWriter {
    static NowPlayingRecord& Of(Station& station) { return station.nowPlaying; }

    // Whether the title begins a paid airing; keeps the paid title on air.
    // `before` is the title taken before an announced one.
    static bool BeginsPaidAiring(NowPlayingRecord& r, std::string_view title, TitleArrival arrival) {
        if (arrival == TitleArrival::Announced) {
            if (title == r.taken_) return false;
            if (!IsBillingTitle(title)) {
                r.paidTitleOnAir_.clear();
                return false;
            }
        } else if (!IsBillingTitle(title) || title == r.paidTitleOnAir_) {
            return false;
        }
        r.paidTitleOnAir_ = std::string(title);
        return true;
    }

    // Sets the received title and the text that goes out with it; a change
    // of the received title is told.
    static void Receive(Station& station, std::string_view title, std::string text, TitleCause cause) {
        NowPlayingRecord& r = Of(station);
        const bool changed = r.received_ != title;
        r.received_ = std::string(title);
        r.text_ = std::move(text);
        if (changed)
            PostEvent(station, &StationListener::titleChanged,
                      TitleChange{std::string(title), r.text_, cause});
    }

    // The received title: passed on and told when it changes.
    static void PassOn(Station& station, std::string_view title, TitleCause cause) {
        if (title.empty()) return;
        Receive(station, title,
                IsBillingTitle(title) ? station.settings().DefaultStrapline : std::string(title), cause);
    }

    static void Take(Station& station, std::string_view title, TitleArrival arrival) {
        NowPlayingRecord& r = Of(station);
        if (BeginsPaidAiring(r, title, arrival)) {
            const LocalTime now = station.clock.now();
            r.paidAiring_ = PaidItem{WriteBillingOutputs(station, title, now), std::string(title)};
            r.paidAiredAt_ = now;
            PostEvent(station, &StationListener::paidAiring, r.paidAiring_);
        }
        if (title != r.previous_ && IsSystemCommand(title)) LogSystemCommand(station, title);
        PassOn(station, title,
               arrival == TitleArrival::Announced ? TitleCause::Announced : TitleCause::ReadAgain);
        r.taken_ = std::string(title);
        r.previous_ = r.taken_;
    }

    static void Hold(Station& station, std::string_view title) {
        PassOn(station, title, TitleCause::Held);
        Of(station).previous_ = std::string(title);
    }

    static void Resume(Station& station) {
        if (std::optional<std::string> paid = PaidAiringOnAir(station)) Of(station).paidTitleOnAir_ = *paid;
    }

    static void Strapline(Station& station) {
        Receive(station, station.settings().DefaultStrapline, station.settings().DefaultStrapline,
                TitleCause::Failover);
    }
};

void TakeTitle(Station& station, std::string_view title, TitleArrival arrival) {
    NowPlayingWriter::Take(station, title, arrival);
}

void HoldTitle(Station& station, std::string_view title) {
    NowPlayingWriter::Hold(station, title);
}

void ResumePaidAiring(Station& station) {
    NowPlayingWriter::Resume(station);
}

void ShowStrapline(Station& station) {
    NowPlayingWriter::Strapline(station);
}

}  // namespace bf
