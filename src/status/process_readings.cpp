#include "status/process_readings.h"

#include "core/player_files.h"
#include "core/station.h"

namespace bf {

const ProcessReadings& ProcessReadingsCache::Read(const Station& station) {
    const double now = station.clock.monotonicSeconds();
    if (readAt_ && now - *readAt_ >= 0 && now - *readAt_ < kMostAgeSeconds) return readings_;
    readAt_ = now;
    readings_.playerRunning[0] = station.processes.isRunning(PlayerName(1)).value_or(false);
    readings_.playerRunning[1] = station.processes.isRunning(PlayerName(2)).value_or(false);
    const double bootedAt = station.clock.now().epoch - station.clock.bootSeconds();
    for (int slot = 1; slot <= 2; ++slot) {
        const std::optional<ImageFigures> figures = station.processes.figuresOf(PlayerName(slot));
        const size_t i = static_cast<size_t>(slot - 1);
        readings_.playerResidentBytes[i].reset();
        readings_.playerStartTime[i].reset();
        if (!figures) continue;
        readings_.playerResidentBytes[i] = figures->residentBytes;
        readings_.playerStartTime[i] = bootedAt + figures->startedAfterBoot;
    }
    readings_.process = station.processStats.sample();
    return readings_;
}

}  // namespace bf
