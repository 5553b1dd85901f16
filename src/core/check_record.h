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

// The health check's record: what is tested, when, the verdict and the
// failures in a row. Everyone reads it; only the health check
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
    // Failed checks in a row of the source under test (counted up to 3; the
    // documented LinkFailCount). The on-air record tells when a new count
    // begins: at a chosen switch, for instance.
    int16_t failuresInARow(const OnAirRecord& onAir) const {
        return countedIn_ == onAir.countsBegun() ? failures_ : int16_t{0};
    }

private:
    friend struct CheckWriter;  // sources/health_check.cpp

    CheckVerdict verdict_ = CheckVerdict::NotSetUp;
    std::optional<AirSource> tested_;
    std::string address_;
    std::optional<LocalTime> checkedAt_;
    LocalTime failedAt_{};
    std::optional<bool> lastPassed_;
    CheckNote note_;
    int16_t failures_ = 0;
    uint32_t countedIn_ = 0;  // the count of OnAirRecord::countsBegun they belong to
};

}  // namespace bf
