#pragma once

#include <array>
#include <string_view>

namespace bf {

// The services the station calls out to.
enum class OutsideService { Management, Billing, Air, Weather };
inline constexpr std::array<std::string_view, 4> kOutsideServiceNames = {
    "MANAGEMENT SERVER", "BILLING SERVER", "TUNEIN AIR", "WEATHER SERVICE"};

}  // namespace bf
