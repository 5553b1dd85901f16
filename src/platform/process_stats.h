#pragma once

#include <optional>

namespace bf {

// What the operating system says about this process at one moment. A value
// that could not be read is left empty.
struct ProcessSample {
    std::optional<double> cpuSeconds;        // user and system time
    std::optional<double> residentBytes;     // resident memory
    std::optional<double> openFds;           // open file descriptors
    std::optional<double> maxFds;            // the soft limit on them
    std::optional<double> startTimeSeconds;  // since the Unix epoch
};

// The process's own resource figures for the metrics; tests hand in a fake.
class ProcessStats {
public:
    virtual ~ProcessStats() = default;
    virtual ProcessSample sample() const = 0;
};

}  // namespace bf
