#include "sources/health_check.h"

#include <algorithm>

#include "core/check_record.h"
#include "core/station.h"
#include "core/station_log.h"
#include "sources/air_hearing.h"
#include "sources/on_air.h"

namespace bf {

namespace {

bool Fast(const Settings& s) {
    return s.FastFailover;
}

// Whether the station switches by itself (automatic mode).
bool InAutomaticMode(const Station& station) {
    return station.schedule.mode == Mode::Automatic;
}

}  // namespace

// The one writer of the check's record.
struct CheckWriter {
    static CheckRecord& Of(Station& station) { return station.check; }

    static void Reset(Station& station, bool checking) {
        CheckRecord& r = Of(station);
        r.verdict_ = checking ? CheckVerdict::Waiting : CheckVerdict::Off;
        r.tested_.reset();
        r.address_.clear();
        r.checkedAt_.reset();
    }

    static void Note(Station& station, CheckNote note) { Of(station).note_ = std::move(note); }

    // A check of `tested` begins now.
    static void Begin(Station& station, const AirSource& tested) {
        CheckRecord& r = Of(station);
        r.checkedAt_ = station.clock.now();
        if (tested.number == -1) return;  // nothing has been on air yet
        r.tested_ = tested;
        r.address_ = StreamAddress(tested.url);
    }

    static void Failed(Station& station, const AirSource& tested, std::string_view why, bool silence) {
        CheckRecord& r = Of(station);
        SourceCheckFailed(station, tested, why, silence);
        const int16_t count = static_cast<int16_t>(std::min(r.failuresInARow(station.onAir) + 1, 3));
        r.failures_ = count;
        r.countedIn_ = station.onAir.countsBegun();
        r.lastPassed_ = false;
        if (count == 1) {
            r.verdict_ = CheckVerdict::FirstFailure;
            AddToAirLog(station, "  SYS - SERVER OR LINK FAILURE - FIRST CHECK");
        }
        if (count == 2) {
            r.verdict_ = CheckVerdict::Failure;
            r.failedAt_ = station.clock.now();
            AddToAirLog(station, "  SYS - SERVER OR LINK FAILURE");
        }
    }

    static void Passed(Station& station, const AirSource& tested) {
        CheckRecord& r = Of(station);
        if (r.verdict_ != CheckVerdict::Online) AddToAirLog(station, "  SYS - SELECTED SOURCE ONLINE");
        r.verdict_ = CheckVerdict::Online;
        r.lastPassed_ = true;
        r.failures_ = 0;
        r.note_ = {CheckNote::Kind::Passed, {}, 0, {}};
        // During a failover the event tick switches back to the selected
        // source. Outside failover the source never went off air, and its
        // player is left alone.
        SourceCheckPassed(station, tested);
    }
};

int SourceCheckPeriodMs(const Settings& state) {
    return Fast(state) ? kFastSourceCheckPeriodMs : kSourceCheckPeriodMs;
}

int SourceCheckTimeoutMs(const Settings& state) {
    return Fast(state) ? kFastSourceCheckTimeoutMs : kSourceCheckTimeoutMs;
}

void ResetHealthCheck(Station& station, bool checking) {
    CheckWriter::Reset(station, checking);
}

void NoteForcedRestart(Station& station, std::string_view url) {
    CheckWriter::Note(station, {CheckNote::Kind::Restarted, std::string(url), 0, {}});
}

bool Judge(Station& station, const AirSource& tested, Verdict verdict, std::string_view why, bool silence,
           std::optional<double> waited) {
    // The server's answer comes after other handlers ran: the source under
    // test may have changed meanwhile.
    if (tested != SourceUnderTest(station)) return false;
    static constexpr HealthCheckResult kCounted[] = {HealthCheckResult::Passed, HealthCheckResult::Failed,
                                                     HealthCheckResult::NoVerdict};
    station.counters.countHealthCheck(kCounted[static_cast<int>(verdict)], waited, station.clock.now().epoch);
    if (verdict == Verdict::Passed) CheckWriter::Passed(station, tested);
    if (verdict == Verdict::Failed) CheckWriter::Failed(station, tested, why, silence);
    return true;
}

namespace {

// A success status passes, an error status fails. No answer at all fails,
// unless the management link was busy meanwhile: then it says more about
// our own line than about the server, and gives no verdict.
Verdict VerdictOf(const HttpResult& result, bool managementBusy) {
    if (result.ok() && result.status != 0)
        return result.status >= 200 && result.status < 300 ? Verdict::Passed : Verdict::Failed;
    return managementBusy ? Verdict::None : Verdict::Failed;
}

bool Fails(const AirReading& air) {
    return air.sound == AirSound::Stalled || air.sound == AirSound::Dead || air.sound == AirSound::Silent;
}

// The backup on air during a failover is heard too: it may fail in turn.
void HearBackup(Station& station) {
    const OnAirRecord& onAir = station.onAir;
    if (!onAir.failoverActive() || onAir.backup().url.empty()) return;
    const AirReading backup = HearSource(station, onAir.backup().url);
    if (backup.sound == AirSound::Moving) BackupHeard(station, true, {});
    if (Fails(backup)) BackupHeard(station, false, StreamAddress(onAir.backup().url) + ": " + backup.why);
}

// A pass of the selected source during a failover asks for its return; while
// its stream has not yet flowed steadily for ReturnHoldSeconds (what flows
// may be the burst of a server that still hangs) the pass waits.
bool ReturnHeld(const Station& station, const AirSource& tested) {
    const FailoverState state = station.onAir.failover();
    return (state == FailoverState::Failover || state == FailoverState::LastResort) &&
           ReturnWaitsForFlow(station, tested.url);
}

// A stream that moves but has not yet flowed steadily may be the burst a
// stalled server hands the monitor's new connection: it passes nothing.
bool MovesOnlyJustNow(const Station& station, const AirSource& tested, const AirReading& heard) {
    return heard.sound == AirSound::Moving && FlowingFor(station, tested.url) < kSteadySeconds;
}

// A failover or a return that a verdict asked for is made at once in
// automatic mode, not at the event tick's next second.
void SwitchNowIfAutomatic(Station& station, FailoverState before) {
    if (station.onAir.failover() == before || !InAutomaticMode(station)) return;
    MakeAutomaticSwitches(station, station.onAir.source().number);
}

// The server's answer for `tested`, `waited` seconds after the question.
void Answered(Station& station, const AirSource& tested, const HttpResult& result, double waited) {
    const FailoverState before = station.onAir.failover();
    Verdict verdict = VerdictOf(result, station.Inet1.busy());
    // A server that answers while its stream stands still, or is silent,
    // fails all the same.
    std::string why = result.ok() ? "HTTP " + std::to_string(result.status) : result.errorText;
    const AirReading heard = HearSource(station, tested.url);
    bool silence = false;
    if (verdict != Verdict::Failed && Fails(heard)) {
        verdict = Verdict::Failed;
        why = heard.why;
        silence = heard.sound == AirSound::Silent;
    }
    if (verdict == Verdict::Passed && MovesOnlyJustNow(station, tested, heard)) verdict = Verdict::None;
    // A server that answers for a stream that has not yet flowed for the
    // hold: the monitor's ticks make the return once it has.
    const bool held = verdict == Verdict::Passed && ReturnHeld(station, tested);
    const std::string address = StreamAddress(tested.url);
    if (!Judge(station, tested, held ? Verdict::None : verdict, address + ": " + why, silence, waited))
        return;
    if (held) station.air.returnAwaitsFlow = address;
    if (verdict == Verdict::Failed) station.air.returnAwaitsFlow.clear();
    // A failed request is shown; one that timed out is cancelled so that the
    // next check starts clean.
    if (!result.ok()) {
        CheckWriter::Note(
            station, {CheckNote::Kind::RequestFailed, result.errorText, result.error, station.clock.now()});
        if (result.error == HttpError::StillExecuting || result.error == HttpError::TimedOut)
            station.InetTestURL.cancel();
    }
    SwitchNowIfAutomatic(station, before);
}

}  // namespace

bool HearsInsteadOfAsking(const Station& station) {
    // A stream the monitor cannot hear is asked about as in the default mode.
    return Fast(station.settings()) && HearsStream(station, SourceUnderTest(station).url);
}

void HearingCheck(Station& station) {
    const AirSource tested = SourceUnderTest(station);
    CheckWriter::Begin(station, tested);
    if (tested.number == -1) return;
    const FailoverState before = station.onAir.failover();
    HearBackup(station);
    const AirReading air = HearSource(station, tested.url);
    Verdict verdict = air.sound == AirSound::Moving ? Verdict::Passed
                      : Fails(air)                  ? Verdict::Failed
                                                    : Verdict::None;
    if (verdict == Verdict::Passed && (ReturnHeld(station, tested) || MovesOnlyJustNow(station, tested, air)))
        verdict = Verdict::None;
    Judge(station, tested, verdict, StreamAddress(tested.url) + ": " + air.why,
          air.sound == AirSound::Silent);
    SwitchNowIfAutomatic(station, before);
}

void ListeningCheck(Station& station) {
    const AirSource tested = SourceUnderTest(station);
    if (tested.number == -1) return;
    const std::string address = StreamAddress(tested.url);
    const FailoverState before = station.onAir.failover();
    std::string& awaited = station.air.returnAwaitsFlow;
    const AirReading air = HearSource(station, tested.url);
    if (air.sound == AirSound::Silent && !station.onAir.failoverActive()) {
        awaited.clear();
        Judge(station, tested, Verdict::Failed, address + ": " + air.why, true);
    } else if (!awaited.empty() && (awaited != address || !station.onAir.failoverActive() || Fails(air))) {
        awaited.clear();
    } else if (!awaited.empty() && !ReturnHeld(station, tested)) {
        awaited.clear();
        CheckWriter::Passed(station, tested);
    }
    SwitchNowIfAutomatic(station, before);
}

void tmrSourceCheck_Timer(Station& station) {
    // The fast mode listens to the stream all the time instead of asking
    // the server every second: the air monitor's ticks decide (HearingCheck).
    if (HearsInsteadOfAsking(station)) return;
    const AirSource tested = SourceUnderTest(station);
    CheckWriter::Begin(station, tested);
    if (tested.number == -1) return;
    const FailoverState before = station.onAir.failover();
    HearBackup(station);
    SwitchNowIfAutomatic(station, before);

    // A request of the check before that still runs gets no answer.
    if (station.InetTestURL.busy()) station.InetTestURL.cancel();
    station.InetTestURL.setTimeoutMs(SourceCheckTimeoutMs(station.settings()));
    const double began = station.clock.monotonicSeconds();
    station.InetTestURL.getHeaders(
        StreamAddress(tested.url), [&station, tested, began](const HttpResult& result) {
            Answered(station, tested, result, station.clock.monotonicSeconds() - began);
        });
}

}  // namespace bf
