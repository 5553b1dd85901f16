#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace bf {

struct Station;
struct StationState;
struct StationCounters;
struct ProcessReadings;

// A value of the status: text (UTF-8, as the console draws the station's
// bytes), a number, a yes/no, or lines of text.
using StatusValue = std::variant<std::string, int64_t, bool, std::vector<std::string>>;

// One value and its place: "on_air.name"; a part made of digits is an index
// into an array ("players.0.running").
struct StatusField {
    std::string_view path;
    StatusValue value;
};

// Every value the status page and scripts read, in the order of the JSON
// document, each container's fields together; what they say of processes
// comes from `readings`. Reads the station, never changes it. No text shows
// the user and password of an address in it: the page's readers are not
// only the source list's. The log leaves the browser console's lines out
// (they name its users and their addresses) unless `webLines`: for a
// logged-in user's page.
std::vector<StatusField> StatusFields(const Station& station, const ProcessReadings& readings,
                                      bool webLines = false);

// The fields as one JSON object (see the README).
std::string StatusJson(const Station& station, const ProcessReadings& readings, bool webLines = false);

// A label's colour as the page draws it: "#rrggbb", or "" when it has none.
std::string CssColour(std::optional<uint32_t> colour);

// Seconds since the now-playing title last changed, or since the start
// before the first title.
int64_t SecondsSinceTitleChange(const StationState& state, const StationCounters& counters);

}  // namespace bf
