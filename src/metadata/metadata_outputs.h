#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace bf {

struct Station;

// True when `marker` occurs in `text`, folding only the ASCII letters: other
// bytes (UTF-8 sequences, Latin-1 letters) must match exactly.
bool ContainsNoCase(std::string_view text, std::string_view marker);

// A title carrying a system command holds this marker (any case).
bool IsSystemCommand(std::string_view title);

// A paid item begins with "$ ". The test pads the title with three blanks,
// so a title of just "$" counts too, and an empty one does not.
bool IsBillingTitle(std::string_view title);

// "  API - " + title in the station log, for a new title carrying a system
// command.
void LogSystemCommand(Station& station, std::string_view title);

// A new paid airing at `now`: the "  PAY - " log line, and tallyway.txt (its
// stamp and the title) due at the end of the tick. Returns the stamp.
std::string WriteBillingOutputs(Station& station, std::string_view title, const LocalTime& now);

// The paid title tallyway.txt holds, if any.
std::optional<std::string> PaidAiringOnAir(const Station& station);

// The end of every metadata tick: metadata.txt and metaextra.txt from the
// now-playing text and the settings, kept in station.metadata.outputs with
// whether the text carries the traffic marker or a system command; and
// tallyway.txt with the newest paid airing, when one came since it was
// written. It is synced to the disk, so that a restart does not bill the
// airing again: once a tick however many paid titles came, so that a flood
// of them cannot hold the station up. A new
// metadata.txt line is told to the listener (metadataLineChanged).
void ProduceMetadataOutputs(Station& station);

}  // namespace bf
