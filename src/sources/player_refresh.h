#pragma once

namespace bf {

struct Station;

// How often the refresh looks at the player on air.
inline constexpr int kPlayerRefreshTickMs = 5000;
// A player past PlayerMemoryLimitMB is refreshed at most this often; a
// player whose fresh successor could not play is tried again this much later.
inline constexpr double kMemoryRefreshSeconds = 30 * 60;
inline constexpr double kRefreshRetrySeconds = 10 * 60;
// No refresh in this last stretch before a schedule entry.
inline constexpr int kQuietBeforeEntrySeconds = 60;

// A player that runs for weeks grows: the player on air is replaced by a
// fresh one of the same source once it is PlayerRefreshHours old (by the
// boot clock, against its process's start: an adopted player's age counts
// from its own start), daily at PlayerRefreshAt (the local wall clock
// passing it, once a day: a clock set back does not bring it again), or
// once its processes (MPlayer's cache process too) hold more than
// PlayerMemoryLimitMB. The failover policy makes it at a quiet moment
// (air::Refresh); until then it stays due.
void tmrPlayerRefresh_Timer(Station& station);

}  // namespace bf
