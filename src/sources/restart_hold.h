#pragma once

namespace bf {

struct Station;

// Restarts of a player, of every kind (the watchdog's, a hung player's, a new
// player that ended or stayed silent before it played, a return to a source
// whose player could not play), are made at once twice in a row; then each
// waits, 1 min, 4 min, 16 min, and 20 min from then on, after the one
// before. A run of restarts ends when a player a restart started has played
// for 5 min, or after an hour without a restart.
inline constexpr int kFreeRestarts = 2;
inline constexpr double kFirstRestartHoldSeconds = 60;
inline constexpr double kLongestRestartHoldSeconds = 1200;
inline constexpr double kSteadyPlaySeconds = 300;
inline constexpr double kRestartRunEndsSeconds = 3600;

// Whether a restart may be made now. When it may, it is counted as made;
// when it must wait, that is said once for the run in the station log.
bool MayRestartNow(Station& station);

// Counts a restart made without asking: a failover of a source whose player
// could not play, so that its next try waits as the next restart would.
void CountRestart(Station& station);

// A source chosen for air (by the schedule, the operator, the API or the
// management server) gets fresh tries: the run of restarts ends.
void EndRestartRun(Station& station);

// The player that a restart (or a return) started plays.
void RestartedPlayerPlays(Station& station);

}  // namespace bf
