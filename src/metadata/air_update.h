#pragma once

#include <string>
#include <string_view>

namespace bf {

struct Station;

// A request to TuneIn AIR gives up before the next tick (every 5 s) is due,
// so a tick never has to cancel its predecessor.
constexpr int kAirTimeoutMs = 4000;

struct AirText {
    std::string artist;
    std::string title;
};

// Splits a now-playing text at " - ": the artist before the first separator,
// the rest (each separator's first blank dropped, then the leading "- ") as
// the title. A separator counts only with two characters after it; without
// one the whole text is the artist.
AirText SplitAirText(std::string_view text);

// Told of each new now-playing text: keeps the newest for the AIR tick.
void NoteAirText(Station& station, std::string_view text);

// The AIR tick: sends the newest now-playing text it was told to TuneIn AIR
// when its artist or its title has changed (station.metadata.air keeps what
// went); a text that is no artist and title, or a file path, goes as the
// station's default marked as a commercial. A system command is not sent.
void tmrAirUpdate_Timer(Station& station);

}  // namespace bf
