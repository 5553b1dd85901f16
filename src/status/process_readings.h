#pragma once

#include <optional>

#include "platform/process_stats.h"

namespace bf {

struct Station;

// What the status port tells of the process table (whether each slot's
// player runs) and of the program's own resources.
struct ProcessReadings {
    bool playerRunning[2] = {false, false};  // slot 1, slot 2
    // Each slot's processes (MPlayer's cache process too): their resident
    // memory summed, and the player's start in seconds since 1970, by the
    // boot clock against the wall clock now (the kernel counts process
    // starts from the boot). Empty while none runs.
    std::optional<double> playerResidentBytes[2];
    std::optional<double> playerStartTime[2];
    ProcessSample process;
};

// Reads the process table and the program's figures at most once a second,
// however often the status port is asked: a scrape loop costs no more than
// one scrape a second, and the answers are at most a second old.
class ProcessReadingsCache {
public:
    static constexpr double kMostAgeSeconds = 1.0;

    const ProcessReadings& Read(const Station& station);

private:
    ProcessReadings readings_;
    std::optional<double> readAt_;  // monotonic seconds
};

}  // namespace bf
