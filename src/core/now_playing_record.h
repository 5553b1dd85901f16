#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/clock.h"

namespace bf {

// A paid item: its stamp and its text with the leading "$ ". Two are the
// same item when stamp and text are.
struct PaidItem {
    std::string stamp;
    std::string item;
    // Billing ticks (seconds) until the next attempt after a failed one; 0:
    // due now.
    int16_t retryCountdown = 0;
    // A refusal whose copy tallyway-rejected.txt could not take yet: the
    // status and the reply's first line. Such a report is not sent again.
    struct Refusal {
        int status = 0;
        std::string reply;
    };
    std::optional<Refusal> refused = std::nullopt;
    bool operator==(const PaidItem& other) const { return stamp == other.stamp && item == other.item; }
};

// Why the received title changed: the stream announced it, it was read
// again when a connection to the stream began, the title the active
// player's log holds was passed on again (after a failover had put the
// strapline in its place), or a failover put the strapline in place of what
// was received.
enum class TitleCause { Announced, ReadAgain, Held, Failover };

// A change of the received title, as the now-playing owner tells it.
struct TitleChange {
    std::string title;  // the received title
    std::string text;   // the now-playing text that goes out with it
    TitleCause cause = TitleCause::Announced;
};

// What is playing: the title the stream carries and the paid airing.
// Everyone reads it; only the now-playing owner (metadata/now_playing)
// changes it, and it tells each change of the received title through
// StationListener::titleChanged and each new paid airing through
// StationListener::paidAiring.
class NowPlayingRecord {
public:
    // The title received last, as the console shows it; none before the
    // first. After a failover it is the strapline until a title comes.
    const std::optional<std::string>& received() const { return received_; }
    // The now-playing text that goes out (RXmetadata): the received title,
    // or DefaultStrapline for a paid title and after a failover.
    const std::string& text() const { return text_; }
    // PreviousMetadata: the title taken last, or the one the active player's
    // log held at the last metadata tick; empty when it held none.
    const std::string& previous() const { return previous_; }
    // The last title the title intake took, whoever read it: the title
    // before the next one the stream announces.
    const std::string& taken() const { return taken_; }
    // The paid title whose airing is on air, until the stream announces
    // another title: the same paid title read again from a fresh player log
    // (a restart of a player or of the program, a switch back) is the same
    // airing. Empty when no paid airing is on air.
    const std::string& paidTitleOnAir() const { return paidTitleOnAir_; }
    // The paid airing recorded last in tallyway.txt (TallywayTT and
    // TallywayMM), and when; empty before the first of this run.
    const PaidItem& paidAiring() const { return paidAiring_; }
    const std::optional<LocalTime>& paidAiredAt() const { return paidAiredAt_; }

private:
    friend struct NowPlayingWriter;  // metadata/now_playing.cpp

    std::optional<std::string> received_;
    std::string text_;
    std::string previous_;
    std::string taken_;
    std::string paidTitleOnAir_;
    PaidItem paidAiring_;
    std::optional<LocalTime> paidAiredAt_;
};

}  // namespace bf
