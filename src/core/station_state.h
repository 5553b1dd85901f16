#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace bf {

// What is left of the program's own running record once every part keeps
// its facts in a record of its own (station.settings(), station.onAir,
// station.nowPlaying, station.metadata, station.management,
// station.schedule, station.check): the facts of the program itself, which
// no part owns. The console dump names the first four.
struct StationState {
    // Seconds the counter tick (tmrCounter_Timer) has counted, from 0 to 120;
    // written by that tick alone. The metadata outputs give the weather its
    // turn in metaextra.txt by it.
    int16_t TimerCount = 0;
    // The window's full-screen state (1), as the full-screen button left it;
    // the window's alone.
    int16_t MinMax = 0;
    // The program's uptime in seconds and when it started (MM-DD-YYYY-
    // HH:MM:SS); written by the start and the counter tick alone, read by the
    // console, the status page, the metrics and the counters.
    int32_t SystemRuntime = 0;
    std::string SystemStart;
    // The station's files whose last write failed, with why (errno); written
    // by core/file_trouble alone, which says the trouble once and its end once.
    std::map<std::string, int> FailingFiles;
};

}  // namespace bf
