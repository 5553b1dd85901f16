#pragma once

#include <filesystem>

#include "platform/process_stats.h"

namespace bf {

// The figures of the calling process as Linux's /proc tells them:
// <root>/self/stat (CPU time, resident pages), <root>/self/fd and
// <root>/self/limits. Each value is read on its own: one that cannot be read
// stays empty. The start is the wall clock's when the object was made (made
// as the program starts): the boot time in /proc/stat is hidden from a
// service with ProcSubset=pid.
class ProcProcessStats : public ProcessStats {
public:
    explicit ProcProcessStats(std::filesystem::path root = "/proc");
    ProcessSample sample() const override;

private:
    std::filesystem::path root_;
    double ticksPerSecond_;
    double pageBytes_;
    double startTime_;
};

}  // namespace bf
