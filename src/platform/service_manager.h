#pragma once

#include <chrono>

namespace bf {

// The service manager (systemd) that may have started the program as a
// notify service with a watchdog: it learns that the station is ready and
// that its event loop still turns, and kills and restarts a program that
// stops telling it so. Started otherwise (no NOTIFY_SOCKET in the
// environment), every call does nothing.
class ServiceManager {
public:
    // The startup is done: the station is on its way to air.
    void ready();
    // The event loop still turns.
    void alive();
    // How often alive() must be called: half the watchdog's time-out, or zero
    // when no watchdog watches this program.
    std::chrono::milliseconds aliveInterval() const;
};

}  // namespace bf
