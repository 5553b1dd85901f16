#include "core/station_log.h"

#include "core/station.h"
#include "core/time_format.h"

namespace bf {

namespace {
constexpr size_t kLogLimit = 2048;
constexpr size_t kLogKeep = 2000;
}  // namespace

void AddToAirLog(Station& station, std::string_view message) {
    const LocalTime t = station.clock.now();
    std::string text = " " + FormatDateYMD(t) + " " + FormatTime(t);
    text.append(message);
    text += "\r\n";
    text += station.console.txtAIR;
    if (text.size() > kLogLimit) text.resize(kLogKeep);
    station.console.txtAIR = std::move(text);
}

std::string StampedStatus(const Station& station, std::string_view message) {
    const LocalTime t = station.clock.now();
    std::string text = FormatDateYMD(t) + " " + FormatTime(t);
    text.append(message);
    return text;
}

}  // namespace bf
