#include "sources/health_check.h"

#include <algorithm>

#include "core/station.h"
#include "core/station_log.h"
#include "core/time_format.h"
#include "core/timer_names.h"
#include "sources/air_monitor.h"
#include "sources/on_air.h"

namespace bf {

namespace {

constexpr const char* kOnline = "SELECTED SOURCE ONLINE";

enum class Verdict { Passed, Failed, None };

bool Fast(const Settings& s) {
    return s.FastFailover;
}

// Shows a failed fetch's error; a fetcher stuck on an earlier request or
// timed out is cancelled so that the next check starts clean.
void ShowError(Station& station, const HttpResult& result) {
    station.console.lblDebug.caption =
        result.errorText + ": " + FormatTime(station.clock.now()) + " / " + std::to_string(result.error);
    if (result.error == HttpError::StillExecuting || result.error == HttpError::TimedOut)
        station.InetTestURL.cancel();
}

// A success status passes, an error status fails. No answer at all fails,
// unless the management link was busy meanwhile: then it says more about
// our own line than about the server, and gives no verdict.
Verdict VerdictOf(const HttpResult& result, bool managementBusy) {
    if (result.ok() && result.status != 0)
        return result.status >= 200 && result.status < 300 ? Verdict::Passed : Verdict::Failed;
    return managementBusy ? Verdict::None : Verdict::Failed;
}

void CheckFailed(Station& station, const AirSource& tested, const std::string& reason, bool silence = false) {
    ConsoleModel& c = station.console;
    SourceCheckFailed(station, tested, reason, silence);
    const int16_t count = station.onAir.LinkFailCount();
    c.lblFail.backColour = Colour::Red;
    if (count == 1) {
        c.lblFailText.caption = "SERVER OR LINK FAILURE - FIRST CHECK";
        AddToAirLog(station, "  SYS - SERVER OR LINK FAILURE - FIRST CHECK");
    }
    if (count == 2) {
        c.lblFailText.caption = "SERVER OR LINK FAILURE at " + FormatTime(station.clock.now());
        AddToAirLog(station, "  SYS - SERVER OR LINK FAILURE");
    }
}

void CheckPassed(Station& station, const AirSource& tested) {
    ConsoleModel& c = station.console;
    if (c.lblFailText.caption != kOnline) AddToAirLog(station, "  SYS - SELECTED SOURCE ONLINE");
    c.lblFail.backColour = Colour::Green;
    c.lblFailText.caption = kOnline;
    c.lblDebug.caption.clear();
    // During a failover the event tick now switches back to the selected
    // source, which starts before the backup stops. Outside failover the
    // source never went off air, and its player is left alone.
    SourceCheckPassed(station, tested);
}

}  // namespace

int SourceCheckPeriodMs(const Settings& state) {
    return Fast(state) ? kFastSourceCheckPeriodMs : kSourceCheckPeriodMs;
}

int SourceCheckTimeoutMs(const Settings& state) {
    return Fast(state) ? kFastSourceCheckTimeoutMs : kSourceCheckTimeoutMs;
}

namespace {

// The backup on air during a failover is heard too: it may fail in turn.
void HearBackup(Station& station) {
    const OnAirRecord& onAir = station.onAir;
    if (!onAir.failoverActive() || onAir.backup().url.empty()) return;
    const AirReading backup = HearSource(station, onAir.backup().url);
    if (backup.sound == AirSound::Moving) BackupHeard(station, true, {});
    if (backup.sound == AirSound::Stalled || backup.sound == AirSound::Dead ||
        backup.sound == AirSound::Silent)
        BackupHeard(station, false, StreamAddress(onAir.backup().url) + ": " + backup.why);
}

bool Fails(const AirReading& air) {
    return air.sound == AirSound::Stalled || air.sound == AirSound::Dead || air.sound == AirSound::Silent;
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
    if (station.onAir.failover() == before || !station.timers.running(TimerName::CheckAndDoEvents)) return;
    MakeAutomaticSwitches(station, station.onAir.source().number);
}

}  // namespace

bool HearsInsteadOfAsking(const Station& station) {
    // A stream the monitor cannot hear is asked about as in the default mode.
    return Fast(station.settings()) && HearsStream(station, SourceUnderTest(station).url);
}

void HearingCheck(Station& station) {
    ConsoleModel& c = station.console;
    const AirSource tested = SourceUnderTest(station);
    if (tested.number == -1) return;  // nothing has been on air yet
    c.lblFailCheckTime.caption = FormatTime(station.clock.now());
    const std::string address = StreamAddress(tested.url);
    c.lblFailURL.caption = address;
    const FailoverState before = station.onAir.failover();
    HearBackup(station);
    const AirReading air = HearSource(station, tested.url);
    Verdict verdict = air.sound == AirSound::Moving ? Verdict::Passed
                      : Fails(air)                  ? Verdict::Failed
                                                    : Verdict::None;
    if (verdict == Verdict::Passed && (ReturnHeld(station, tested) || MovesOnlyJustNow(station, tested, air)))
        verdict = Verdict::None;
    static constexpr HealthCheckResult kHeard[] = {HealthCheckResult::Passed, HealthCheckResult::Failed,
                                                   HealthCheckResult::NoVerdict};
    station.counters.countHealthCheck(kHeard[static_cast<int>(verdict)], std::nullopt,
                                      station.clock.now().epoch);
    if (verdict == Verdict::Passed) CheckPassed(station, tested);
    if (verdict == Verdict::Failed)
        CheckFailed(station, tested, address + ": " + air.why, air.sound == AirSound::Silent);
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
        station.counters.countHealthCheck(HealthCheckResult::Failed, std::nullopt, station.clock.now().epoch);
        CheckFailed(station, tested, address + ": " + air.why, true);
    } else if (!awaited.empty() && (awaited != address || !station.onAir.failoverActive() || Fails(air))) {
        awaited.clear();
    } else if (!awaited.empty() && !ReturnHeld(station, tested)) {
        awaited.clear();
        CheckPassed(station, tested);
    }
    SwitchNowIfAutomatic(station, before);
}

void tmrSourceCheck_Timer(Station& station) {
    // The fast mode listens to the stream all the time instead of asking
    // the server every second: the air monitor's ticks decide (HearingCheck).
    if (HearsInsteadOfAsking(station)) return;
    ConsoleModel& c = station.console;
    c.lblFailCheckTime.caption = FormatTime(station.clock.now());

    const AirSource tested = SourceUnderTest(station);
    if (tested.number == -1) return;  // nothing has been on air yet
    const std::string address = StreamAddress(tested.url);
    c.lblFailURL.caption = address;
    const FailoverState before = station.onAir.failover();
    HearBackup(station);

    // An older check may still wait for its reply: it then gets none.
    if (station.InetTestURL.busy()) station.InetTestURL.cancel();
    station.InetTestURL.setTimeoutMs(SourceCheckTimeoutMs(station.settings()));
    const double began = station.clock.monotonicSeconds();
    const HttpResult result = station.InetTestURL.fetchHeaders(address);
    const double waited = station.clock.monotonicSeconds() - began;

    // Other handlers run during the fetch. A newer check that took over, or
    // a switch to another source, makes this reply stale: it is dropped.
    if (result.error == HttpError::Cancelled || SourceUnderTest(station) != tested) return;

    if (!result.ok()) ShowError(station, result);
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
    if (verdict == Verdict::Passed && ReturnHeld(station, tested)) {
        station.air.returnAwaitsFlow = address;
        verdict = Verdict::None;
    }
    if (verdict == Verdict::Failed) station.air.returnAwaitsFlow.clear();
    static constexpr HealthCheckResult kCounted[] = {HealthCheckResult::Passed, HealthCheckResult::Failed,
                                                     HealthCheckResult::NoVerdict};
    station.counters.countHealthCheck(kCounted[static_cast<int>(verdict)], waited, station.clock.now().epoch);
    switch (verdict) {
        case Verdict::Passed:
            CheckPassed(station, tested);
            break;
        case Verdict::Failed:
            CheckFailed(station, tested, address + ": " + why, silence);
            break;
        case Verdict::None:
            break;
    }
    SwitchNowIfAutomatic(station, before);
}

}  // namespace bf
