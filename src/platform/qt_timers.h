#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/timers.h"

class QTimer;

namespace bf {

// Named timers as QTimers on the calling thread's event loop. A QTimer that
// falls due while the thread is blocked fires once afterwards.
class QtTimers : public Timers {
public:
    QtTimers();
    ~QtTimers() override;
    QtTimers(const QtTimers&) = delete;
    QtTimers& operator=(const QtTimers&) = delete;

    // Defining a name again replaces its period and handler; a running
    // timer keeps running with the new period.
    void define(std::string_view name, int periodMs, std::function<void()> handler) override;
    // Starts the timer, or restarts its period when it runs already. A timer
    // with a period of 0 or less is never started.
    void start(std::string_view name) override;
    void stop(std::string_view name) override;
    // A timer removed by its own handler (or by another handler that runs
    // during an HTTP wait inside it) is deleted after that handler returned.
    void remove(std::string_view name) override;
    bool running(std::string_view name) const override;
    int periodMs(std::string_view name) const override;

private:
    struct Entry;
    void Fire(Entry& entry);
    void DeleteRemoved();

    std::map<std::string, std::unique_ptr<Entry>, std::less<>> timers_;
    std::vector<std::unique_ptr<Entry>> removed_;
};

}  // namespace bf
