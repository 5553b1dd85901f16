#pragma once

#include <string>
#include <string_view>

namespace bf {

// A value for the query of an outside service: every byte but the unreserved
// letters, digits and "-._~" becomes "%XX", so "&", "#", "+", "=" and blanks
// in a title stay inside their value. Bytes go as they are (a UTF-8 title as
// UTF-8), never re-coded.
std::string QueryValue(std::string_view value);

// A service's base address without a trailing "/", so that the path can be
// appended to it.
std::string BaseAddress(std::string_view url);

}  // namespace bf
