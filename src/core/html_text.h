#pragma once

#include <string>
#include <string_view>

namespace bf {

// Text for HTML, in an element or a quoted attribute: & < > " ' escaped.
std::string HtmlText(std::string_view text);

}  // namespace bf
