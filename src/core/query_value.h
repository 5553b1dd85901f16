#pragma once

#include <string>
#include <string_view>

namespace bf {

// A value for the query of an outside service (AIR, billing): every byte but
// the unreserved letters, digits and "-._~" becomes "%XX", so "&", "#", "+",
// "=" and blanks in a title stay inside their value. Bytes go as they are (a
// UTF-8 title as UTF-8), never re-coded.
std::string QueryValue(std::string_view value);

// A value that the management server receives as it stands ("?", "&", "%"
// included), except the bytes that cannot stand in a request line (blanks,
// control bytes, bytes above 127, and "#", which would end the query): those
// are percent-encoded instead of breaking the request.
std::string RequestLineValue(std::string_view value);

// A service's base address without a trailing "/", so that the path can be
// appended to it.
std::string BaseAddress(std::string_view url);

}  // namespace bf
