#include "sources/health_check.h"

#include <algorithm>

#include "core/station.h"
#include "core/station_log.h"
#include "core/time_format.h"
#include "sources/player_control.h"

namespace bf {

namespace {

constexpr const char* kOnline = "SELECTED SOURCE ONLINE";

enum class Verdict { Passed, Failed, None };

bool Fast(const StationState& s) {
    return s.FastFailover == "1";
}

// The source whose stream the check asks for: the one on air, or during
// failover the one to return to (not the backup on air).
const std::string& SourceUnderTest(const Station& station) {
    return station.state.SilenceFlag == 0 ? station.console.lblCurrentSource.caption
                                          : station.state.LinkStoredSource;
}

// The number of the source selected for air. While the watchdog's restart
// request is pending (the player died with its server, so it usually is by
// the second failed check) the number waits in WasPlaying and CurrentSource
// is -1: storing that -1 would make the return after failover forget the
// source and fall back to the schedule's choice.
int16_t SelectedSource(const StationState& s) {
    return s.CurrentSource == -1 && s.WasPlaying != -1 ? s.WasPlaying : s.CurrentSource;
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

void CheckFailed(Station& station) {
    StationState& s = station.state;
    ConsoleModel& c = station.console;
    s.LinkFailCount = static_cast<int16_t>(std::min<int>(s.LinkFailCount + 1, 3));
    c.lblFail.backColour = Colour::Red;
    if (s.LinkFailCount == 1) {
        c.lblFailText.caption = "SERVER OR LINK FAILURE - FIRST CHECK";
        AddToAirLog(station, "  SYS - SERVER OR LINK FAILURE - FIRST CHECK");
    }
    if (s.LinkFailCount == 2) {
        c.lblFailText.caption = "SERVER OR LINK FAILURE at " + FormatTime(station.clock.now());
        AddToAirLog(station, "  SYS - SERVER OR LINK FAILURE");
    }
    if (s.LinkFailCount == 2 && s.SilenceFlag == 0) {
        // Failover: the event tick puts the backup on air once it sees the
        // flag; this check keeps testing the failed source meanwhile.
        c.lblRXmetadata.caption = s.DefaultStrapline;
        s.RXmetadata = s.DefaultStrapline;
        s.LinkStoredSource = c.lblCurrentSource.caption;
        s.LinkSource = SelectedSource(s);
        s.SilenceFlag = 1;
        // The fast mode lets the switch overlap the backup with the player
        // that still plays its buffer.
        if (!Fast(s)) StopPlayers(station);
    }
}

void CheckPassed(Station& station) {
    StationState& s = station.state;
    ConsoleModel& c = station.console;
    if (c.lblFailText.caption != kOnline) AddToAirLog(station, "  SYS - SELECTED SOURCE ONLINE");
    c.lblFail.backColour = Colour::Green;
    c.lblFailText.caption = kOnline;
    c.lblDebug.caption.clear();
    // Return: the event tick switches back to the selected source, which
    // starts before the backup stops. Outside failover the source never
    // went off air, and its player is left alone.
    if (s.SilenceFlag != 0) {
        station.counters.returnPending = true;
        s.SilenceFlag = 0;
        s.WasPlaying = s.LinkSource;
    }
    s.LinkFailCount = 0;
}

}  // namespace

std::string StreamAddress(std::string_view url) {
    // The player gets the URL split at blanks; the stream is the first part
    // that names a scheme (others are options), else the first part.
    std::string_view first;
    size_t at = 0;
    while (at < url.size()) {
        const size_t start = url.find_first_not_of(' ', at);
        if (start == std::string_view::npos) break;
        const size_t end = std::min(url.find(' ', start), url.size());
        const std::string_view part = url.substr(start, end - start);
        if (part.find("://") != std::string_view::npos) return std::string(part);
        if (first.empty()) first = part;
        at = end;
    }
    return std::string(first);
}

int SourceCheckPeriodMs(const StationState& state) {
    return Fast(state) ? kFastSourceCheckPeriodMs : kSourceCheckPeriodMs;
}

int SourceCheckTimeoutMs(const StationState& state) {
    return Fast(state) ? kFastSourceCheckTimeoutMs : kSourceCheckTimeoutMs;
}

void ReturnAfterFailoverTo(Station& station, int16_t number) {
    StationState& s = station.state;
    if (s.SilenceFlag == 0 || number == s.LinkSource) return;
    const std::string digit = std::to_string(number);
    const std::optional<SourceEntry> entry = PlayableSource(station, digit);
    if (!entry) {
        RefuseSwitch(station, digit);
        return;
    }
    s.LinkSource = number;
    s.LinkStoredSource = entry->url;
}

void tmrSourceCheck_Timer(Station& station) {
    StationState& s = station.state;
    ConsoleModel& c = station.console;

    c.lblFailCheckTime.caption = FormatTime(station.clock.now());

    if (s.SilenceFlag == 0) {
        s.LinkStoredSource = c.lblCurrentSource.caption;
        s.LinkSource = SelectedSource(s);
    }
    const std::string source = SourceUnderTest(station);
    const std::string address = StreamAddress(source);
    c.lblFailURL.caption = address;

    // An older check may still wait for its reply: it then gets none.
    if (station.InetTestURL.busy()) station.InetTestURL.cancel();
    station.InetTestURL.setTimeoutMs(SourceCheckTimeoutMs(s));
    const HttpResult result = station.InetTestURL.fetchHeaders(address);

    // Other handlers run during the fetch. A newer check that took over, or
    // a switch to another source, makes this reply stale: it is dropped.
    if (result.error == HttpError::Cancelled || SourceUnderTest(station) != source) return;

    if (!result.ok()) ShowError(station, result);
    switch (VerdictOf(result, station.Inet1.busy())) {
        case Verdict::Passed:
            CheckPassed(station);
            break;
        case Verdict::Failed:
            CheckFailed(station);
            break;
        case Verdict::None:
            break;
    }
}

}  // namespace bf
