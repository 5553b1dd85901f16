#include "core/address_range.h"

#include <arpa/inet.h>

#include <string>

namespace bf {

namespace {

std::optional<std::array<uint8_t, 16>> ParseAddress(std::string_view text) {
    std::array<uint8_t, 16> bytes{};
    const std::string terminated(text);
    if (::inet_pton(AF_INET6, terminated.c_str(), bytes.data()) == 1) return bytes;
    bytes[10] = bytes[11] = 0xff;
    if (::inet_pton(AF_INET, terminated.c_str(), bytes.data() + 12) == 1) return bytes;
    return std::nullopt;
}

}  // namespace

std::optional<AddressRange> ParseAddressRange(std::string_view text) {
    const size_t slash = text.find('/');
    const std::optional<std::array<uint8_t, 16>> address = ParseAddress(text.substr(0, slash));
    if (!address) return std::nullopt;
    AddressRange range{*address, 128};
    if (slash == std::string_view::npos) return range;
    const bool v4 = text.substr(0, slash).find(':') == std::string_view::npos;
    const std::string_view length = text.substr(slash + 1);
    if (length.empty() || length.size() > 3 ||
        length.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    const int bits = std::stoi(std::string(length));
    if (bits > (v4 ? 32 : 128)) return std::nullopt;
    range.prefix = v4 ? bits + 96 : bits;
    return range;
}

bool InRange(const AddressRange& range, std::string_view address) {
    const std::optional<std::array<uint8_t, 16>> bytes = ParseAddress(address);
    if (!bytes) return false;
    for (int bit = 0; bit < range.prefix; ++bit) {
        const uint8_t mask = static_cast<uint8_t>(0x80 >> (bit % 8));
        if (((*bytes)[bit / 8] & mask) != (range.bytes[bit / 8] & mask)) return false;
    }
    return true;
}

bool IsLoopbackAddress(std::string_view address) {
    static const AddressRange v4 = *ParseAddressRange("127.0.0.0/8"), v6 = *ParseAddressRange("::1");
    return InRange(v4, address) || InRange(v6, address);
}

}  // namespace bf
