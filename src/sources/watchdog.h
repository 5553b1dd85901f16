#pragma once

#include <string_view>

namespace bf {

struct Station;

// Says `why`, asks for the source on air to be started again (the event
// tick does it) and appends the restart to error.log. `stopAll`: every
// player is stopped first, clearing a half-ended one (the watchdog found
// none running); a hung player plays on until its successor plays.
void RestartPlayer(Station& station, std::string_view why, bool stopAll = false);

// Every 15 s: whether the players run. When neither does although a source
// is on air, it is started again.
void tmrCheckMplayerOK_Timer(Station& station);

}  // namespace bf
