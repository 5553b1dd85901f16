#pragma once

#include <string>
#include <string_view>

namespace bf {

struct Station;

// Everything before the third "/" of the URL, plus "/".
std::string ServerRoot(std::string_view url);
void tmrSourceCheck_Timer(Station& station);

}  // namespace bf
