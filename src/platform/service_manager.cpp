#include "platform/service_manager.h"

#include <systemd/sd-daemon.h>

#include <algorithm>
#include <cstdint>

namespace bf {

void ServiceManager::ready() {
    sd_notify(0, "READY=1");
}

void ServiceManager::alive() {
    sd_notify(0, "WATCHDOG=1");
}

std::chrono::milliseconds ServiceManager::aliveInterval() const {
    uint64_t timeoutUs = 0;
    if (sd_watchdog_enabled(0, &timeoutUs) <= 0 || timeoutUs == 0) return std::chrono::milliseconds(0);
    return std::chrono::milliseconds(std::max<uint64_t>(timeoutUs / 2000, 1));
}

}  // namespace bf
