#pragma once

#include <string>
#include <string_view>

namespace bf {

struct Station;

// Everything before the third "/" of the URL, plus "/".
std::string ServerRoot(std::string_view url);

// The check runs every 15 s: its fetch gives up before the next one is due.
inline constexpr int kSourceCheckTimeoutMs = 10000;

void tmrSourceCheck_Timer(Station& station);

}  // namespace bf
