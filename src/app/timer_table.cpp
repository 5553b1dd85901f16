#include "app/timer_table.h"

#include <string>

#include "core/run_handler.h"
#include "core/station.h"

namespace bf {

void DefineTimers(Station& station) {
    for (const TimerSpec& timer : kMainWindowTimers) {
        const std::string handlerName = std::string(timer.name) + "_Timer";
        station.timers.define(timer.name, timer.periodMs, [&station, handlerName, timer] {
            RunHandler(station, handlerName, [&station, timer] { timer.handler(station); });
        });
    }
}

}  // namespace bf
