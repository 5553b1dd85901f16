#include "sources/on_air.h"

#include <algorithm>
#include <string>

#include "core/station.h"
#include "core/station_log.h"
#include "core/text_decode.h"
#include "core/text_file.h"
#include "core/timer_names.h"
#include "sources/air_monitor.h"
#include "sources/player_control.h"
#include "sources/restart_hold.h"

namespace bf {

// The one writer of the on-air record.
struct OnAirWriter {
    static OnAirRecord& Of(Station& station) { return station.onAir; }

    // The source the number (one digit) names, if its URL can be a stream's
    // address (8 bytes at least).
    static std::optional<SourceEntry> Playable(const Station& station, std::string_view number) {
        if (number.size() != 1 || number[0] < '0' || number[0] > '9') return std::nullopt;
        SourceEntry entry = FindSource(station, number);
        if (entry.url.size() < kShortestUrl) return std::nullopt;
        return entry;
    }

    // Logs that a switch to the number was refused, unless it was the last
    // one refused and no switch has gone through since.
    static void Refuse(Station& station, std::string_view number) {
        std::optional<std::string>& refused = Of(station).refused_;
        if (refused == number) return;
        refused = std::string(number);
        // A management server's order can be a reply of any length.
        AddToAirLog(station, "  SYS - SWITCH REFUSED - NO PLAYABLE URL (SOURCE " +
                                 std::string(CutAtCharacter(number, 16)) + ")");
    }

    static AirSource SourceOf(std::string_view number, const SourceEntry& entry) {
        return {static_cast<int16_t>(number[0] - '0'), entry.name, entry.url};
    }

    // The console and the documented state fields show the source on air.
    static void Show(Station& station) {
        const OnAirRecord& r = Of(station);
        ConsoleModel& c = station.console;
        c.lblCurrentSource.caption = r.source_.url;
        c.lblStudio.caption = r.source_.name;
        c.lblSourceNumber.caption = std::to_string(r.source_.number);
        c.lblSourceDisp.caption = std::to_string(r.source_.number);
        station.state.PlayURL = r.source_.url;
    }

    static void NewCount(OnAirRecord& r, FailoverState state) {
        r.failover_ = state;
        r.failedChecks_ = 0;
    }

    static std::optional<SourceEntry> Switch(Station& station, std::string_view number, SwitchCause cause) {
        OnAirRecord& r = Of(station);
        const std::optional<SourceEntry> entry = Playable(station, number);
        if (!entry) {
            Refuse(station, number);
            return std::nullopt;
        }
        r.refused_.reset();

        const AirSource from = r.restartPending_ || r.slot_ == 0 ? AirSource{} : r.source_;
        const int16_t newSlot = r.slot_ == 1 ? 2 : 1;
        // A switch during an overlap: the player still waiting to be stopped
        // holds the slot the new source needs, and ends at once.
        if (r.overlapSlot_ == newSlot) StopPlayer(station, newSlot);
        StartPlayer(station, newSlot, entry->url);

        r.overlapSlot_ = newSlot == 1 ? 2 : 1;
        r.overlapStarted_ = station.clock.monotonicSeconds();
        station.timers.start(TimerName::SwitchOverlap);

        r.source_ = SourceOf(number, *entry);
        r.lastResort_ = false;
        r.slot_ = newSlot;
        r.cause_ = cause;
        r.since_ = station.clock.now().epoch;
        r.restartPending_ = false;
        switch (cause) {
            case SwitchCause::Schedule:
            case SwitchCause::Operator:
            case SwitchCause::Api:
            case SwitchCause::Management:
                // A chosen source starts a count of its own.
                r.selected_ = r.source_;
                r.playFailures_ = 0;
                EndRestartRun(station);
                NewCount(r, FailoverState::Normal);
                break;
            case SwitchCause::Return:
                NewCount(r, FailoverState::Normal);
                break;
            case SwitchCause::Failover:
            case SwitchCause::Restart:
                break;
        }
        Show(station);
        station.listener->switched({from, r.source_, newSlot, cause});
        if (cause == SwitchCause::Return) station.listener->returned(r.source_);
        return entry;
    }

    static void Keep(Station& station, int16_t slot, const AirSource& source, int16_t leftover) {
        OnAirRecord& r = Of(station);
        if (r.everOnAir() || (slot != 1 && slot != 2)) return;
        r.source_ = source;
        r.selected_ = source;
        r.slot_ = slot;
        r.since_ = station.clock.now().epoch;
        if (leftover != 0) {
            r.overlapSlot_ = leftover;
            r.overlapStarted_ = station.clock.monotonicSeconds();
            station.timers.start(TimerName::SwitchOverlap);
        }
        Show(station);
    }

    static bool Select(Station& station, std::string_view number, SwitchCause cause) {
        OnAirRecord& r = Of(station);
        // Every refused request of a person is logged; the schedule's and the
        // management server's, which come again and again, once.
        if (cause == SwitchCause::Operator || cause == SwitchCause::Api) r.refused_.reset();
        const std::optional<SourceEntry> entry = Playable(station, number);
        if (!entry) {
            Refuse(station, number);
            return false;
        }
        if (r.failoverActive()) {
            // The backup stays until the chosen source passes its check.
            r.refused_.reset();
            if (r.selected_ != SourceOf(number, *entry)) {
                r.playFailures_ = 0;
                EndRestartRun(station);
            }
            r.selected_ = SourceOf(number, *entry);
            NewCount(r, r.failover_ == FailoverState::LastResort ? FailoverState::LastResort
                                                                 : FailoverState::Failover);
            return true;
        }
        const AirSource chosen = SourceOf(number, *entry);
        if (cause == SwitchCause::Schedule && r.everOnAir() && !r.restartPending_ && r.source_ == chosen) {
            r.selected_ = chosen;
            return true;
        }
        return Switch(station, number, cause).has_value();
    }

    static void Failed(Station& station, const AirSource& tested, std::string_view reason, bool silence) {
        OnAirRecord& r = Of(station);
        if (tested != SourceUnderTest(station)) return;
        r.failedChecks_ = static_cast<int16_t>(std::min(r.failedChecks_ + 1, 3));
        switch (r.failover_) {
            case FailoverState::Normal:
                r.failover_ = FailoverState::Suspect;
                break;
            case FailoverState::Suspect:
                StartFailover(station, tested, reason, silence);
                break;
            case FailoverState::Returning:
                // It failed again before the switch back: the backup stays.
                r.failover_ = FailoverState::Failover;
                break;
            case FailoverState::Failover:
            case FailoverState::LastResort:
                break;
        }
    }

    static void StartFailover(Station& station, const AirSource& failed, std::string_view reason,
                              bool silence) {
        OnAirRecord& r = Of(station);
        r.failover_ = FailoverState::Failover;
        r.selected_ = failed;
        // A backup that plays the failed stream is no backup.
        const std::optional<SourceEntry> backup = Playable(station, "0");
        const bool backupStandsIn = backup && failed.number != 0 && backup->url != failed.url;
        r.backup_ = backupStandsIn ? SourceOf("0", *backup) : AirSource{};
        r.backupFailures_ = 0;
        const StandIn standIn = backupStandsIn                               ? StandIn::Backup
                                : !station.settings().LastResortFile.empty() ? StandIn::LastResort
                                                                             : StandIn::None;
        // The fast mode lets the stand-in overlap the player that still plays
        // its buffer; otherwise the failing player stops now. Without a
        // stand-in it plays on: a failing stream beats none.
        if (!station.settings().FastFailover && standIn != StandIn::None) StopAll(station);
        station.listener->failoverStarted({failed, std::string(reason), silence, standIn});
    }

    static void Passed(Station& station, const AirSource& tested) {
        OnAirRecord& r = Of(station);
        if (tested != SourceUnderTest(station)) return;
        r.failedChecks_ = 0;
        if (r.failover_ == FailoverState::Suspect) r.failover_ = FailoverState::Normal;
        if (r.failover_ == FailoverState::Failover || r.failover_ == FailoverState::LastResort)
            r.failover_ = FailoverState::Returning;
    }

    // During a failover: the backup, else the last resort file, stands in;
    // with neither the failing source is restarted when it must be.
    static void PutStandInOn(Station& station) {
        OnAirRecord& r = Of(station);
        if (!r.backup_.url.empty()) {
            if (r.source_.number != 0 || r.lastResort_ || !r.everOnAir())
                Switch(station, "0", SwitchCause::Failover);
            else if (r.restartPending_ && MayRestartNow(station))
                Switch(station, "0", SwitchCause::Restart);
        } else if (!station.settings().LastResortFile.empty()) {
            // Without a backup the last resort stands in at once.
            EnterLastResort(station, r.selected_.number == 0 ? "the backup failed" : "there is no backup");
            PlayLastResort(station);
        } else if (r.restartPending_ && MayRestartNow(station)) {
            // Nothing stands in: the failing source plays on.
            Switch(station, std::to_string(r.source_.number), SwitchCause::Restart);
        }
    }

    static void Automatic(Station& station, int16_t startChoice) {
        OnAirRecord& r = Of(station);
        switch (r.failover_) {
            case FailoverState::Failover:
                PutStandInOn(station);
                return;
            case FailoverState::LastResort:
                if (!r.lastResort_ || (r.restartPending_ && MayRestartNow(station))) PlayLastResort(station);
                return;
            case FailoverState::Returning:
                // A source whose player could not play is tried again as a
                // restart is: held once it failed again and again.
                if (r.playFailures_ > 0) {
                    if (MayRestartNow(station))
                        Switch(station, std::to_string(r.selected_.number), SwitchCause::Return);
                    else if (r.source_ == r.selected_ && !r.lastResort_)
                        PutStandInOn(station);  // meanwhile, for its player is gone
                    return;
                }
                // A source that stayed on air for want of a stand-in is not
                // started again.
                if (r.source_ == r.selected_ && !r.lastResort_ && !r.restartPending_) {
                    NewCount(r, FailoverState::Normal);
                    station.listener->returned(r.source_);
                    return;
                }
                Switch(station, std::to_string(r.selected_.number), SwitchCause::Return);
                return;
            case FailoverState::Normal:
            case FailoverState::Suspect:
                if (!r.everOnAir())
                    Select(station, std::to_string(startChoice), SwitchCause::Schedule);
                else if (r.restartPending_ && MayRestartNow(station))
                    Switch(station, std::to_string(r.source_.number), SwitchCause::Restart);
                return;
        }
    }

    // The backup on air (or, in the last resort, the backup's stream) was
    // heard: its second failure in a row brings on the last resort, a pass
    // during the last resort brings the backup back.
    static void BackupHeard(Station& station, bool passed, std::string_view why) {
        OnAirRecord& r = Of(station);
        if (r.failover_ == FailoverState::LastResort) {
            if (passed && !r.backup_.url.empty()) {
                r.failover_ = FailoverState::Failover;
                r.backupFailures_ = 0;
            }
            return;
        }
        if (r.failover_ != FailoverState::Failover || r.source_.number != 0) return;
        r.backupFailures_ = passed ? 0 : static_cast<int16_t>(std::min(r.backupFailures_ + 1, 3));
        if (r.backupFailures_ >= 2 && !station.settings().LastResortFile.empty())
            EnterLastResort(station, "the backup failed too: " + std::string(why));
    }

    static void EnterLastResort(Station& station, const std::string& why) {
        OnAirRecord& r = Of(station);
        r.failover_ = FailoverState::LastResort;
        AddToAirLog(station, "  SYS - LAST RESORT: " + std::string(CutAtCharacter(why, 120)),
                    LogPriority::Warning);
    }

    // The last resort file, in a loop, on the other slot; the old player
    // stops once it plays, as at every switch.
    static void PlayLastResort(Station& station) {
        OnAirRecord& r = Of(station);
        const std::string& file = station.settings().LastResortFile;
        const AirSource from = r.restartPending_ || r.slot_ == 0 ? AirSource{} : r.source_;
        const int16_t newSlot = r.slot_ == 1 ? 2 : 1;
        if (r.overlapSlot_ == newSlot) StopPlayer(station, newSlot);
        StartPlayer(station, newSlot, file, PlayerInput::LoopedFile);
        r.overlapSlot_ = newSlot == 1 ? 2 : 1;
        r.overlapStarted_ = station.clock.monotonicSeconds();
        station.timers.start(TimerName::SwitchOverlap);
        r.source_ = AirSource{-1, "LAST RESORT", file};
        r.lastResort_ = true;
        r.slot_ = newSlot;
        r.cause_ = SwitchCause::Failover;
        r.since_ = station.clock.now().epoch;
        r.restartPending_ = false;
        Show(station);
        station.listener->switched({from, r.source_, newSlot, SwitchCause::Failover});
        station.listener->lastResort(r.source_);
    }

    static void Restart(Station& station) {
        OnAirRecord& r = Of(station);
        if (!r.everOnAir() || r.restartPending_) return;
        r.restartPending_ = true;
        station.listener->playerRestarted(r.source_);
    }

    static bool FromScratch(Station& station) {
        OnAirRecord& r = Of(station);
        if (!r.everOnAir()) return false;
        // In the last resort the source it stands in for restarts: the
        // backup, else the selected source.
        const AirSource& base = !r.lastResort_ ? r.source_ : !r.backup_.url.empty() ? r.backup_ : r.selected_;
        if (base.number < 0) return false;
        const std::string number = std::to_string(base.number);
        // A source without a playable URL now restarts the URL it had.
        const std::optional<SourceEntry> entry = Playable(station, number);
        const AirSource from = r.restartPending_ ? AirSource{} : r.source_;
        r.source_ = entry ? SourceOf(number, *entry) : base;
        r.lastResort_ = false;

        StopAll(station);
        RemoveFile(station.file("mplayer.log"));
        // Kept on air across starts, the now-playing files are replaced, never removed.
        if (!station.settings().KeepAirOnStart)
            for (const char* name : {"metadata.txt", "metaextra.txt"}) RemoveFile(station.file(name));
        StartPlayer(station, 1, r.source_.url);

        r.slot_ = 1;
        r.cause_ = SwitchCause::Operator;
        r.since_ = station.clock.now().epoch;
        r.restartPending_ = false;
        r.refused_.reset();
        r.selected_ = r.source_;
        r.playFailures_ = 0;
        NewCount(r, FailoverState::Normal);
        Show(station);
        station.listener->switched({from, r.source_, 1, SwitchCause::Operator});
        return true;
    }

    static void StopAll(Station& station) {
        StopPlayers(station);
        Of(station).overlapSlot_ = 0;
        station.timers.stop(TimerName::SwitchOverlap);
    }

    static void Overlap(Station& station) {
        OnAirRecord& r = Of(station);
        if (r.overlapSlot_ == 0) {
            station.timers.stop(TimerName::SwitchOverlap);
            return;
        }
        const double elapsed = station.clock.monotonicSeconds() - r.overlapStarted_;
        if (elapsed < kOverlapSeconds) return;
        const std::string name = PlayerName(r.slot_);
        const bool plays = PlayerHasStarted(station, r.slot_);
        bool ended = false;
        if (!plays) {
            const std::optional<bool> running = station.processes.isRunning(name);
            ended = running == false;
            if (!ended && elapsed < kOverlapLongestSeconds) return;
            AddToAirLog(station, "  SYS - NEW PLAYER " + name + (ended ? " ENDED" : " SILENT") +
                                     " BEFORE PLAYING (SOURCE " + std::to_string(r.source_.number) +
                                     ") - OLD PLAYER STOPPED");
        }
        const int16_t old = r.overlapSlot_;
        r.overlapSlot_ = 0;
        station.timers.stop(TimerName::SwitchOverlap);
        // Its log stays until the slot starts again, then as ".log.1".
        StopPlayer(station, old);
        if (!plays) {
            PlayFailed(station, ended);
        } else {
            if (r.source_ == r.selected_) r.playFailures_ = 0;
            if (r.cause_ == SwitchCause::Restart || r.cause_ == SwitchCause::Return)
                RestartedPlayerPlays(station);
        }
    }

    // The last line the slot's player wrote: often why it could not play.
    static std::string LastLine(const Station& station, int slot) {
        const std::optional<std::string> tail = ReadFileTail(station.file(PlayerName(slot) + ".log"), 2048);
        std::string last;
        if (tail)
            ForEachLine(*tail, [&](std::string_view line) {
                if (line.find_first_not_of(" \t") != std::string_view::npos) last = line;
            });
        return last.empty() ? "nothing in its log" : last.substr(0, 100);
    }

    // A new player ended, or stayed silent, before it played. The first time
    // it is started again at once (not after the watchdog found both players
    // gone); the second time in a row the source has failed as after two
    // failed checks: the backup takes over, and the source is tried again
    // once its check passes. A backup that cannot play counts as a backup
    // heard to fail.
    static void PlayFailed(Station& station, bool ended) {
        OnAirRecord& r = Of(station);
        const std::string why = std::string("the player cannot play it (") + (ended ? "ended" : "silent") +
                                " before playing, twice in a row): " + LastLine(station, r.slot_);
        // A stream heard to be dead or stalled is the checks' to judge: the
        // player is not to blame, and without the health check nothing fails
        // over.
        const AirSound heard = HearSource(station, r.source_.url).sound;
        const bool playerToBlame =
            WatchesAir(station) && heard != AirSound::Dead && heard != AirSound::Stalled;
        if (playerToBlame && r.failover_ == FailoverState::Failover && r.source_.number == 0 &&
            !r.lastResort_) {
            BackupHeard(station, false, why);
        } else if (playerToBlame && !r.lastResort_ && r.source_ == r.selected_ && !r.failoverActive()) {
            r.playFailures_ = static_cast<int16_t>(std::min(r.playFailures_ + 1, 3));
            if (r.playFailures_ >= 2) {
                StartFailover(station, r.source_, why, false);
                // Its first try waits as the next restart would (a try that
                // fails counts already).
                if (r.playFailures_ == 2) CountRestart(station);
                // Without a stand-in it is started again (held, see
                // restart_hold); else the event tick puts the stand-in on.
                if (r.backup_.url.empty() && station.settings().LastResortFile.empty()) Restart(station);
                return;
            }
        }
        Restart(station);
    }
};

std::optional<SourceEntry> SwitchSource(Station& station, std::string_view number, SwitchCause cause) {
    return OnAirWriter::Switch(station, number, cause);
}

bool SelectSource(Station& station, std::string_view number, SwitchCause cause) {
    return OnAirWriter::Select(station, number, cause);
}

void KeepPlayerOnAir(Station& station, int16_t slot, const AirSource& source, int16_t leftover) {
    OnAirWriter::Keep(station, slot, source, leftover);
}

void MakeAutomaticSwitches(Station& station, int16_t startChoice) {
    OnAirWriter::Automatic(station, startChoice);
}

AirSource SourceUnderTest(const Station& station) {
    const OnAirRecord& r = station.onAir;
    return r.failoverActive() ? r.selected() : r.source();
}

void SourceCheckFailed(Station& station, const AirSource& tested, std::string_view reason, bool silence) {
    OnAirWriter::Failed(station, tested, reason, silence);
}

void SourceCheckPassed(Station& station, const AirSource& tested) {
    OnAirWriter::Passed(station, tested);
}

void RequestRestart(Station& station) {
    OnAirWriter::Restart(station);
}

bool RestartFromScratch(Station& station) {
    return OnAirWriter::FromScratch(station);
}

void StopAllPlayers(Station& station) {
    OnAirWriter::StopAll(station);
}

void BackupHeard(Station& station, bool passed, std::string_view why) {
    OnAirWriter::BackupHeard(station, passed, why);
}

void tmrSwitchOverlap_Timer(Station& station) {
    OnAirWriter::Overlap(station);
}

}  // namespace bf
