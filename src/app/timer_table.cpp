#include "app/timer_table.h"

#include <string>

#include "core/run_handler.h"
#include "core/station.h"
#include "core/timer_names.h"

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
    if (!PlayerOnAirEnded(station.processes, station.onAir, EarsOf(station))) return;
    tmrCheckMplayerOK_Timer(station);
    // The restart the watchdog asked for is made by the event tick: at once
    // (in automatic mode, where that tick runs), not a second later.
    if (station.onAir.restartPending() && station.timers.running(TimerName::CheckAndDoEvents))
        tmrCheckAndDoEvents_Timer(station);
}

void DefineTimers(Station& station) {
    for (const TimerSpec& timer : kMainWindowTimers) Define(station, timer, timer.periodMs);
}

void DefineTimer(Station& station, std::string_view name, int periodMs) {
    for (const TimerSpec& timer : kMainWindowTimers)
        if (timer.name == name) Define(station, timer, periodMs);
}

}  // namespace bf
