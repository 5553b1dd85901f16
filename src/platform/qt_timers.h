#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/timers.h"

class QTimer;

namespace bf {

// Named timers as QTimers on the calling thread's event loop. A QTimer that
// falls due while the thread is blocked fires once afterwards, as required.
class QtTimers : public Timers {
public:
    QtTimers();
    ~QtTimers() override;
    QtTimers(const QtTimers&) = delete;
    QtTimers& operator=(const QtTimers&) = delete;

    // Defining a name again replaces its period and handler; a running
    // timer keeps running with the new period.
    void define(const std::string& name, int periodMs, std::function<void()> handler) override;
    // Starts the timer, or restarts its period when it runs already. A timer
    // with a period of 0 or less is never started.
    void start(const std::string& name) override;
    void stop(const std::string& name) override;
    // Stops and forgets the timer; never from within its own handler.
    void remove(const std::string& name) override;
    bool running(const std::string& name) const override;
    int periodMs(const std::string& name) const override;

private:
    struct Entry;
    std::map<std::string, std::unique_ptr<Entry>> timers_;
};

}  // namespace bf
