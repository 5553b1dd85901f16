#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace bf {

// The station's record beside its settings (station.settings()), what is on
// air (station.onAir), what is playing (station.nowPlaying), the metadata and
// management parts' records (station.metadata, station.management) and the
// schedule (station.schedule). Integers are 16-bit, the uptime 32-bit.
struct StationState {
    int16_t TimerCount = 0;
    int16_t MinMax = 0;
    int32_t SystemRuntime = 0;
    std::string SystemStart;
    // The station's files whose last write failed, with why (errno).
    std::map<std::string, int> FailingFiles;
};

}  // namespace bf
