#pragma once

#include <string>
#include <string_view>

namespace bf {

// Text of the station is bytes: shown as UTF-8 when it is valid UTF-8,
// otherwise as Latin-1, so that no byte is ever lost on screen. A text cut
// at a byte count may end in the first bytes of a UTF-8 character: those are
// left off, so that the rest still shows as UTF-8. The result is UTF-8.
std::string ToUtf8(std::string_view bytes);

// Whether the bytes are UTF-8: no overlong form, no surrogate, nothing
// beyond U+10FFFF.
bool IsUtf8(std::string_view bytes);

// The first `maxBytes` bytes of `text` (all of a shorter one), fewer when the
// cut would split a UTF-8 character: its first bytes are left off too, so
// that a log line or label cut to length stays UTF-8. Bytes that are no
// UTF-8 (Latin-1) are cut where the count says.
std::string_view CutAtCharacter(std::string_view text, size_t maxBytes);

}  // namespace bf
