#include "core/station.h"

#include "core/time_format.h"

namespace bf {

void AddToAirLog(Station& station, std::string_view message, LogPriority priority) {
    const LocalTime t = station.clock.now();
    std::string line = " " + FormatDateYMD(t) + " " + FormatTime(t);
    line.append(message);
    line += "\r\n";
    try {
        AppendToStationLogFile(station.file("station.log"), line);
        if (station.logSink) station.logSink(std::string_view(line).substr(1, line.size() - 3), priority);
    } catch (...) {
        // The on-screen log below still gets the line.
    }
    station.log.add(std::move(line));
}

std::string StampedText(const LocalTime& at, std::string_view message) {
    std::string text = FormatDateYMD(at) + " " + FormatTime(at);
    text.append(message);
    return text;
}

std::string StampedStatus(const Station& station, std::string_view message) {
    return StampedText(station.clock.now(), message);
}

}  // namespace bf
