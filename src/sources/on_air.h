#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/on_air_record.h"
#include "sources/source_list.h"

namespace bf {

struct Station;

// The owner of what is on air. Every change of the source on air and of the
// failover goes through the functions below; everyone else reads
// station.onAir.

// A switch's old player stops once the new one has played for this long at
// least, and at the latest after kOverlapLongestSeconds, playing or not.
inline constexpr double kOverlapSeconds = 2.0;
inline constexpr double kOverlapLongestSeconds = 10.0;
// How often the overlap looks at the new player.
inline constexpr int kOverlapTickMs = 100;

// Puts the source with that number on air on the other slot, for `cause`,
// and returns what the source list gave for it. The old player keeps playing
// until the new one plays (see tmrSwitchOverlap_Timer). A number without a
// playable source is refused: nothing changes but the station log, and the
// result is empty.
std::optional<SourceEntry> SwitchSource(Station& station, std::string_view number, SwitchCause cause);

// The schedule, the operator, the API or the management server chose the
// source with that number. It goes on air at once; during a failover it
// becomes the source to return to and goes on air once it passes its check.
// A scheduled source that is already on air stays as it is. False when the
// number names no playable source (refused and logged).
bool SelectSource(Station& station, std::string_view number, SwitchCause cause);

// A start found the player of `slot` that the last run left running, playing
// `source`: it stays on air as if this run had switched to it, chosen by the
// schedule, without a new player. `leftover` (0: none) is the other slot's
// player, still running: it is stopped once the kept one plays, as a
// switch's old player is. Before anything else has been on air only.
void KeepPlayerOnAir(Station& station, int16_t slot, const AirSource& source, int16_t leftover);

// The switches the event tick makes in automatic mode: the backup during a
// failover, the selected source back once it passed its check, a player's
// restart, and `startChoice` when nothing has been on air yet.
void MakeAutomaticSwitches(Station& station, int16_t startChoice);

// The source the health check tests: the one on air, or during a failover
// the one to return to. Number -1 when nothing has been on air.
AirSource SourceUnderTest(const Station& station);

// A check of `tested` (what SourceUnderTest gave when the check began)
// failed or passed. A verdict on a source that is no longer under test is
// dropped. The second failure in a row starts the failover; a pass during
// a failover asks for the return.
void SourceCheckFailed(Station& station, const AirSource& tested, std::string_view reason,
                       bool silence = false);
void SourceCheckPassed(Station& station, const AirSource& tested);

// During a failover, the backup on air was heard to fail or to pass (the
// air monitor's verdict). Its second failure in a row brings on the
// LastResortFile, if there is one; a pass during the last resort brings the
// backup back.
void BackupHeard(Station& station, bool passed, std::string_view why);

// The watchdog found no player running: the source on air is started again
// by the next event tick.
void RequestRestart(Station& station);

// "FORCE SWITCH FROM BACKUP": ends a failover and starts the source on air
// afresh on slot 1 after stopping both players (no overlap). False when
// nothing has been on air.
bool RestartFromScratch(Station& station);

// Stops both players (the overlap's old player too); what is on air is
// unchanged until the next switch.
void StopAllPlayers(Station& station);

// Ends a switch's overlap: the old player is stopped once the new one plays
// (MPlayer's "Starting playback..." in its log) but never sooner than
// kOverlapSeconds after the switch; when the new player has ended, or after
// kOverlapLongestSeconds in any case, it is stopped all the same and that is
// logged.
void tmrSwitchOverlap_Timer(Station& station);

}  // namespace bf
