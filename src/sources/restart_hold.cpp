#include "sources/restart_hold.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/station.h"
#include "core/station_log.h"

namespace bf {

namespace {

// How long the next restart waits after the last one: nothing for the
// first kFreeRestarts of a run, then four times longer each time.
double HoldAfter(int restartsInARow) {
    if (restartsInARow < kFreeRestarts) return 0;
    const double hold = kFirstRestartHoldSeconds * std::pow(4.0, restartsInARow - kFreeRestarts);
    return std::min(hold, kLongestRestartHoldSeconds);
}

}  // namespace

bool MayRestartNow(Station& station) {
    AirState& air = station.air;
    const double now = station.clock.monotonicSeconds();
    const bool played = air.playingSince != 0 && now - air.playingSince >= kSteadyPlaySeconds;
    if (played || now - air.lastRestart >= kRestartRunEndsSeconds) {
        air.restartsInARow = 0;
        air.restartHoldLogged = false;
    }
    const double hold = HoldAfter(air.restartsInARow);
    if (air.restartsInARow > 0 && now - air.lastRestart < hold) {
        if (!air.restartHoldLogged)
            AddToAirLog(station,
                        "  SYS - PLAYER RESTARTS HELD - " + std::to_string(air.restartsInARow) +
                            " IN A ROW, THE NEXT IN " +
                            std::to_string(std::lround(hold - (now - air.lastRestart))) +
                            " S, EACH LATER ONE WAITS LONGER (UP TO " +
                            std::to_string(static_cast<int>(kLongestRestartHoldSeconds / 60)) + " MIN)",
                        LogPriority::Warning);
        air.restartHoldLogged = true;
        return false;
    }
    CountRestart(station);
    return true;
}

void CountRestart(Station& station) {
    AirState& air = station.air;
    air.restartsInARow = std::min(air.restartsInARow + 1, 100);
    air.lastRestart = station.clock.monotonicSeconds();
    air.playingSince = 0;
}

void EndRestartRun(Station& station) {
    station.air.restartsInARow = 0;
    station.air.restartHoldLogged = false;
}

void RestartedPlayerPlays(Station& station) {
    if (station.air.playingSince == 0) station.air.playingSince = station.clock.monotonicSeconds();
}

}  // namespace bf
