#pragma once

#include <string>
#include <string_view>

namespace bf {

struct Station;

// Looks a key up in section [Brackenfield] of brackenfield.ini. Section and
// key match without regard to case; the value is cut to 119 bytes and at its
// first NUL; a missing file or key reads as the working folder's path.
std::string ReadSetting(const Station& station, std::string_view key);

// Reads the 26 keys into the station state, one after the other, then
// FastFailover, and returns the Tallyway value, which only the startup uses.
std::string LoadSettings(Station& station);

}  // namespace bf
