#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "platform/clock.h"

namespace bf {

// Where the configuration download stands, for the console.
enum class ConfigStatus { Countdown, InProgress, Updated, Failed };

// A request of the management link waiting for its turn on Inet1.
struct ManagementRequest {
    std::string url;
    int timeoutMs = 0;
    // Whether it belongs to a source list report, which a newer report
    // replaces.
    bool report = false;
    std::function<void(const std::string& body, const std::string& failure)> done;
};

// The management link's record: the download's countdown and outcome, and
// the requests that take turns on Inet1.
struct ManagementState {
    // ManagementCounter: minutes counted towards the next download.
    int16_t counter = 0;
    std::optional<ConfigStatus> status;
    std::optional<LocalTime> statusAt;  // of an update's end
    // Why the last configuration download failed; empty after a success.
    std::string lastConfigFailure;
    // One request on Inet1 at a time: the others wait here, in order.
    bool running = false;
    std::deque<ManagementRequest> waiting;
};

}  // namespace bf
