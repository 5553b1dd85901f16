#pragma once

#include <array>
#include <string_view>

namespace bf {

// The services the station calls out to.
enum class OutsideService { Management, Billing, Air, Weather, Webhook };
inline constexpr std::array<std::string_view, 5> kOutsideServiceNames = {
    "MANAGEMENT SERVER", "BILLING SERVER", "TUNEIN AIR", "WEATHER SERVICE", "WEBHOOK"};

}  // namespace bf
