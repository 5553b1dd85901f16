#pragma once

#include <optional>
#include <string>

namespace bf {

struct Station;

std::optional<bool> IsProcessRunning(Station& station, const std::string& imageName);
void tmrCheckMplayerOK_Timer(Station& station);

}  // namespace bf
