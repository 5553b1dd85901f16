#include "core/number_parse.h"

#include <charconv>
#include <cmath>
#include <string>

namespace bf {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads "&H..." or "&O..." digits; the value grows without bound (a double)
// so that an overlong number still lands on the clamp instead of wrapping.
double ParseRadix(const std::string& s, size_t i, int radix) {
    double value = 0;
    for (; i < s.size(); ++i) {
        const int d = HexValue(s[i]);
        if (d < 0 || d >= radix) break;
        value = value * radix + d;
    }
    return value;
}

}  // namespace

double ParseLeadingNumber(std::string_view text) {
    std::string s;
    s.reserve(text.size());
    for (char c : text) {
        if (c != ' ' && c != '\t' && c != '\n') s.push_back(c);
    }
    if (s.size() >= 2 && s[0] == '&') {
        const char r = s[1];
        if (r == 'H' || r == 'h') return ParseRadix(s, 2, 16);
        if (r == 'O' || r == 'o') return ParseRadix(s, 2, 8);
        return 0;
    }
    // Find the longest prefix of the form [sign] digits [. digits] [exp [sign] digits].
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    const size_t mantissaStart = i;
    while (i < s.size() && IsDigit(s[i])) ++i;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i])) ++i;
    }
    const size_t mantissaEnd = i;
    bool anyDigit = false;
    for (size_t k = mantissaStart; k < mantissaEnd; ++k) anyDigit = anyDigit || IsDigit(s[k]);
    if (!anyDigit) return 0;
    std::string number = s.substr(0, mantissaEnd);
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        const size_t expDigits = j;
        while (j < s.size() && IsDigit(s[j])) ++j;
        if (j > expDigits) number += "e" + s.substr(i + 1, j - i - 1);
    }
    // from_chars ignores the locale (the program runs under the user's one,
    // which may use a decimal comma) but takes no "+".
    const bool negative = number[0] == '-';
    const size_t skip = (number[0] == '+' || negative) ? 1 : 0;
    double value = 0;
    const auto [ptr, ec] = std::from_chars(number.data() + skip, number.data() + number.size(), value);
    (void)ptr;
    if (ec == std::errc::result_out_of_range) {
        const bool tiny = number.find("e-") != std::string::npos;
        value = tiny ? 0.0 : HUGE_VAL;
    } else if (ec != std::errc()) {
        return 0;
    }
    return negative ? -value : value;
}

int16_t ParseLeadingInt16(std::string_view text) {
    const double value = ParseLeadingNumber(text);
    if (std::isnan(value)) return 0;
    const double rounded = std::nearbyint(value);  // the default mode rounds a half to even
    if (rounded > 32767) return 32767;
    if (rounded < -32768) return -32768;
    return static_cast<int16_t>(rounded);
}

}  // namespace bf
