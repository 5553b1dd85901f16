#include "core/station.h"

#include "core/time_format.h"

namespace bf {

Station::Station(Platform platform, std::filesystem::path folder, StationOptions choices)
    : Platform(platform), workingFolder(std::move(folder)), options(std::move(choices)) {
    // A reaction that fails loses its own event, said like a handler's failure.
    events.failed = [this](std::string_view why) {
        AddToAirLog(*this, "  SYS - A REACTION FAILED: " + std::string(why), LogPriority::Error);
    };
}

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

void PostToAirLog(Station& station, std::string message, LogPriority priority) {
    station.events.post(*station.listener,
                        [&station, message = std::move(message), priority](StationListener&) {
                            AddToAirLog(station, message, priority);
                        });
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
