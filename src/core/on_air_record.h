#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace bf {

// Why the source on air changed. A restart puts the same source on air again
// after the watchdog found no player running.
enum class SwitchCause { Schedule, Operator, Api, Management, Failover, Return, Restart };
inline constexpr std::array<std::string_view, 7> kSwitchCauseNames = {
    "schedule", "operator", "api", "management", "failover", "return", "restart"};

// The failover of the selected source, step by step: Normal; Suspect after
// one failed check; Failover once a second one failed (the backup stands in
// and the selected source is tested until it passes); Returning once it
// passed, until the switch back has been made; LastResort while the backup
// fails too, or there is none (LastResortFile plays until the backup or the
// selected source passes).
enum class FailoverState { Normal, Suspect, Failover, Returning, LastResort };
inline constexpr std::array<std::string_view, 5> kFailoverStateNames = {"normal", "suspect", "failover",
                                                                        "returning", "last resort"};

// A source as the source list gave it when it was chosen.
struct AirSource {
    int16_t number = -1;  // -1: none
    std::string name;
    std::string url;
    bool operator==(const AirSource&) const = default;
};

// What is on air and why, and the failover of the selected source. Everyone
// reads it; only the on-air owner (sources/on_air) changes it.
class OnAirRecord {
public:
    // The number of the source on air; -1 before the first switch and while
    // a restart of its player is pending.
    int16_t CurrentSource() const { return restartPending_ ? int16_t{-1} : source_.number; }
    // The source on air (kept while a restart is pending): its number, name
    // and URL as the console shows them.
    const AirSource& source() const { return source_; }
    // The player slot of the source on air: 1 or 2; 0 before the first switch.
    int16_t CurrentMplayer() const { return slot_; }
    // The slot whose player still plays the previous source until the new one
    // plays; 0 outside a switch.
    int16_t overlapSlot() const { return overlapSlot_; }
    SwitchCause cause() const { return cause_; }
    // The station clock (seconds since 1970) of the last switch; 0 before.
    double since() const { return since_; }
    bool everOnAir() const { return slot_ != 0; }

    // The source chosen for air by the schedule, the operator, the API or the
    // management server. It is the source on air, except during a failover:
    // then the backup is on air and this is the source to return to.
    const AirSource& selected() const { return selected_; }
    FailoverState failover() const { return failover_; }
    // Whether the backup (or the last resort) stands in for the selected source.
    bool failoverActive() const {
        return failover_ == FailoverState::Failover || failover_ == FailoverState::Returning ||
               failover_ == FailoverState::LastResort;
    }
    // The backup (source 0) as the failover found it; no URL when there is none.
    const AirSource& backup() const { return backup_; }
    // Whether the last resort file plays.
    bool lastResortOnAir() const { return lastResort_ && !restartPending_; }
    // A new count of the health check's failures in a row begins at every
    // chosen switch, a return, a choice during a failover and a restart
    // from scratch: this tells how many have begun.
    uint32_t countsBegun() const { return countsBegun_; }
    // The source a pending restart brings back; -1 when none is pending.
    int16_t WasPlaying() const { return restartPending_ ? source_.number : int16_t{-1}; }
    bool restartPending() const { return restartPending_; }

private:
    friend struct OnAirWriter;  // sources/on_air.cpp

    AirSource source_;
    int16_t slot_ = 0;
    int16_t overlapSlot_ = 0;
    double overlapStarted_ = 0;  // monotonic seconds
    SwitchCause cause_ = SwitchCause::Schedule;
    double since_ = 0;
    bool restartPending_ = false;
    AirSource selected_;
    FailoverState failover_ = FailoverState::Normal;
    uint32_t countsBegun_ = 0;
    AirSource backup_;
    int16_t backupFailures_ = 0;
    bool lastResort_ = false;  // source_ is the last resort file
    // New players of the selected source in a row that ended or stayed
    // silent before they played (counted up to 3).
    int16_t playFailures_ = 0;
    // The number text of the last switch refused for want of a playable URL,
    // until a switch goes through: it is logged once, not at every tick.
    std::optional<std::string> refused_;
};

}  // namespace bf
