#pragma once

#include <functional>
#include <string_view>

namespace bf {

// Named periodic timers that fire on the event-loop thread. A timer that
// falls due while the thread is blocked fires once afterwards; ticks do not
// queue up. The first tick comes one period after start().
// A handler must not throw: nothing thrown may cross the event loop, so the
// program runs every tick through RunHandler.
class Timers {
public:
    virtual ~Timers() = default;
    virtual void define(std::string_view name, int periodMs, std::function<void()> handler) = 0;
    virtual void start(std::string_view name) = 0;
    virtual void stop(std::string_view name) = 0;
    // Stops the timer and forgets it and its handler (and whatever the
    // handler holds); the name is unknown until it is defined again.
    virtual void remove(std::string_view name) = 0;
    virtual bool running(std::string_view name) const = 0;
    virtual int periodMs(std::string_view name) const = 0;
};

}  // namespace bf
