#pragma once

#include <filesystem>

#include "platform/process_stats.h"

namespace bf {

// The figures of the calling process as Linux's /proc tells them:
// <root>/self/stat (CPU time, resident pages, start in clock ticks after
// boot), <root>/stat (the boot time), <root>/self/fd and <root>/self/limits.
// Each value is read on its own: one that cannot be read stays empty.
class ProcProcessStats : public ProcessStats {
public:
    explicit ProcProcessStats(std::filesystem::path root = "/proc");
    ProcessSample sample() const override;

private:
    std::filesystem::path root_;
    double ticksPerSecond_;
    double pageBytes_;
};

}  // namespace bf
