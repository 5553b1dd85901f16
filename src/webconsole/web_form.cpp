#include "webconsole/web_form.h"

namespace bf {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> Decoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] != '%') {
            out += text[i];
        } else {
            if (i + 2 >= text.size()) return std::nullopt;
            const int high = HexDigit(text[i + 1]), low = HexDigit(text[i + 2]);
            if (high < 0 || low < 0) return std::nullopt;
            out += static_cast<char>(high * 16 + low);
            i += 2;
        }
    }
    return out;
}

}  // namespace

std::optional<WebForm> ParseWebForm(std::string_view body) {
    WebForm form;
    while (!body.empty()) {
        const size_t amp = body.find('&');
        const std::string_view field = body.substr(0, amp);
        body = amp == std::string_view::npos ? std::string_view() : body.substr(amp + 1);
        if (field.empty()) continue;
        const size_t equals = field.find('=');
        if (equals == std::string_view::npos || form.size() == kMostFormFields) return std::nullopt;
        std::optional<std::string> name = Decoded(field.substr(0, equals));
        std::optional<std::string> value = Decoded(field.substr(equals + 1));
        if (!name || !value || FormValue(form, *name)) return std::nullopt;
        form.emplace_back(std::move(*name), std::move(*value));
    }
    return form;
}

std::optional<std::string_view> FormValue(const WebForm& form, std::string_view name) {
    for (const auto& [key, value] : form)
        if (key == name) return std::string_view(value);
    return std::nullopt;
}

std::optional<std::string_view> CookieValue(std::string_view header, std::string_view name) {
    std::optional<std::string_view> found;
    while (!header.empty()) {
        const size_t semi = header.find(';');
        std::string_view pair = header.substr(0, semi);
        header = semi == std::string_view::npos ? std::string_view() : header.substr(semi + 1);
        while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
        while (!pair.empty() && pair.back() == ' ') pair.remove_suffix(1);
        const size_t equals = pair.find('=');
        if (equals == std::string_view::npos || pair.substr(0, equals) != name) continue;
        if (found) return std::nullopt;
        found = pair.substr(equals + 1);
    }
    return found;
}

}  // namespace bf
