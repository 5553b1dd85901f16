#pragma once

#include <string_view>

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

// A new paid airing: lblTraffic, the "  PAY - " log line, tallyway.txt and
// TallywayTT / TallywayMM for the billing reporter.
void WriteBillingOutputs(Station& station, std::string_view title);

// Startup: the last paid airing in tallyway.txt counts as still on air, so
// that the stream's title read again after a restart is not a new airing.
void ResumePaidAiring(Station& station);

// The end of every metadata tick: metadata.txt and metaextra.txt from
// RXmetadata and the settings, the metadata labels and the two indicators.
void ProduceMetadataOutputs(Station& station);

}  // namespace bf
