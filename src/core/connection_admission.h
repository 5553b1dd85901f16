#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/tcp_listener.h"

namespace bf {

// How many connections a listener takes at one wake-up: the rest wait for
// the next round of the event loop, so that a flood of callers cannot hold
// the station's other work back.
inline constexpr int kAcceptsPerWake = 8;

// The limits of one pool of connections, as nginx's limit_conn has them: at
// most `most` at once, `perAddress` of them from one address, and
// `perWake` taken at one wake-up of the listener. A door with several pools
// (a browser console's logins and event streams) admits by the listener's
// limits and then by the pool's, once a connection's request tells which.
struct ConnectionLimits {
    size_t most = 0;
    size_t perAddress = 0;
    int perWake = kAcceptsPerWake;

    // Whether a pool that holds `held` connections, `fromAddress` of them from
    // the newcomer's address, takes one more without making room.
    bool admits(size_t held, size_t fromAddress) const { return held < most && fromAddress < perAddress; }
};

// The connections a listener hands over, as the door sees them; the owner
// keeps them (and their closed ones still lingering) as it likes.
class ConnectionPool {
public:
    virtual ~ConnectionPool() = default;
    virtual size_t held() const = 0;
    virtual size_t heldFrom(std::string_view address) const = 0;
    // Ends the oldest closed connection still lingering, for its descriptor;
    // false when none lingers.
    virtual bool dropLingering() = 0;
    // Finds the connection that has waited longest for its request, once
    // what it has sent is read (a request that came while the station was
    // busy is answered, not dropped); false when every connection has its
    // request. dropIdlest() then drops the one found.
    virtual bool findIdlest() = 0;
    virtual void dropIdlest() = 0;
    // The events of the connection about to be accepted, which takes the
    // place of the one findIdlest() found when `replacing`.
    virtual TcpConnection::Events eventsForNext(bool replacing) = 0;
    virtual void take(std::unique_ptr<TcpConnection> connection, std::string address, bool replacing) = 0;
};

// Why the door stopped taking connections.
enum class AdmissionStop {
    Drained,      // none waits
    Turn,         // the wake-up's share is taken: the listener calls again
    Room,         // every connection has its request: the rest wait until one closes
    Descriptors,  // the program's reserve of descriptors is others': try again later
};

// Takes the connections waiting at `listener` into `pool`, within `limits`.
// A connection from an address that holds its share is closed at once. With
// the pool full, a newcomer takes the place of the connection that has
// waited longest for its request, so that callers who hold connections
// without asking cannot lock the others out. With the program's descriptors
// down to their reserve, a newcomer gets the descriptor of a closed
// connection still lingering, or of the connection that has waited longest,
// before it is taken.
AdmissionStop AdmitConnections(TcpListener& listener, ConnectionPool& pool, const ConnectionLimits& limits);

}  // namespace bf
