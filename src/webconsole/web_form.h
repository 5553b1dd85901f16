#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bf {

// The fields of an application/x-www-form-urlencoded body, decoded ("+" a
// blank, "%XX" a byte), in their order. Nullopt for a body that is no such
// form: a "%" without two hex digits, a field without "=", a name given
// twice, more than kMostFormFields fields.
using WebForm = std::vector<std::pair<std::string, std::string>>;
inline constexpr size_t kMostFormFields = 16;
std::optional<WebForm> ParseWebForm(std::string_view body);

// The value of the field named `name`, if any.
std::optional<std::string_view> FormValue(const WebForm& form, std::string_view name);

// The value of cookie `name` in a Cookie header ("a=1; b=2"); nullopt when
// it is not there or named more than once (a cookie planted beside ours
// never chooses which one counts).
std::optional<std::string_view> CookieValue(std::string_view header, std::string_view name);

}  // namespace bf
