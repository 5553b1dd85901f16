#include "app/timer_table.h"

#include <string>

#include "core/run_handler.h"
#include "core/station.h"

namespace bf {

namespace {

void Define(Station& station, const TimerSpec& timer, int periodMs) {
    const std::string handlerName = std::string(timer.name) + "_Timer";
    station.timers.define(timer.name, periodMs, [&station, handlerName, timer] {
        RunHandler(station, handlerName, [&station, timer] { timer.handler(station); });
    });
}

}  // namespace

void tmrPlayerEnd_Timer(Station& station) {
    if (PlayerOnAirEnded(station.processes, station.onAir, EarsOf(station))) tmrCheckMplayerOK_Timer(station);
}

void DefineTimers(Station& station) {
    for (const TimerSpec& timer : kMainWindowTimers) Define(station, timer, timer.periodMs);
}

void DefineTimer(Station& station, std::string_view name, int periodMs) {
    for (const TimerSpec& timer : kMainWindowTimers)
        if (timer.name == name) Define(station, timer, periodMs);
}

}  // namespace bf
