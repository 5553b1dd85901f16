#pragma once

#include <functional>
#include <string>

namespace bf {

// Named periodic timers that fire on the event-loop thread. A timer that
// falls due while the thread is blocked fires once afterwards; ticks do not
// queue up. The first tick comes one period after start().
class Timers {
public:
    virtual ~Timers() = default;
    virtual void define(const std::string& name, int periodMs, std::function<void()> handler) = 0;
    virtual void start(const std::string& name) = 0;
    virtual void stop(const std::string& name) = 0;
    virtual void remove(const std::string& name) = 0;
    virtual bool running(const std::string& name) const = 0;
    virtual int periodMs(const std::string& name) const = 0;
};

}  // namespace bf
