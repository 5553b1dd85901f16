#include "core/run_handler.h"

#include <exception>
#include <string>

#include "core/station.h"

namespace bf {

void RunHandler(Station& station, std::string_view name, const std::function<void()>& handler) {
    std::string reason;
    try {
        // The events the handler posts reach the listeners once it returns.
        DeliveryScope scope(station.events, *station.listener);
        handler();
        return;
    } catch (const std::exception& e) {
        reason = e.what();
    } catch (...) {
        reason = "unknown failure";
    }
    try {
        AddToAirLog(station, "  SYS - " + std::string(name) + " FAILED: " + reason);
    } catch (...) {
        // The log itself failed (out of memory): nothing more to do.
    }
}

}  // namespace bf
