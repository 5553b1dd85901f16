#pragma once

#include <cstdint>
#include <string_view>

namespace bf {

// The leading-number parse used wherever a text is read as a number: blanks,
// tabs and line feeds are dropped wherever they stand; then an optional sign,
// digits, a decimal point and an exponent, or &H / &O followed by hexadecimal
// or octal digits, are read up to the first character that cannot continue
// the number. A text that does not begin with a number reads as 0.
double ParseLeadingNumber(std::string_view text);

// The same, rounded half to even and stored as a 16-bit integer. A value
// outside -32768..32767 is clamped to the nearest end of the range.
int16_t ParseLeadingInt16(std::string_view text);

}  // namespace bf
