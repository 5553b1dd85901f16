#pragma once

#include <string_view>

namespace bf {

struct Station;
class Processes;
class OnAirRecord;
class Ears;

// Says `why`, asks for the source on air to be started again (the event
// tick does it) and appends the restart to error.log. `stopAll`: every
// player is stopped first, clearing a half-ended one (the watchdog found
// none running); a hung player plays on until its successor plays.
void RestartPlayer(Station& station, std::string_view why, bool stopAll = false);

// A player past PlayerMemoryLimitMB is refreshed at most this often; a
// player whose fresh successor could not play is tried again this much later.
inline constexpr double kMemoryRefreshSeconds = 30 * 60;
inline constexpr double kRefreshRetrySeconds = 10 * 60;
// No refresh in this last stretch before a schedule entry.
inline constexpr int kQuietBeforeEntrySeconds = 60;

// Every 15 s: whether the players run. When neither does although a source
// is on air, it is started again.
//
// Else the player on air is refreshed when it is due: a player that runs for
// weeks grows, so it is replaced by a fresh one of the same source once it
// is PlayerRefreshHours old (by the boot clock, against its process's start:
// an adopted player's age counts from its own start), daily at
// PlayerRefreshAt (the local wall clock passing it, once a day: a clock set
// back does not bring it again), or once its processes (MPlayer's cache
// process too) hold more than PlayerMemoryLimitMB. The failover policy makes
// it at a quiet moment (air::Refresh); until then it stays due.
void tmrCheckMplayerOK_Timer(Station& station);

// Every second between those looks (tmrPlayerEnd): whether the player on
// air, as the last look found it, has ended while its stream flows on, or
// while nobody listens to it (killed, crashed); one process is looked at,
// not the whole table. Then the watchdog looks at once, so that its source
// starts again within a second or two, not at the next look up to 15 s
// later; a player whose stream ended too is the hearing's to fail over.
bool PlayerOnAirEnded(Processes& processes, const OnAirRecord& onAir, const Ears& ears);

}  // namespace bf
