#include "sources/health_check.h"

#include <optional>
#include <string>

#include "core/station.h"
#include "core/stream_address.h"
#include "sources/air_hearing.h"
#include "sources/on_air.h"

namespace bf {

// The one writer of the check's record.
struct CheckWriter {
    static void Reset(CheckRecord& r, bool checking) {
        r.verdict_ = checking ? CheckVerdict::Waiting : CheckVerdict::Off;
        r.tested_.reset();
        r.address_.clear();
        r.checkedAt_.reset();
    }

    static void Note(CheckRecord& r, CheckNote note) { r.note_ = std::move(note); }

    // A check of `tested` begins now.
    static void Begin(CheckRecord& r, const AirSource& tested, const LocalTime& now) {
        r.checkedAt_ = now;
        if (tested.number == -1) return;  // nothing has been on air yet
        r.tested_ = tested;
        r.address_ = StreamAddress(tested.url);
    }

    // The verdict as the failover counted it: `failures` in a row.
    static void Judged(CheckRecord& r, HealthCheckResult result, int16_t failures, const LocalTime& now) {
        if (result == HealthCheckResult::Passed) {
            r.verdict_ = CheckVerdict::Online;
            r.lastPassed_ = true;
            r.note_ = {CheckNote::Kind::Passed, {}, 0, {}};
        } else if (result == HealthCheckResult::Failed) {
            r.lastPassed_ = false;
            if (failures == 1) r.verdict_ = CheckVerdict::FirstFailure;
            if (failures == 2) {
                r.verdict_ = CheckVerdict::Failure;
                r.failedAt_ = now;
            }
        }
    }
};

int SourceCheckPeriodMs(const Settings& settings) {
    return settings.FastFailover ? kFastSourceCheckPeriodMs : kSourceCheckPeriodMs;
}

int SourceCheckTimeoutMs(const Settings& settings) {
    return settings.FastFailover ? kFastSourceCheckTimeoutMs : kSourceCheckTimeoutMs;
}

void ResetHealthCheck(CheckRecord& check, bool checking) {
    CheckWriter::Reset(check, checking);
}

void NoteForcedRestart(CheckRecord& check, std::string_view url) {
    CheckWriter::Note(check, {CheckNote::Kind::Restarted, std::string(url), 0, {}});
}

namespace {

using Kind = air::Verdict::Kind;

// A verdict on `tested` (the source under test when the check began) goes
// to the failover policy, which counts it; one on a source no longer under
// test is dropped (false). `waited`: the seconds the server took to answer,
// for a check that asked.
bool Judge(Station& station, const AirSource& tested, Kind kind, std::string_view why, bool silence,
           std::optional<double> waited = std::nullopt) {
    DeliveryScope scope(station.events, *station.listener);
    const Observed observed = Observe(
        station, air::Verdict{tested, kind, std::string(why), silence, EarsOf(station).flow(tested.url)});
    if (!observed.taken) return false;
    if (observed.judged) {
        CheckWriter::Judged(station.check, *observed.judged, station.onAir.checkFailures(),
                            station.clock.now());
        PostEvent(station, &StationListener::checked, CheckEvent{*observed.judged, waited});
    }
    return true;
}

// A success status passes, an error status fails. No answer at all fails,
// unless the management link was busy meanwhile: then it says more about
// our own line than about the server, and gives no verdict.
Kind KindOf(const HttpResult& result, bool managementBusy) {
    if (result.ok() && result.status != 0)
        return result.status >= 200 && result.status < 300 ? Kind::Passed : Kind::Failed;
    return managementBusy ? Kind::None : Kind::Failed;
}

// The backup on air during a failover is heard too: it may fail in turn.
void HearBackup(Station& station) {
    const OnAirRecord& onAir = station.onAir;
    if (!onAir.failoverActive() || onAir.backup().url.empty()) return;
    const Ears ears = EarsOf(station);
    const AirReading backup = ears.hear(onAir.backup().url);
    if (backup.sound == AirSound::Moving)
        Observe(station, air::BackupHeard{true, {}, ears.flow(onAir.backup().url)});
    else if (ears.fails(backup))
        Observe(station, air::BackupHeard{false, StreamAddress(onAir.backup().url) + ": " + backup.why, {}});
}

// The standby links are heard too: a failing one is passed over, a higher
// one that flows again steps up.
void HearStandbys(Station& station) {
    const Ears ears = EarsOf(station);
    for (const AirSource& link : StandbyLinks(station.workingFolder, station.settings(), station.onAir)) {
        const AirReading heard = ears.hear(link.url);
        if (heard.sound == AirSound::Moving)
            Observe(station, air::StandbyHeard{link, true, {}, ears.flow(link.url)});
        else if (ears.fails(heard))
            Observe(station, air::StandbyHeard{link, false, StreamAddress(link.url) + ": " + heard.why, {}});
    }
}

// A stream that moves but has not yet flowed steadily may be the burst a
// stalled server hands the monitor's new connection: it passes nothing.
bool MovesOnlyJustNow(const Ears& ears, const AirSource& tested, const AirReading& heard) {
    return heard.sound == AirSound::Moving && ears.flowingFor(tested.url) < kSteadySeconds;
}

// The server's answer for `tested`, `waited` seconds after the question.
void Answered(Station& station, const AirSource& tested, const HttpResult& result, double waited) {
    Kind kind = KindOf(result, station.Inet1.busy());
    // A server that answers while its stream stands still, or is silent,
    // fails all the same.
    std::string why = result.ok() ? "HTTP " + std::to_string(result.status) : result.errorText;
    const Ears ears = EarsOf(station);
    const AirReading heard = ears.hear(tested.url);
    bool silence = false;
    if (kind != Kind::Failed && ears.fails(heard)) {
        kind = Kind::Failed;
        why = heard.why;
        silence = heard.sound == AirSound::Silent;
    }
    if (kind == Kind::Passed && MovesOnlyJustNow(ears, tested, heard)) kind = Kind::None;
    if (!Judge(station, tested, kind, StreamAddress(tested.url) + ": " + why, silence, waited)) return;
    // A failed request is shown; one that timed out is cancelled so that the
    // next check starts clean.
    if (!result.ok()) {
        CheckWriter::Note(station.check, {CheckNote::Kind::RequestFailed, result.errorText, result.error,
                                          station.clock.now()});
        if (result.error == HttpError::TimedOut) station.InetTestURL.cancel();
    }
}

// Whether the check decides by what the air monitor hears: the fast mode,
// with a monitor that hears the stream under test (one it cannot hear is
// asked about as in the default mode).
bool HearsInsteadOfAsking(const Station& station) {
    return station.settings().FastFailover && EarsOf(station).hears(station.onAir.underTest().url);
}

void HearingCheck(Station& station) {
    const AirSource tested = station.onAir.underTest();
    CheckWriter::Begin(station.check, tested, station.clock.now());
    if (tested.number == -1) return;
    HearBackup(station);
    const Ears ears = EarsOf(station);
    const AirReading air = ears.hear(tested.url);
    Kind kind = air.sound == AirSound::Moving ? Kind::Passed : ears.fails(air) ? Kind::Failed : Kind::None;
    if (kind == Kind::Passed && MovesOnlyJustNow(ears, tested, air)) kind = Kind::None;
    Judge(station, tested, kind, StreamAddress(tested.url) + ": " + air.why, air.sound == AirSound::Silent);
}

void ListeningCheck(Station& station) {
    const AirSource tested = station.onAir.underTest();
    if (tested.number == -1) return;
    const Ears ears = EarsOf(station);
    const AirReading air = ears.hear(tested.url);
    const bool fails = ears.fails(air);
    const std::string why = StreamAddress(tested.url) + ": " + air.why;
    if (fails && !station.onAir.failoverActive())
        Judge(station, tested, Kind::Failed, why, air.sound == AirSound::Silent);
    else if (station.onAir.state().returnAwaitsFlow)
        Judge(station, tested, Kind::Hearing, fails ? why : std::string(), false);
}

}  // namespace

void CheckByEar(Station& station) {
    HearStandbys(station);
    if (HearsInsteadOfAsking(station))
        HearingCheck(station);
    else
        ListeningCheck(station);
}

void tmrSourceCheck_Timer(Station& station) {
    // The fast mode listens to the stream all the time instead of asking
    // the server every second: the air monitor's ticks decide (CheckByEar).
    if (HearsInsteadOfAsking(station)) return;
    const AirSource tested = station.onAir.underTest();
    CheckWriter::Begin(station.check, tested, station.clock.now());
    if (tested.number == -1) return;
    HearBackup(station);

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
