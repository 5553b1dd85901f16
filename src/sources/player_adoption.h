#pragma once

#include <cstdint>

namespace bf {

struct Station;

// What a start does with the players the last run of the station left
// running (a crash, a kill, the service's watchdog, an upgrade: the players
// run in sessions of their own and outlive the program).
//
// Without KeepAirOnStart=1 they are stopped, and the first event tick puts
// the schedule's source on air afresh. With it, the air is kept: a player
// that plays `scheduled` (the source the schedule puts on air now) stays on
// air, the same process, its log and sound count read on from where they
// are; a player of a link of the backup chain or of the last resort that
// stood in (a failover of the last run) stays on air too, with the check
// on: the failover goes on, and the scheduled source returns once its check
// passes and it has flowed for the hold; a link that was chosen stays on air
// as the selected source, no failover; a player that plays anything else
// stays on air until the scheduled source, started on the other slot, plays
// (a switch as any other). Its record tells a stand-in from a choice; one
// that does not say (an older version wrote it) is taken for a stand-in.
// Nothing is stopped before its successor plays. When the scheduled source
// cannot play (no playable URL), the players are stopped as without the key.
void TakeOverLeftoverPlayers(Station& station, int16_t scheduled);

}  // namespace bf
