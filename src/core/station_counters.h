#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/on_air_record.h"
#include "core/station_events.h"

namespace bf {

inline constexpr std::array<std::string_view, 3> kHealthCheckResultNames = {"passed", "failed", "no_verdict"};
// Upper bounds in seconds of the checks' duration histogram; a check gives
// up after 10 s (0.9 s with FastFailover).
inline constexpr std::array<double, 8> kHealthCheckBuckets = {0.05, 0.1, 0.25, 0.5, 1, 2.5, 5, 10};

// What the station has done since the program started, for the status
// listener. 64-bit: they do not wrap in a station's life.
struct StationCounters {
    uint64_t playerRestarts = 0;
    std::array<uint64_t, kRefreshReasonNames.size()> playerRefreshes{};  // by reason
    std::array<uint64_t, kSwitchCauseNames.size()> switches{};
    uint64_t billingReportsSent = 0;
    uint64_t billingReportsRefused = 0;
    uint64_t billingReportsFailed = 0;
    // Per command and result (kApiResultNames).
    std::array<std::array<uint64_t, kApiResultNames.size()>, kApiCommandNames.size()> apiRequests{};
    // Station log lines that standard output did not take (a stalled or
    // gone reader), and writes of the station's files that failed.
    uint64_t logLinesDropped = 0;
    uint64_t fileWriteFailures = 0;
    // The uptime (SystemRuntime) at which the now-playing title last changed.
    std::optional<int32_t> titleChangedAt;

    // Moments in seconds since the Unix epoch (LocalTime::epoch); 0
    // while the event has not happened.
    double startedAt = 0;
    double titleChangedTime = 0;
    double lastBillingAnswerTime = 0;
    double lastCheckPassedTime = 0;

    // Health checks by result, and the durations of those that asked the
    // server: per bucket of kHealthCheckBuckets the checks that took at most
    // its bound.
    std::array<uint64_t, kHealthCheckResultNames.size()> healthChecks{};
    uint64_t healthChecksAsked = 0;
    std::array<uint64_t, kHealthCheckBuckets.size()> healthCheckBuckets{};
    double healthCheckSeconds = 0;

    void countSwitch(SwitchCause cause) { ++switches[static_cast<size_t>(cause)]; }
    void countApiRequest(ApiCommand command, ApiResult result) {
        ++apiRequests[static_cast<size_t>(command)][static_cast<size_t>(result)];
    }
    void countTitleChange(int32_t uptime, double now) {
        titleChangedAt = uptime;
        titleChangedTime = now;
    }
    void countBillingReport(bool answered, double now) {
        ++(answered ? billingReportsSent : billingReportsFailed);
        if (answered) lastBillingAnswerTime = now;
    }
    // The health check calls this once per check that got a reply, an error
    // or a time-out (not for a check dropped because a newer one took over),
    // with the seconds it waited for the server (none for a check decided by
    // ear) and the moment it ended.
    void countHealthCheck(HealthCheckResult result, std::optional<double> seconds, double now) {
        ++healthChecks[static_cast<size_t>(result)];
        if (seconds) {
            ++healthChecksAsked;
            for (size_t i = 0; i < kHealthCheckBuckets.size(); ++i)
                if (*seconds <= kHealthCheckBuckets[i]) ++healthCheckBuckets[i];
            healthCheckSeconds += *seconds;
        }
        if (result == HealthCheckResult::Passed) lastCheckPassedTime = now;
    }
};

}  // namespace bf
