#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace bf {

// Why the source on air changed. A restart puts the same source on air again
// after the watchdog found no player running.
enum class SwitchCause { Schedule, Operator, Api, Management, Failover, Return, Restart };
inline constexpr std::array<std::string_view, 7> kSwitchCauseNames = {
    "schedule", "operator", "api", "management", "failover", "return", "restart"};

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
    // Whoever calls SwitchSource sets the cause just before; the switch
    // counts under it and puts it back to Schedule.
    SwitchCause nextSwitchCause = SwitchCause::Schedule;
    // The health check has ended a failover: the switch that brings the
    // selected source back, whenever it comes, is its return.
    bool returnPending = false;
    uint64_t billingReportsSent = 0;
    uint64_t billingReportsRefused = 0;
    uint64_t billingReportsFailed = 0;
    // Per command: requests answered, then requests answered "ERROR".
    std::array<std::array<uint64_t, 2>, kApiCommandNames.size()> apiRequests{};
    // The uptime (SystemRuntime) at which the now-playing title last changed.
    std::optional<int32_t> titleChangedAt;

    void countSwitch() { countSwitch(nextSwitchCause); }
    void countSwitch(SwitchCause cause) {
        ++switches[static_cast<size_t>(cause)];
        nextSwitchCause = SwitchCause::Schedule;
        returnPending = false;
    }
    void countApiRequest(ApiCommand command, bool failed) {
        ++apiRequests[static_cast<size_t>(command)][failed ? 1 : 0];
    }
};

}  // namespace bf
