#include "core/query_value.h"

namespace bf {

namespace {

template <typename Plain>
std::string PercentEncode(std::string_view value, Plain plain) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(value.size());
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (plain(byte)) {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0f];
        }
    }
    return out;
}

}  // namespace

std::string QueryValue(std::string_view value) {
    return PercentEncode(value, [](unsigned char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
               c == '.' || c == '_' || c == '~';
    });
}

std::string RequestLineValue(std::string_view value) {
    return PercentEncode(value, [](unsigned char c) { return c > 0x20 && c < 0x7f && c != '#'; });
}

std::string BaseAddress(std::string_view url) {
    if (url.ends_with('/')) url.remove_suffix(1);
    return std::string(url);
}

}  // namespace bf
