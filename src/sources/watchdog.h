#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace bf {

struct Station;

std::optional<bool> IsProcessRunning(Station& station, const std::string& imageName);

// Logs `why`, asks for the source on air to be started again (the event tick
// does it) and appends the restart to error.log.
void RestartPlayer(Station& station, std::string_view why);

void tmrCheckMplayerOK_Timer(Station& station);

}  // namespace bf
