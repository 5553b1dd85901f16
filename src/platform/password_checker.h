#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace bf {

// Checks passwords against their hashes off the event loop, one at a time,
// so that however many logins come the air's loop is never held.
class PasswordChecker {
public:
    // Checks that may wait while one runs; a further one is refused.
    static constexpr size_t kMostWaiting = 4;

    virtual ~PasswordChecker() = default;
    // Queues a check of `password` against `hash` (empty: a dummy hash that
    // no password matches, made off the loop too); `done` gets the verdict
    // on the event loop, unless the checker is gone by then. False (and no
    // call) when kMostWaiting checks wait already.
    virtual bool check(std::string hash, std::string password, std::function<void(bool)> done) = 0;
};

}  // namespace bf
