#pragma once

#include "platform/process_stats.h"

namespace bf::test {

// Process figures that a test sets.
class FakeProcessStats : public ProcessStats {
public:
    ProcessSample sample() const override { return values; }
    ProcessSample values{2.5, 12582912, 17, 1024, 1796558000.25};
};

}  // namespace bf::test
