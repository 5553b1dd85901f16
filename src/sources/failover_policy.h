#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/on_air_record.h"
#include "core/station_events.h"
#include "core/station_log.h"

// What goes on air, decided apart from doing it: the failover policy takes
// the on-air state and one observation and gives the next state and the
// commands to carry out. It knows no station, no processes and no timers;
// the on-air owner (sources/on_air) feeds it, keeps its state and carries
// its commands out.
namespace bf::air {

// A switch's old player stops once the new one has played for this long at
// least; a new player that has not played after kOverlapLongestSeconds
// cannot play. One that reads a playlist first (the stream monitor reads it
// for the player, in at most kPlaylistReadSeconds) has them from the end of
// the reading.
inline constexpr double kOverlapSeconds = 2.0;
inline constexpr double kOverlapLongestSeconds = 10.0;
inline constexpr double kPlaylistReadSeconds = 30.0;

// Restarts of a player, of every kind (the watchdog's, a hung player's, a new
// player that ended or stayed silent before it played, a return to a source
// whose player could not play), are made at once twice in a row; then each
// waits, 1 min, 4 min, 16 min, and 20 min from then on, after the one
// before. A run of restarts ends when a player a restart started has played
// for 5 min, or after an hour without a restart.
inline constexpr int kFreeRestarts = 2;
inline constexpr double kFirstRestartHoldSeconds = 60;
inline constexpr double kLongestRestartHoldSeconds = 1200;
inline constexpr double kSteadyPlaySeconds = 300;
inline constexpr double kRestartRunEndsSeconds = 3600;

// What the policy knows of the world at the moment of an observation.
struct Context {
    double now = 0;    // monotonic seconds
    double epoch = 0;  // the wall clock, seconds since 1970
    bool automatic = true;
    bool checking = false;  // CheckSource
    bool fast = false;      // FastFailover
    std::string lastResortFile;
    // Whether the last resort has something to play now (a folder or a
    // playlist without a readable track has not); unset: it has.
    std::function<bool()> lastResortPlays;
    double returnHoldSeconds = 15;
    // The backup chain: the sources tried in this order when the selected
    // one fails. `chainSet`: BackupChain names it, and a link without a
    // playable URL is said (once) when it is skipped.
    std::vector<int16_t> chain{0};
    bool chainSet = false;
    // StandbyCheck: the links not on air are heard by monitors of their own.
    bool standbyCheck = false;
    // The source a number names, if it has a playable URL (one digit, and a
    // URL of 8 bytes at least).
    std::function<std::optional<AirSource>(std::string_view number)> playable;
};

// A source's stream as the monitor hears it, for a return: how long it has
// flowed without a stall. None when it is not heard (its server's answer
// decides alone); kNeverSteady for one heard before that cannot be read now
// (a burst cut out of a stream may be unreadable).
inline constexpr double kNeverSteady = -1;
using Flow = std::optional<double>;

// The observations.

// The event tick, once a second in automatic mode: makes the switches that
// are due. `start`: the number the schedule puts on air at the start.
struct Tick {
    std::string start;
};
// The schedule, the operator, the API or the management server chose a
// source.
struct Choice {
    std::string number;
    SwitchCause cause = SwitchCause::Operator;
    std::string by = {};  // the browser console's user who chose it
};
// The API's restartplayer: the source on air starts again on the other slot.
struct RestartOnAir {};
// A health check of `tested` (what was under test when it began) gave its
// verdict; Hearing: the monitor's hearing, which only makes good a return
// held for its flow (a `reason` says it fails).
struct Verdict {
    enum class Kind { Passed, Failed, None, Hearing };
    AirSource tested;
    Kind kind = Kind::None;
    std::string reason;
    bool silence = false;
    Flow flow;
};
// The backup on air during a failover (or, in the last resort, its stream)
// was heard to fail or to flow.
struct BackupHeard {
    bool passed = false;
    std::string why;
    Flow flow;
};
// A link of the chain not on air, as its standby monitor hears it: failing
// (why), or flowing for `flow` seconds without a stall.
struct StandbyHeard {
    AirSource link;
    bool passed = false;
    std::string why;
    Flow flow;
};
// The new player of a switch under way, looked at: whether it plays, and
// whether it (and the old one) still run. `lastLine`: the last line of its
// log; `streamFails`: its stream is heard dead or stalled (then the player
// is not to blame).
struct SuccessorSeen {
    bool plays = false;
    std::optional<bool> running;
    std::optional<bool> oldRunning;
    std::string lastLine;
    bool streamFails = false;
    bool readingPlaylist = false;  // its log says it is still reading its playlist
};
// No player runs (the watchdog: every player is stopped first, clearing a
// half-ended one), or the one on air hung: it is started again.
struct PlayerGone {
    bool stopAll = false;
};
// "FORCE SWITCH FROM BACKUP": the source the console shows starts afresh on
// slot 1 after both players stopped.
struct LeaveBackup {};
// Every player stops (the terminate button, a hung player's last resort).
struct StopAll {};
// A start kept the player of `slot` that the last run left, playing
// `source` (number -1: unknown); `leftover` (0: none) is the other slot's.
// A player of a link of the chain, or of the last resort (`lastResort`),
// stands in for `standsInFor`, the source the schedule puts on air: taken
// only where a failover could have put it (with the check on).
struct Adopt {
    int16_t slot = 0;
    AirSource source;
    int16_t leftover = 0;
    bool plays = false;  // its log says it plays
    AirSource standsInFor = {};
    bool lastResort = false;
};
// The player on air is due for a refresh (`reason`): `hours` old, holding
// `megabytes`. At a quiet moment (no failover under way, no switch waiting
// for its new player, no restart pending, no schedule entry `entrySoon`) the
// same source (or the last resort) starts on the other slot and the old
// player stops once the new one plays, as at a switch; but it is no switch.
struct Refresh {
    RefreshReason reason = RefreshReason::Age;
    double hours = 0;
    double megabytes = 0;
    bool entrySoon = false;
};
// The settings were read again.
struct Reload {
    std::string start;  // the schedule's source, when nothing is selected
};

using Observation = std::variant<Tick, Choice, RestartOnAir, Verdict, BackupHeard, StandbyHeard,
                                 SuccessorSeen, PlayerGone, LeaveBackup, StopAll, Adopt, Refresh, Reload>;

// The commands.

// Start the slot's player on `input`.
struct StartPlayer {
    int16_t slot = 0;
    std::string input;
    PlayerInput kind = PlayerInput::Url;
};
// Stop the slot's player (1 or 2), or both (0).
struct StopPlayer {
    int16_t slot = 0;
};
// A line for the station log.
struct Say {
    std::string line;
    LogPriority priority = LogPriority::Info;
};
// Forget the now-playing files and the player's console log (a restart from
// scratch without KeepAirOnStart).
struct ClearOutputs {};
// Events for the listeners.
struct Told {
    std::variant<SwitchEvent, FailoverEvent, AirSource, RestartEvent, LastResortEvent, StandbyEvent,
                 RefreshEvent, RestartsHeld>
        event;
};

using Command = std::variant<StartPlayer, StopPlayer, Say, ClearOutputs, Told>;

struct Decision {
    OnAirState next;
    std::vector<Command> commands;
    // Whether the observation was taken: a verdict on a source no longer
    // under test is dropped, a refused choice changes nothing.
    bool taken = true;
    // What a verdict counts as, for the check's counters; none when it was
    // no check.
    std::optional<HealthCheckResult> judged;
};

Decision Decide(const OnAirState& state, const Observation& observation, const Context& context);

// The selected source that the player on air stands in for: during a
// failover (the last resort's too), while a link of the chain or the last
// resort plays for it. None while what plays was chosen, also the selected
// source playing on for want of a stand-in.
std::optional<AirSource> StandsInFor(const OnAirState& state);

}  // namespace bf::air
