#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/on_air.h"

namespace bf {

// The remote API's commands; Other is a request that names none of them
// (also one with a wrong key, or no request at all).
enum class ApiCommand { GetCurrent, SetCurrent, ListSources, Metadata, Other };
inline constexpr std::array<std::string_view, 5> kApiCommandNames = {"getcurrent", "setcurrent",
                                                                     "listsources", "metadata", "other"};

// What the station has done since the program started, for the status
// listener. 64-bit: they do not wrap in a station's life.
struct StationCounters {
    uint64_t playerRestarts = 0;
    std::array<uint64_t, kSwitchCauseNames.size()> switches{};
    uint64_t billingReportsSent = 0;
    uint64_t billingReportsFailed = 0;
    // Per command: requests answered, then requests answered "ERROR".
    std::array<std::array<uint64_t, 2>, kApiCommandNames.size()> apiRequests{};
    // The uptime (SystemRuntime) at which the now-playing title last changed.
    std::optional<int32_t> titleChangedAt;

    void countSwitch(SwitchCause cause) { ++switches[static_cast<size_t>(cause)]; }
    void countApiRequest(ApiCommand command, bool failed) {
        ++apiRequests[static_cast<size_t>(command)][failed ? 1 : 0];
    }
};

}  // namespace bf
