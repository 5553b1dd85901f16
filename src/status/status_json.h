#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace bf {

struct Station;

// The station's bytes as UTF-8, decoded as the console draws them.
std::string Utf8(std::string_view bytes);

// The fields the status page and scripts read, as one JSON object (see the
// README). Reads the station, never changes it.
std::string StatusJson(const Station& station);

// A label's colour as the page draws it: "#rrggbb", or "" when it has none.
std::string CssColour(std::optional<uint32_t> colour);

// Seconds since the now-playing title last changed, or since the start
// before the first title.
int64_t SecondsSinceTitleChange(const Station& station);

}  // namespace bf
