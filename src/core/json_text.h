#pragma once

#include <string>
#include <string_view>

namespace bf {

// A JSON string of UTF-8 text: quotes and backslashes escaped, line ends
// and tabs as \n \r \t, other control characters as \u00XX.
std::string JsonQuoted(std::string_view utf8);

}  // namespace bf
