#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace bf {

// An IPv4 or IPv6 address with a prefix length: "10.0.0.0/8", "::1",
// "192.0.2.7" (a whole address when no length is given). IPv4 addresses are
// kept as IPv4-mapped IPv6 ones, so that "::ffff:10.1.2.3" is in 10.0.0.0/8.
struct AddressRange {
    std::array<uint8_t, 16> bytes{};
    int prefix = 128;
};

std::optional<AddressRange> ParseAddressRange(std::string_view text);

// Whether `address` (as a listener gives it) lies in `range`.
bool InRange(const AddressRange& range, std::string_view address);

// 127.0.0.0/8, ::1 and their IPv4-mapped forms.
bool IsLoopbackAddress(std::string_view address);

}  // namespace bf
