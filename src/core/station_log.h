#pragma once

#include <string>
#include <string_view>

namespace bf {

struct Station;

// Adds one line to the top of the station log (txtAIR):
// " YYYY-MM-DD HH:MM:SS" + message + CR LF; a log longer than 2048 bytes is
// cut to its first 2000.
void AddToAirLog(Station& station, std::string_view message);

// "YYYY-MM-DD HH:MM:SS" directly followed by the message, for status labels.
std::string StampedStatus(const Station& station, std::string_view message);

}  // namespace bf
