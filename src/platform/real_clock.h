#pragma once

#include "platform/clock.h"

namespace bf {

// The machine's local wall clock.
class RealClock : public Clock {
public:
    LocalTime now() const override;
    double monotonicSeconds() const override;
    double bootSeconds() const override;
    // Sleeps the thread; the event loop is not run meanwhile.
    void sleep(double seconds) override;
};

}  // namespace bf
