#pragma once

#include <string>
#include <string_view>

namespace bf {

// Text of the station is bytes: shown as UTF-8 when it is valid UTF-8,
// otherwise as Latin-1, so that no byte is ever lost on screen. A text cut
// at a byte count may end in the first bytes of a UTF-8 character: those are
// left off, so that the rest still shows as UTF-8. The result is UTF-8.
std::string ToUtf8(std::string_view bytes);

}  // namespace bf
