#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace bf {

// What the webhook (NotifyURL) was told, for the status port. `target` is
// the address's scheme and host only: its path may carry a token.
struct NotifyRecord {
    std::string target;    // empty while no NotifyURL is set
    std::string failing;   // why the webhook fails; empty while it answers
    uint64_t sent = 0;     // messages the webhook took (2xx)
    uint64_t failed = 0;   // tries that got no answer or an error status
    uint64_t dropped = 0;  // messages dropped from a full queue or after the last try
    size_t queued = 0;
};

}  // namespace bf
