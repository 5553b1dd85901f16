#pragma once

namespace bf {

// Descriptors the listeners leave to the rest of the program: however many
// callers flood the ports, this many stay for the station's files, a
// player's start, the HTTP clients and Qt's own needs.
constexpr int kDescriptorReserve = 64;

// Raises the soft limit on open descriptors to the hard limit (a service
// starts with 1024 however high the hard limit is). Returns the soft limit
// now in force.
long RaiseDescriptorLimit();

// The lowest descriptor number a listener may not keep: the soft limit less
// kDescriptorReserve, but at least half the limit. The kernel hands out the
// lowest free number, so a connection at or above it means that only the
// reserve is left.
long ListenerDescriptorCeiling();

}  // namespace bf
