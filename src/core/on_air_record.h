#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace bf {

// Why the source on air changed. A restart puts the same source on air again
// after the watchdog found no player running.
// A step up puts a higher link of the backup chain on air again once it
// has flowed steadily for the return's hold; web is the browser console.
enum class SwitchCause { Schedule, Operator, Api, Management, Failover, Return, Restart, StepUp, Web };
inline constexpr std::array<std::string_view, 9> kSwitchCauseNames = {
    "schedule", "operator", "api", "management", "failover", "return", "restart", "step up", "web"};

// Whether a cause is a choice of what goes on air (by the schedule, the
// operator, the API, the management server or the browser console), not the
// station's own doing.
constexpr bool IsChoice(SwitchCause cause) {
    return cause == SwitchCause::Schedule || cause == SwitchCause::Operator || cause == SwitchCause::Api ||
           cause == SwitchCause::Management || cause == SwitchCause::Web;
}

// The failover of the selected source, step by step: Normal; Suspect after
// one failed check; Failover once a second one failed (the backup stands in
// and the selected source is tested until it passes); Returning once it
// passed, until its player plays again; LastResort while the backup fails
// too, or there is none (LastResortFile plays until the backup or the
// selected source is heard again).
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

// What a player is given: a source's URL (split at blanks, as an unquoted
// command line would), or a file to play in a loop.
enum class PlayerInput { Url, LoopedFile };

// A run of restarts of one source's player: made at once twice in a row,
// then each held a while longer (see the failover policy). Times on the
// monotonic clock.
struct RestartRun {
    int16_t source = -2;  // the number of the source restarted (-1: the last resort)
    // Why the last new player of the run could not play, when that is known:
    // its stream was dead or stalled, or the stream was fine.
    enum class Blame { Unknown, Stream, Player };
    Blame blame = Blame::Unknown;
    int inARow = 0;
    double last = 0;
    // Since when the player a restart started plays; 0 while none does.
    double playingSince = 0;
    bool holdSaid = false;  // the hold of this run was said in the log
    bool operator==(const RestartRun&) const = default;
};

// What played before a switch, while the new player has not yet played: it
// comes back into the record when the new player cannot play and the old
// one still does.
struct OnAirStretch {
    AirSource source;
    int16_t slot = 0;
    bool lastResort = false;
    SwitchCause cause = SwitchCause::Schedule;
    double since = 0;
    bool operator==(const OnAirStretch&) const = default;
};

// A switch under way: the new player (on the record's slot) has not yet
// played; the old one (on `previous.slot`, 0 when none runs) plays on until
// it does.
struct Successor {
    OnAirStretch previous;
    double started = 0;    // monotonic seconds
    bool plays = false;    // the new player was seen playing (the old stops once the overlap is long enough)
    double readUntil = 0;  // when it was last seen reading its playlist
    bool refresh =
        false;  // a fresh player of the same source: one that cannot play is no failure of the source
    bool operator==(const Successor&) const = default;
};

// The failover policy's whole state: what is on air and why, what was
// chosen, the failover, the check's count and the restarts. The on-air
// owner keeps it in the OnAirRecord; the policy (sources/failover_policy)
// computes the next one.
struct OnAirState {
    // On air: the source, its slot (0 before the first switch), whether it is
    // the last resort file, why and since when (seconds since 1970).
    OnAirStretch onAir;
    // No player of the source on air runs: it is started again when it may.
    bool restartPending = false;
    std::optional<Successor> successor;

    AirSource selected;
    FailoverState failover = FailoverState::Normal;
    // A new count of the check's failures begins at every chosen switch, a
    // return, a choice during a failover and a restart from scratch.
    uint32_t countsBegun = 0;
    int16_t checkFailures = 0;  // failed checks in a row of the source under test, up to 3
    bool checkOnline = false;   // the last verdict was a pass
    // The selected source's server passed during a failover while its stream
    // had not yet flowed for ReturnHoldSeconds: its hearing makes the return.
    bool returnAwaitsFlow = false;
    AirSource backup;  // as the failover found it; no URL when there is none
    int16_t backupFailures = 0;
    // The links of the backup chain as their standby monitors hear them, by
    // source number: Held once a failing link flows again, until it has
    // flowed for the return's hold. Failing and held links are skipped.
    enum class Link : int8_t { Unheard, Heard, Failing, Held };
    std::array<Link, 10> links{};
    // Links of a set chain said to have no playable URL (a bit a source).
    uint16_t unplayableSaid = 0;
    // A set chain without a link to play was said.
    bool chainFallbackSaid = false;
    // New players of the selected source in a row that ended or stayed
    // silent before they played (up to 3).
    int16_t playFailures = 0;
    // The selected source failed for its player (it could not play, or its
    // restarts were held): its return is a restart and waits as one.
    bool returnIsRestart = false;
    // Why the last resort plays, and whether that was told for its stretch.
    std::string lastResortWhy;
    bool lastResortTold = false;
    RestartRun restarts;
    // The number text of the last switch refused for want of a playable URL,
    // until a switch goes through: it is said once, not at every tick.
    std::optional<std::string> refused;
    bool operator==(const OnAirState&) const = default;
};

// What is on air and why, and the failover of the selected source. Everyone
// reads it; only the on-air owner (sources/on_air) changes it.
class OnAirRecord {
public:
    // The number of the source on air; -1 before the first switch and while
    // a restart of its player is pending.
    int16_t CurrentSource() const { return s_.restartPending ? int16_t{-1} : s_.onAir.source.number; }
    // The source on air (kept while a restart is pending): its number, name
    // and URL as the console shows them.
    const AirSource& source() const { return s_.onAir.source; }
    // The player slot of the source on air: 1 or 2; 0 before the first switch.
    int16_t CurrentMplayer() const { return s_.onAir.slot; }
    // The slot whose player still plays the previous source until the new one
    // plays; 0 outside a switch.
    int16_t overlapSlot() const { return s_.successor ? s_.successor->previous.slot : int16_t{0}; }
    SwitchCause cause() const { return s_.onAir.cause; }
    // The station clock (seconds since 1970) of the last switch; 0 before.
    double since() const { return s_.onAir.since; }
    bool everOnAir() const { return s_.onAir.slot != 0; }

    // The source chosen for air by the schedule, the operator, the API or the
    // management server. It is the source on air, except during a failover:
    // then the backup is on air and this is the source to return to.
    const AirSource& selected() const { return s_.selected; }
    FailoverState failover() const { return s_.failover; }
    // Whether the backup (or the last resort) stands in for the selected source.
    bool failoverActive() const {
        return s_.failover == FailoverState::Failover || s_.failover == FailoverState::Returning ||
               s_.failover == FailoverState::LastResort;
    }
    // The link of the backup chain that stands in (or stood in last) as the
    // failover found it; no URL when there is none.
    const AirSource& backup() const { return s_.backup; }
    // Whether the last resort file plays.
    bool lastResortOnAir() const { return s_.onAir.lastResort && !s_.restartPending; }
    // Failed checks in a row of the source under test (counted up to 3; the
    // documented LinkFailCount).
    int16_t checkFailures() const { return s_.checkFailures; }
    // The source a pending restart brings back; -1 when none is pending.
    int16_t WasPlaying() const { return s_.restartPending ? s_.onAir.source.number : int16_t{-1}; }
    bool restartPending() const { return s_.restartPending; }
    // The source the health check tests: the one on air, or during a
    // failover the one to return to. Number -1 when nothing has been on air.
    const AirSource& underTest() const { return failoverActive() ? s_.selected : s_.onAir.source; }
    // The whole state, as the failover policy takes it.
    const OnAirState& state() const { return s_; }

private:
    friend struct OnAirWriter;  // sources/on_air.cpp

    OnAirState s_;
};

}  // namespace bf
