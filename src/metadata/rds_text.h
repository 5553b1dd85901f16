#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace bf {

// The letters an RDS encoder takes: ASCII, or Latin-1 (the encoder maps it to
// the RDS character table itself).
enum class RdsCharset { Ascii, Latin1 };

// "ascii" or "latin1" (any letter case); nullopt for anything else.
std::optional<RdsCharset> ParseRdsCharset(std::string_view name);

// The text in the encoder's letters. Text that is not UTF-8 is read as
// Latin-1 first. A letter the charset lacks is written as its closest ASCII
// letters ("Émile Zoë" reads "Emile Zoe"; "æ" "ae", "€" "EUR"), and "?"
// when it has none; control characters, a CR or LF above all, which would
// end the line early, become blanks. One byte a character.
std::string ToRdsCharset(std::string_view bytes, RdsCharset charset);

// At most `maxLength` bytes of a text of one byte a character, cut after the
// last whole word that fits (a single word longer than that is cut where the
// count says), without blanks at its end.
std::string CutAtWord(std::string_view text, size_t maxLength);

// The line for the encoder, without its line end: `command` with "{text}"
// put in for the now-playing text, "{artist}" and "{title}" for its parts
// (split at the first " - "; without one, as for AIR, the whole text is the
// artist), in the encoder's letters; what
// follows the command's first "=" (the whole line without one) cut at a word
// to `maxLength`.
std::string RdsLine(std::string_view command, std::string_view text, size_t maxLength, RdsCharset charset);

}  // namespace bf
