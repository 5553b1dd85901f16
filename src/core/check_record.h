#pragma once

#include <optional>
#include <string>

#include "core/on_air_record.h"
#include "platform/clock.h"

namespace bf {

// Where the health check stands: not yet set up by the startup, off, waiting
// for its first verdict, or its last verdict (a first failure, a further
// one, a pass).
enum class CheckVerdict { NotSetUp, Off, Waiting, FirstFailure, Failure, Online };

// What the check's debug line tells: the last of a request that failed (its
// error), a pass (nothing), the operator's restart from scratch (the URL).
struct CheckNote {
    enum class Kind { None, RequestFailed, Passed, Restarted };
    Kind kind = Kind::None;
    std::string text;  // the request's error text, or the restarted URL
    int error = 0;
    LocalTime at{};
};

// The health check's record: what is tested, when, and the verdict as the
// console shows it. The failures in a row belong to the failover
// (OnAirRecord::checkFailures). Everyone reads it; only the health check
// (sources/health_check) changes it.
class CheckRecord {
public:
    CheckVerdict verdict() const { return verdict_; }
    // The source under test at the last check and its stream's address;
    // none since the check was set up.
    const std::optional<AirSource>& tested() const { return tested_; }
    const std::string& address() const { return address_; }
    // When the last check began; none since the check was set up.
    const std::optional<LocalTime>& checkedAt() const { return checkedAt_; }
    // When the second failure in a row was found.
    const LocalTime& failedAt() const { return failedAt_; }
    // The last verdict given, for the lamp: none yet, passed or failed.
    const std::optional<bool>& lastPassed() const { return lastPassed_; }
    const CheckNote& note() const { return note_; }

private:
    friend struct CheckWriter;  // sources/health_check.cpp

    CheckVerdict verdict_ = CheckVerdict::NotSetUp;
    std::optional<AirSource> tested_;
    std::string address_;
    std::optional<LocalTime> checkedAt_;
    LocalTime failedAt_{};
    std::optional<bool> lastPassed_;
    CheckNote note_;
};

}  // namespace bf
