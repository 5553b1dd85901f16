#include "sources/failover_policy.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "core/player_files.h"
#include "core/text_decode.h"

namespace bf::air {

namespace {

int16_t OtherSlot(int16_t slot) {
    return slot == 1 ? 2 : 1;
}

// How long the next restart waits after the last one: nothing for the
// first kFreeRestarts of a run, then four times longer each time.
double HoldAfter(int restartsInARow) {
    if (restartsInARow < kFreeRestarts) return 0;
    const double hold = kFirstRestartHoldSeconds * std::pow(4.0, restartsInARow - kFreeRestarts);
    return std::min(hold, kLongestRestartHoldSeconds);
}

class Policy {
public:
    Policy(const OnAirState& state, const Context& context) : s_(state), c_(context) {}

    Decision Run(const Observation& observation) {
        std::visit([this](const auto& o) { On(o); }, observation);
        return {std::move(s_), std::move(out_), taken_, judged_};
    }

private:
    OnAirState s_;
    const Context& c_;
    std::vector<Command> out_;
    bool taken_ = true;
    std::optional<HealthCheckResult> judged_;
    std::optional<bool> hasLastResort_;
    std::optional<std::vector<int16_t>> chain_;
    bool chainFallback_ = false;

    // The steps.

    void Say(std::string line, LogPriority priority = LogPriority::Info) {
        out_.push_back(air::Say{std::move(line), priority});
    }
    template <typename Event>
    void Tell(Event event) {
        out_.push_back(Told{std::move(event)});
    }
    void Stop(int16_t slot) { out_.push_back(StopPlayer{slot}); }

    bool EverOnAir() const { return s_.onAir.slot != 0; }
    bool FailoverActive() const {
        return s_.failover == FailoverState::Failover || s_.failover == FailoverState::Returning ||
               s_.failover == FailoverState::LastResort;
    }
    const AirSource& UnderTest() const { return FailoverActive() ? s_.selected : s_.onAir.source; }
    bool Waiting() const {
        return s_.failover == FailoverState::Failover || s_.failover == FailoverState::LastResort;
    }
    // Whether the backup stands in: a failover, also while the selected
    // source waits to come back.
    bool StandsIn() const {
        return s_.failover == FailoverState::Failover || s_.failover == FailoverState::Returning;
    }

    // Whether a last resort plays, asked once a decision.
    bool HasLastResort() {
        if (!hasLastResort_)
            hasLastResort_ = !c_.lastResortFile.empty() && (!c_.lastResortPlays || c_.lastResortPlays());
        return *hasLastResort_;
    }

    std::optional<AirSource> Playable(std::string_view number) const {
        return c_.playable ? c_.playable(number) : std::nullopt;
    }

    // The backup chain's links.
    using Link = OnAirState::Link;
    static uint16_t Bit(int16_t number) { return static_cast<uint16_t>(1U << number); }
    static bool Valid(int16_t number) { return number >= 0 && number <= 9; }
    // The chain in use, asked once a decision: the one the settings name,
    // or, when no link of it is a source with a playable URL, source 0 as
    // without BackupChain.
    const std::vector<int16_t>& Chain() {
        if (!chain_) {
            chainFallback_ = c_.chainSet && std::ranges::none_of(c_.chain, [this](int16_t number) {
                                 return Playable(std::to_string(number)).has_value();
                             });
            chain_ = chainFallback_ ? std::vector<int16_t>{0} : c_.chain;
        }
        return *chain_;
    }
    bool ChainSet() {
        Chain();
        return c_.chainSet && !chainFallback_;
    }
    // A set chain without a link to play is said once, until it has one again.
    void SayChainFallback() {
        Chain();
        if (!chainFallback_ || s_.chainFallbackSaid) {
            s_.chainFallbackSaid = chainFallback_;
            return;
        }
        s_.chainFallbackSaid = true;
        Say(std::string("  SYS - BACKUP CHAIN: NO LINK IS A SOURCE WITH A PLAYABLE URL - ") +
                (Playable("0") ? "SOURCE 0 BACKS UP" : "NO BACKUP"),
            LogPriority::Warning);
    }
    // Where a source stands in the chain; past its end when it is no link.
    size_t Position(int16_t number) {
        return static_cast<size_t>(std::ranges::find(Chain(), number) - Chain().begin());
    }
    // A link heard failing, or not yet flowing for the hold since, is held
    // off; only while standby links are heard, which alone can clear it (a
    // reload may turn the hearing off).
    bool HeldOff(int16_t number) const {
        return c_.standbyCheck && Valid(number) &&
               (s_.links[static_cast<size_t>(number)] == Link::Failing ||
                s_.links[static_cast<size_t>(number)] == Link::Held);
    }

    void NewCount(FailoverState state) {
        s_.failover = state;
        s_.checkFailures = 0;
        ++s_.countsBegun;
    }

    // A source chosen for air gets fresh tries: the run of restarts ends.
    void FreshTries() {
        s_.playFailures = 0;
        s_.returnIsRestart = false;
        s_.restarts = {};
    }

    // Logs that a switch to the number was refused, unless it was the last
    // one refused and no switch has gone through since.
    void Refuse(std::string_view number) {
        if (s_.refused == number) return;
        s_.refused = std::string(number);
        // A management server's order can be a reply of any length.
        Say("  SYS - SWITCH REFUSED - NO PLAYABLE URL (SOURCE " + std::string(CutAtCharacter(number, 16)) +
            ")");
    }

    // Whether a restart of `source` may be made now. When it may, it is
    // counted as made; when it must wait, that is said once for the run. A
    // restart of another source starts a run of its own.
    bool MayRestartNow(const AirSource& source) {
        RestartRun& run = s_.restarts;
        if (run.source != source.number) run = RestartRun{source.number};
        const bool played = run.playingSince != 0 && c_.now - run.playingSince >= kSteadyPlaySeconds;
        if (played || c_.now - run.last >= kRestartRunEndsSeconds) {
            run.inARow = 0;
            run.holdSaid = false;
        }
        const double hold = HoldAfter(run.inARow);
        if (run.inARow > 0 && c_.now - run.last < hold) {
            if (!run.holdSaid)
                Say("  SYS - PLAYER RESTARTS HELD - " + std::to_string(run.inARow) +
                        " IN A ROW, THE NEXT IN " + std::to_string(std::lround(hold - (c_.now - run.last))) +
                        " S, EACH LATER ONE WAITS LONGER (UP TO " +
                        std::to_string(static_cast<int>(kLongestRestartHoldSeconds / 60)) + " MIN)",
                    LogPriority::Warning);
            if (!run.holdSaid) Tell(RestartsHeld{source, run.inARow, hold - (c_.now - run.last)});
            run.holdSaid = true;
            return false;
        }
        CountRestart(source);
        return true;
    }

    void CountRestart(const AirSource& source) {
        RestartRun& run = s_.restarts;
        if (run.source != source.number) run = RestartRun{source.number};
        run.inARow = std::min(run.inARow + 1, 100);
        run.last = c_.now;
        run.playingSince = 0;
    }

    // Puts `source` on air on the other slot for `cause` and returns what
    // was on air before. The player that plays now plays on until the new
    // one plays. A switch while another's new player has not yet played
    // takes that player's place (it is no loss); once it plays, the older
    // player ends at once.
    AirSource PutOn(const AirSource& source, SwitchCause cause, PlayerInput kind) {
        const AirSource from = s_.restartPending || !EverOnAir() ? AirSource{} : s_.onAir.source;
        OnAirStretch previous = s_.onAir;
        int16_t slot = OtherSlot(s_.onAir.slot);
        if (s_.successor && !s_.successor->plays) {
            Stop(s_.onAir.slot);
            previous = s_.successor->previous;
            slot = s_.onAir.slot;
        } else if (s_.successor && s_.successor->previous.slot != 0) {
            Stop(s_.successor->previous.slot);
        }
        out_.push_back(StartPlayer{slot, source.url, kind});
        s_.successor = Successor{previous, c_.now, false};
        s_.onAir = {source, slot, kind == PlayerInput::LoopedFile, cause, c_.epoch};
        s_.restartPending = false;
        return from;
    }

    bool Switch(std::string_view number, SwitchCause cause) {
        const std::optional<AirSource> source = Playable(number);
        if (!source) {
            Refuse(number);
            return false;
        }
        SwitchTo(*source, cause);
        return true;
    }

    void SwitchTo(const AirSource& source, SwitchCause cause) {
        s_.refused.reset();
        const AirSource from = PutOn(source, cause, PlayerInput::Url);
        if (IsChoice(cause)) {
            // A chosen source starts a count of its own.
            s_.selected = source;
            FreshTries();
            NewCount(FailoverState::Normal);
        }
        Tell(SwitchEvent{from, source, s_.onAir.slot, cause});
    }

    bool Select(std::string_view number, SwitchCause cause) {
        // Every refused request of a person is said; the schedule's and the
        // management server's, which come again and again, once.
        if (cause == SwitchCause::Operator || cause == SwitchCause::Api || cause == SwitchCause::Web)
            s_.refused.reset();
        const std::optional<AirSource> chosen = Playable(number);
        if (!chosen) {
            Refuse(number);
            return false;
        }
        if (FailoverActive()) {
            // The stand-in stays until the chosen source passes its check.
            s_.refused.reset();
            if (s_.selected != *chosen) {
                FreshTries();
                // The link on air stands in for the new choice, unless it is the choice.
                if (s_.onAir.lastResort || s_.onAir.source.number != s_.backup.number ||
                    s_.backup.url.empty())
                    FindBackup(*chosen);
            }
            s_.selected = *chosen;
            NewCount(s_.failover == FailoverState::LastResort ? FailoverState::LastResort
                                                              : FailoverState::Failover);
            s_.returnAwaitsFlow = false;
            return true;
        }
        if (cause == SwitchCause::Schedule && EverOnAir() && !s_.restartPending &&
            s_.onAir.source == *chosen) {
            s_.selected = *chosen;
            return true;
        }
        SwitchTo(*chosen, cause);
        return true;
    }

    // The first link of the chain from `from` on that stands in for
    // `failed`: one with a playable URL, held off by no failure, that is
    // neither the failed source nor plays its stream.
    bool FindBackup(const AirSource& failed, size_t from = 0) {
        s_.backup = {};
        SayChainFallback();
        for (size_t i = from; i < Chain().size(); ++i) {
            const int16_t number = Chain()[i];
            const std::optional<AirSource> link = Playable(std::to_string(number));
            if (!link) {
                Unplayable(number);
                continue;
            }
            if (Valid(number)) s_.unplayableSaid &= static_cast<uint16_t>(~Bit(number));
            if (number == failed.number || link->url == failed.url || HeldOff(number)) continue;
            s_.backup = *link;
            return true;
        }
        return false;
    }

    // A link of a chain the settings name that has no playable URL is
    // skipped, and said once until it has one again.
    void Unplayable(int16_t number) {
        if (!ChainSet() || !Valid(number) || (s_.unplayableSaid & Bit(number)) != 0) return;
        s_.unplayableSaid |= Bit(number);
        Say("  SYS - BACKUP CHAIN: SOURCE " + std::to_string(number) + " HAS NO PLAYABLE URL - SKIPPED",
            LogPriority::Warning);
    }

    // Why nothing of the chain stands in.
    std::string NoBackupWhy() {
        if (std::ranges::any_of(Chain(), [&](int16_t n) { return n != s_.selected.number && HeldOff(n); }))
            return "every link of the backup chain is failing";
        return Position(s_.selected.number) < Chain().size() ? "the backup failed" : "there is no backup";
    }

    void StartFailover(const AirSource& failed, const std::string& reason, bool silence) {
        s_.failover = FailoverState::Failover;
        s_.selected = failed;
        s_.returnAwaitsFlow = false;
        // Its first pass from now on is news: it brings it back.
        s_.checkOnline = false;
        const bool backupStandsIn = FindBackup(failed);
        s_.backupFailures = 0;
        const StandIn standIn = backupStandsIn    ? StandIn::Backup
                                : HasLastResort() ? StandIn::LastResort
                                                  : StandIn::None;
        Tell(FailoverEvent{failed, reason, silence, standIn});
        // The fast mode lets the stand-in overlap the player that still plays
        // its buffer; otherwise the failing player stops now. Without a
        // stand-in it plays on: a failing stream beats none.
        if (!c_.fast && standIn != StandIn::None && s_.onAir.source == failed && !s_.onAir.lastResort &&
            !s_.restartPending) {
            Stop(0);
            s_.successor.reset();
        }
    }

    void EnterLastResort(const std::string& why) {
        s_.failover = FailoverState::LastResort;
        s_.lastResortTold = false;
        s_.lastResortWhy = std::string(CutAtCharacter(why, 120));
        Say("  SYS - LAST RESORT: " + s_.lastResortWhy, LogPriority::Warning);
    }

    // The last resort file, in a loop, on the other slot; the old player
    // stops once it plays, as at every switch. It is no switch: it is told
    // once for its stretch, naming the source that failed.
    void PlayLastResort() {
        PutOn(AirSource{-1, "LAST RESORT", c_.lastResortFile}, SwitchCause::Failover,
              PlayerInput::LoopedFile);
        if (s_.lastResortTold) return;
        s_.lastResortTold = true;
        Tell(LastResortEvent{s_.selected, s_.lastResortWhy});
    }

    // During a failover: the backup, else the last resort file, stands in;
    // with neither the failing source is restarted when it must be. A backup
    // whose player could not play is tried again as a restart is; one that
    // failed into the last resort waits there until it is heard again.
    void PutStandInOn() {
        const bool backupFailed = s_.backupFailures >= 2 && HasLastResort();
        if (!s_.backup.url.empty() && !backupFailed) {
            const std::string link = std::to_string(s_.backup.number);
            if (s_.onAir.source.number != s_.backup.number || s_.onAir.lastResort || !EverOnAir()) {
                const bool retry = s_.backupFailures > 0 && EverOnAir();
                if (retry && !MayRestartNow(s_.backup)) return;
                Switch(link, retry ? SwitchCause::Restart : SwitchCause::Failover);
            } else if (s_.restartPending && MayRestartNow(s_.onAir.source)) {
                Switch(link, SwitchCause::Restart);
            }
        } else if (HasLastResort()) {
            // Without a backup the last resort stands in at once.
            if (s_.failover == FailoverState::Failover) EnterLastResort(NoBackupWhy());
            if (!s_.onAir.lastResort || (s_.restartPending && MayRestartNow(s_.onAir.source)))
                PlayLastResort();
        } else if (s_.restartPending && MayRestartNow(s_.onAir.source)) {
            // Nothing stands in: the failing source plays on.
            SwitchTo(s_.onAir.source, SwitchCause::Restart);
        }
    }

    // The switches the event tick makes in automatic mode.
    void Automatic(const std::string& start) {
        switch (s_.failover) {
            case FailoverState::Failover:
                PutStandInOn();
                return;
            case FailoverState::LastResort:
                if (!s_.onAir.lastResort || (s_.restartPending && MayRestartNow(s_.onAir.source)))
                    PlayLastResort();
                return;
            case FailoverState::Returning:
                Return();
                return;
            case FailoverState::Normal:
            case FailoverState::Suspect:
                if (!EverOnAir()) {
                    Select(start, SwitchCause::Schedule);
                } else if (s_.restartPending) {
                    RestartOrFailOver();
                } else if (!s_.successor && s_.selected.number >= 0 && s_.onAir.source != s_.selected) {
                    // The selected source's new player could not play and the
                    // old one plays on: the selected one is tried again.
                    if (MayRestartNow(s_.selected)) SwitchTo(s_.selected, SwitchCause::Restart);
                }
                return;
        }
    }

    // A source whose player is gone starts again when it may (the selected
    // one, when another played on for it); a restart held in automatic mode
    // with the check on is a failover: the backup plays while the source's
    // player may not.
    void RestartOrFailOver() {
        const AirSource wanted = s_.selected.number >= 0 ? s_.selected : s_.onAir.source;
        if (MayRestartNow(wanted)) {
            SwitchTo(wanted, SwitchCause::Restart);
            return;
        }
        if (!c_.automatic || !c_.checking || s_.onAir.lastResort || wanted.number < 0) return;
        StartFailover(wanted, "player restarts held (" + std::to_string(s_.restarts.inARow) + " in a row)",
                      false);
        s_.returnIsRestart = true;
        PutStandInOn();
    }

    // Back to the selected source once it passed its check. A source whose
    // player could not play is tried again as a restart is: held once it
    // failed again and again. It is back once its player plays.
    void Return() {
        if (s_.successor && s_.onAir.source == s_.selected && !s_.onAir.lastResort) return;  // under way
        if (s_.returnIsRestart || s_.playFailures > 0) {
            if (MayRestartNow(s_.selected))
                SwitchTo(s_.selected, SwitchCause::Return);
            else
                PutStandInOn();  // meanwhile
            return;
        }
        // A source that stayed on air for want of a stand-in is not started
        // again.
        if (s_.onAir.source == s_.selected && !s_.onAir.lastResort && !s_.restartPending) {
            Returned();
            return;
        }
        SwitchTo(s_.selected, SwitchCause::Return);
    }

    void Returned() {
        NewCount(FailoverState::Normal);
        s_.returnIsRestart = false;
        s_.returnAwaitsFlow = false;
        Tell(s_.onAir.source);
    }

    // Whether a return to a stream that flowed `flow` must wait: it is heard,
    // and has not yet flowed without a stall for ReturnHoldSeconds (a stalled
    // server's burst to a new listener flows for less).
    bool FlowHeld(const Flow& flow) const {
        return flow && (*flow == kNeverSteady || *flow < c_.returnHoldSeconds);
    }

    // The observations.

    void On(const Tick& tick) { Automatic(tick.start); }

    void On(const Choice& choice) { taken_ = Select(choice.number, choice.cause); }

    void On(const RestartOnAir&) {
        taken_ = EverOnAir() && s_.onAir.source.number >= 0 &&
                 Switch(std::to_string(s_.onAir.source.number), SwitchCause::Restart);
    }

    void On(const Verdict& verdict) {
        if (verdict.tested != UnderTest()) {
            taken_ = false;
            return;
        }
        const FailoverState before = s_.failover;
        switch (verdict.kind) {
            case Verdict::Kind::Failed:
                Failed(verdict.tested, verdict.reason, verdict.silence);
                break;
            case Verdict::Kind::Passed:
                if (Waiting() && FlowHeld(verdict.flow)) {
                    // The monitor's hearing makes the return once it has flowed.
                    s_.returnAwaitsFlow = true;
                    judged_ = HealthCheckResult::NoVerdict;
                } else {
                    Passed();
                    StreamBack(verdict.tested);
                }
                break;
            case Verdict::Kind::Hearing:
                if (!s_.returnAwaitsFlow || !Waiting() || !verdict.reason.empty()) {
                    s_.returnAwaitsFlow = false;
                } else if (!FlowHeld(verdict.flow)) {
                    Passed();
                    StreamBack(verdict.tested);
                }
                break;
            case Verdict::Kind::None:
                judged_ = HealthCheckResult::NoVerdict;
                break;
        }
        if (s_.failover != before && c_.automatic) Automatic({});
    }

    void Failed(const AirSource& tested, const std::string& reason, bool silence) {
        judged_ = HealthCheckResult::Failed;
        s_.returnAwaitsFlow = false;
        s_.checkOnline = false;
        s_.checkFailures = static_cast<int16_t>(std::min(s_.checkFailures + 1, 3));
        if (s_.checkFailures == 1) Say("  SYS - SERVER OR LINK FAILURE - FIRST CHECK");
        if (s_.checkFailures == 2) Say("  SYS - SERVER OR LINK FAILURE");
        switch (s_.failover) {
            case FailoverState::Normal:
                s_.failover = FailoverState::Suspect;
                break;
            case FailoverState::Suspect:
                StartFailover(tested, reason, silence);
                break;
            case FailoverState::Returning:
                // It failed again before it was back: the stand-in stays.
                s_.failover = FailoverState::Failover;
                break;
            case FailoverState::Failover:
            case FailoverState::LastResort:
                break;
        }
    }

    void Passed() {
        judged_ = HealthCheckResult::Passed;
        if (!s_.checkOnline) Say("  SYS - SELECTED SOURCE ONLINE");
        s_.checkOnline = true;
        s_.checkFailures = 0;
        s_.returnAwaitsFlow = false;
        // During a failover the selected source comes back. Outside failover
        // the source never went off air, and its player is left alone.
        if (s_.failover == FailoverState::Suspect) s_.failover = FailoverState::Normal;
        if (Waiting()) s_.failover = FailoverState::Returning;
    }

    // The backup on air (or, in the last resort, the backup's stream) was
    // heard: its second failure in a row brings on the last resort; during
    // the last resort, once it has flowed for the return's hold, it comes
    // back.
    void On(const BackupHeard& heard) {
        const FailoverState before = s_.failover;
        if (s_.failover == FailoverState::LastResort) {
            if (heard.passed && !s_.backup.url.empty() && !FlowHeld(heard.flow)) {
                s_.failover = FailoverState::Failover;
                s_.backupFailures = 0;
                if (Valid(s_.backup.number)) s_.links[static_cast<size_t>(s_.backup.number)] = Link::Heard;
            }
        } else if (StandsIn() && s_.onAir.source.number == s_.backup.number && !s_.onAir.lastResort) {
            CountBackup(heard.passed, heard.why);
            if (heard.passed && !FlowHeld(heard.flow) && StreamBack(s_.onAir.source) && c_.automatic)
                Automatic({});
        }
        if (s_.failover != before && c_.automatic) Automatic({});
    }

    // A source whose new players could not play for its stream is started
    // again as soon as its stream is back: its restarts were held for the
    // stream, not for the player.
    bool StreamBack(const AirSource& source) {
        const RestartRun& run = s_.restarts;
        if (run.source != source.number || run.blame != RestartRun::Blame::Stream || run.inARow == 0)
            return false;
        s_.restarts = {};
        return true;
    }

    // The link on air failing twice in a row hands over to the next link of
    // the chain; after the last, the last resort plays. A link that failed
    // is held off until its standby monitor hears it flow for the hold.
    void CountBackup(bool passed, const std::string& why) {
        s_.backupFailures = passed ? int16_t{0} : static_cast<int16_t>(std::min(s_.backupFailures + 1, 3));
        if (s_.backupFailures < 2) return;
        const AirSource failed = s_.backup;
        if (c_.standbyCheck && Valid(failed.number))
            s_.links[static_cast<size_t>(failed.number)] = Link::Held;
        // Without a last resort, the chain is tried again from its start.
        if (FindBackup(s_.selected, Position(failed.number) + 1) ||
            (!HasLastResort() && FindBackup(s_.selected) && s_.backup.number != failed.number)) {
            s_.backupFailures = 0;
            return;
        }
        s_.backup = failed;
        if (HasLastResort()) EnterLastResort("the backup failed too: " + why);
    }

    // A standby link is said once when it is heard failing, and once when
    // it has flowed for the hold again. In automatic mode one higher in the
    // chain than the link on air then steps up, and any link takes the
    // last resort's place.
    void On(const StandbyHeard& heard) {
        const int16_t number = heard.link.number;
        if (!c_.standbyCheck || !Valid(number) || Position(number) >= Chain().size()) {
            taken_ = false;
            return;
        }
        Link& link = s_.links[static_cast<size_t>(number)];
        const std::string standby = "  SYS - STANDBY " + std::to_string(number) + " " + heard.link.name;
        if (!heard.passed) {
            if (link == Link::Unheard || link == Link::Heard) {
                Say(standby + " FAILING: " + std::string(CutAtCharacter(heard.why, 120)),
                    LogPriority::Warning);
                Tell(StandbyEvent{heard.link, true, heard.why});
            }
            link = Link::Failing;
            return;
        }
        if (FlowHeld(heard.flow)) {
            link = link == Link::Unheard ? Link::Heard : link == Link::Failing ? Link::Held : link;
            return;
        }
        if (link == Link::Failing || link == Link::Held) {
            Say(standby + " HEARD AGAIN");
            Tell(StandbyEvent{heard.link, false, {}});
        }
        link = Link::Heard;
        if (number == s_.selected.number || heard.link.url == s_.selected.url) return;
        if (s_.failover == FailoverState::LastResort ||
            (s_.failover == FailoverState::Failover && s_.backup.url.empty())) {
            s_.backup = heard.link;
            s_.backupFailures = 0;
            s_.failover = FailoverState::Failover;
            if (c_.automatic) Automatic({});
        } else if (c_.automatic && s_.failover == FailoverState::Failover && !s_.successor &&
                   !s_.onAir.lastResort && !s_.restartPending && s_.onAir.source.number == s_.backup.number &&
                   Position(number) < Position(s_.backup.number)) {
            s_.backup = heard.link;
            s_.backupFailures = 0;
            SwitchTo(heard.link, SwitchCause::StepUp);
        }
    }

    void On(const SuccessorSeen& seen) {
        if (!s_.successor) {
            taken_ = false;
            return;
        }
        Successor& successor = *s_.successor;
        const double elapsed = c_.now - successor.started;
        if (seen.plays) successor.plays = true;
        if (elapsed < kOverlapSeconds) return;
        if (successor.plays) {
            Played();
            return;
        }
        const bool ended = seen.running == false;
        if (!ended && seen.readingPlaylist && elapsed < kPlaylistReadSeconds) successor.readUntil = c_.now;
        if (!ended && c_.now - std::max(successor.started, successor.readUntil) < kOverlapLongestSeconds)
            return;
        CouldNotPlay(ended, seen);
    }

    // The new player plays: the old one stops.
    void Played() {
        const int16_t old = s_.successor->previous.slot;
        s_.successor.reset();
        if (old != 0 && old != s_.onAir.slot) Stop(old);
        if (s_.onAir.source == s_.selected) s_.playFailures = 0;
        const SwitchCause cause = s_.onAir.cause;
        RestartRun& run = s_.restarts;
        if ((cause == SwitchCause::Restart || cause == SwitchCause::Return) && run.playingSince == 0 &&
            run.source == s_.onAir.source.number)
            run.playingSince = c_.now;
        if (cause == SwitchCause::Return && s_.failover == FailoverState::Returning &&
            s_.onAir.source == s_.selected)
            Returned();
    }

    // The new player ended, or stayed silent, before it played. The old one
    // plays on when it still runs, and stays in the record.
    void CouldNotPlay(bool ended, const SuccessorSeen& seen) {
        const OnAirStretch attempted = s_.onAir;
        const OnAirStretch previous = s_.successor->previous;
        const bool refresh = s_.successor->refresh;
        s_.successor.reset();
        const bool oldPlays =
            previous.slot != 0 && previous.slot != attempted.slot && seen.oldRunning == true;
        Say("  SYS - NEW PLAYER " + PlayerName(attempted.slot) + (ended ? " ENDED" : " SILENT") +
            " BEFORE PLAYING (SOURCE " + std::to_string(attempted.source.number) + ") - " +
            (oldPlays ? "OLD PLAYER PLAYS ON" : "OLD PLAYER STOPPED"));
        if (oldPlays) {
            Stop(attempted.slot);
            s_.onAir = previous;
            // A refresh that could not play leaves the air as it was: the
            // source plays well, so it counts no failure (a server that takes
            // one listener at a time would otherwise fail it over in the end).
            if (refresh) return;
        } else if (previous.slot != 0 && previous.slot != attempted.slot) {
            // Its log stays until the slot starts again, then as ".log.1".
            Stop(previous.slot);
        }
        PlayFailed(attempted, ended, seen, oldPlays);
    }

    // The first time a player cannot play, the source is started again at
    // once; the second time in a row it has failed as after two failed
    // checks: the backup takes over, and the source is tried again once its
    // check passes. A backup that cannot play counts as a backup heard to
    // fail. A stream heard to be dead or stalled is the checks' to judge:
    // the player is not to blame, and without the health check nothing
    // fails over.
    void PlayFailed(const OnAirStretch& attempted, bool ended, const SuccessorSeen& seen, bool oldPlays) {
        const std::string why = std::string("the player cannot play it (") + (ended ? "ended" : "silent") +
                                " before playing, twice in a row): " + seen.lastLine;
        const bool playerToBlame = c_.checking && !seen.streamFails;
        if (s_.restarts.source == attempted.source.number)
            s_.restarts.blame = seen.streamFails ? RestartRun::Blame::Stream : RestartRun::Blame::Player;
        const bool isSelected = attempted.source == s_.selected && !attempted.lastResort;
        if (playerToBlame && StandsIn() && attempted.source.number == s_.backup.number &&
            !attempted.lastResort) {
            CountBackup(false, why);
        } else if (playerToBlame && isSelected && s_.failover == FailoverState::Returning) {
            // A return that could not play waits as a restart does.
            s_.playFailures = static_cast<int16_t>(std::min(s_.playFailures + 1, 3));
            s_.returnIsRestart = true;
        } else if (playerToBlame && isSelected && !FailoverActive()) {
            s_.playFailures = static_cast<int16_t>(std::min(s_.playFailures + 1, 3));
            if (s_.playFailures >= 2) {
                StartFailover(attempted.source, why, false);
                s_.returnIsRestart = true;
                // Its first try waits as the next restart would (a try that
                // fails counts already).
                if (s_.playFailures == 2) CountRestart(attempted.source);
                // Without a stand-in it is started again (held); else the
                // event tick puts the stand-in on.
                if (s_.backup.url.empty() && !HasLastResort()) Restart(attempted, oldPlays);
                return;
            }
        }
        Restart(attempted, oldPlays);
    }

    // The source's player is gone: it starts again at the next tick. When
    // the old player plays on, the tick tries the source again instead.
    void Restart(const OnAirStretch& of, bool oldPlays) {
        if (!oldPlays) s_.restartPending = true;
        Tell(RestartEvent{of.source, of.slot});
    }

    void On(const PlayerGone& gone) {
        if (!EverOnAir() || s_.restartPending) {
            taken_ = false;
            return;
        }
        if (gone.stopAll) On(StopAll{});
        Restart(s_.onAir, false);
    }

    void On(const LeaveBackup&) {
        if (!EverOnAir()) {
            taken_ = false;
            return;
        }
        // In the last resort the source it stands in for restarts: the
        // backup, else the selected source.
        const AirSource& base = !s_.onAir.lastResort     ? s_.onAir.source
                                : !s_.backup.url.empty() ? s_.backup
                                                         : s_.selected;
        if (base.number < 0) {
            taken_ = false;
            return;
        }
        // A source without a playable URL now restarts the URL it had.
        const AirSource source = Playable(std::to_string(base.number)).value_or(base);
        const AirSource from = s_.restartPending ? AirSource{} : s_.onAir.source;
        Stop(0);
        out_.push_back(ClearOutputs{});
        out_.push_back(StartPlayer{1, source.url, PlayerInput::Url});
        s_.successor.reset();
        s_.onAir = {source, 1, false, SwitchCause::Operator, c_.epoch};
        s_.restartPending = false;
        s_.refused.reset();
        s_.selected = source;
        FreshTries();
        NewCount(FailoverState::Normal);
        s_.checkOnline = false;
        s_.returnAwaitsFlow = false;
        Tell(SwitchEvent{from, source, 1, SwitchCause::Operator});
    }

    void On(const StopAll&) {
        Stop(0);
        s_.successor.reset();
    }

    void On(const Adopt& adopt) {
        const bool standIn = adopt.standsInFor.number >= 0;
        const bool mayStandIn =
            c_.checking && adopt.source.number != adopt.standsInFor.number &&
            (adopt.lastResort ? HasLastResort() : Position(adopt.source.number) < Chain().size());
        if (EverOnAir() || (adopt.slot != 1 && adopt.slot != 2) || (standIn && !mayStandIn)) {
            taken_ = false;
            return;
        }
        s_.onAir = {adopt.source, adopt.slot, adopt.lastResort,
                    standIn ? SwitchCause::Failover : SwitchCause::Schedule, c_.epoch};
        s_.selected = standIn ? adopt.standsInFor : adopt.source;
        if (adopt.leftover != 0)
            s_.successor = Successor{
                {AirSource{}, adopt.leftover, false, SwitchCause::Schedule, 0}, c_.now, adopt.plays};
        if (!standIn) return;
        // The failover of the last run goes on: the selected source returns
        // as from any stand-in, once its check passes and it has flowed for
        // the hold; a link that fails hands over as ever, and from the last
        // resort the chain comes back once it is heard.
        NewCount(adopt.lastResort ? FailoverState::LastResort : FailoverState::Failover);
        s_.checkOnline = false;
        s_.backupFailures = 0;
        if (!adopt.lastResort) {
            s_.backup = adopt.source;
            return;
        }
        FindBackup(adopt.standsInFor);
        s_.lastResortTold = true;
        s_.lastResortWhy = "kept on air from the last run";
    }

    // A refresh waits for a quiet moment: not during a failover (the last
    // resort aside, which may play for hours), a switch waiting for its new
    // player, a pending restart, or the minute before a schedule entry. The
    // stretch on air stays as it was (its source, its cause); only its
    // player is new.
    void On(const Refresh& refresh) {
        const bool quiet = s_.failover == FailoverState::Normal ||
                           (s_.failover == FailoverState::LastResort && s_.onAir.lastResort);
        if (!EverOnAir() || !quiet || s_.successor || s_.restartPending || refresh.entrySoon) {
            taken_ = false;
            return;
        }
        const OnAirStretch old = s_.onAir;
        PutOn(old.source, old.cause, old.lastResort ? PlayerInput::LoopedFile : PlayerInput::Url);
        if (s_.successor) s_.successor->refresh = true;
        char figures[64];
        std::snprintf(figures, sizeof figures, "%.1f H (%.0f MB)", refresh.hours, refresh.megabytes);
        Say("  SYS - PLAYER " + PlayerName(old.slot) + " REFRESHED AFTER " + figures);
        Tell(RefreshEvent{old.source, old.slot, refresh.reason});
    }

    // The check turned off during a failover ends it: in automatic mode the
    // selected source goes on air as a start without the check would put it,
    // in manual mode what plays stays. A reload (and a start) also says a
    // chain without a link to play.
    void On(const Reload& reload) {
        SayChainFallback();
        if (!c_.standbyCheck) s_.links = {};
        if (c_.checking) return;
        s_.returnAwaitsFlow = false;
        if (s_.failover == FailoverState::Suspect) NewCount(FailoverState::Normal);
        if (!FailoverActive()) return;
        if (!c_.automatic) {
            if (!s_.onAir.lastResort && EverOnAir()) s_.selected = s_.onAir.source;
            NewCount(FailoverState::Normal);
            return;
        }
        std::optional<AirSource> target = s_.selected;
        if (target->number < 0) target = Playable(reload.start);
        if (!target) {
            NewCount(FailoverState::Normal);
            return;
        }
        s_.selected = *target;
        FreshTries();
        if (s_.onAir.source == *target && !s_.onAir.lastResort && !s_.restartPending && !s_.successor) {
            Returned();
            return;
        }
        SwitchTo(*target, SwitchCause::Return);
        Returned();
    }
};

}  // namespace

Decision Decide(const OnAirState& state, const Observation& observation, const Context& context) {
    return Policy(state, context).Run(observation);
}

std::optional<AirSource> StandsInFor(const OnAirState& state) {
    const bool failover = state.failover == FailoverState::Failover ||
                          state.failover == FailoverState::Returning ||
                          state.failover == FailoverState::LastResort;
    if (!failover || state.onAir.slot == 0 ||
        (state.onAir.source == state.selected && !state.onAir.lastResort))
        return std::nullopt;
    return state.selected;
}

}  // namespace bf::air
