#include "sources/health_check.h"

#include <algorithm>

#include "core/station.h"
#include "core/station_log.h"
#include "core/time_format.h"
#include "sources/player_control.h"

namespace bf {

namespace {

constexpr const char* kOnline = "SELECTED SOURCE ONLINE";

// Fetches the server root. A failed fetch leaves the reply empty and shows
// its error; a fetcher stuck on an earlier request or timed out is cancelled
// so that the next check starts clean.
std::string FetchServerRoot(Station& station, const std::string& root) {
    station.InetTestURL.setTimeoutMs(kSourceCheckTimeoutMs);
    const HttpResult result = station.InetTestURL.fetch(root);
    if (result.ok()) return result.body;
    station.console.lblDebug.caption =
        result.errorText + ": " + FormatTime(station.clock.now()) + " / " + std::to_string(result.error);
    if (result.error == HttpError::StillExecuting || result.error == HttpError::TimedOut)
        station.InetTestURL.cancel();
    return {};
}

// The number of the source selected for air. While the watchdog's restart
// request is pending (the player died with its server, so it usually is by
// the second failed check) the number waits in WasPlaying and CurrentSource
// is -1: storing that -1 would make the return after failover forget the
// source and fall back to the schedule's choice.
int16_t SelectedSource(const StationState& s) {
    return s.CurrentSource == -1 && s.WasPlaying != -1 ? s.WasPlaying : s.CurrentSource;
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
        StopPlayers(station);
    }
}

void CheckPassed(Station& station) {
    StationState& s = station.state;
    ConsoleModel& c = station.console;
    if (c.lblFailText.caption != kOnline) AddToAirLog(station, "  SYS - SELECTED SOURCE ONLINE");
    c.lblFail.backColour = Colour::Green;
    c.lblFailText.caption = kOnline;
    c.lblDebug.caption.clear();
    if (s.LinkFailCount != 0) {
        // Restore: with no player left the watchdog asks for a restart, and
        // the event tick starts the stored source again.
        c.lblCurrentSource.caption = s.LinkStoredSource;
        station.counters.returnPending = s.SilenceFlag != 0;
        s.SilenceFlag = 0;
        s.LinkFailCount = 0;
        s.WasPlaying = s.LinkSource;
        s.CurrentSource = s.LinkSource;
        StopPlayers(station);
    }
}

}  // namespace

std::string ServerRoot(std::string_view url) {
    std::string root;
    int slashes = 0;
    for (const char c : url) {
        if (c == '/') ++slashes;
        if (slashes >= 3) break;
        root.push_back(c);
    }
    root.push_back('/');
    return root;
}

void tmrSourceCheck_Timer(Station& station) {
    StationState& s = station.state;
    ConsoleModel& c = station.console;

    c.lblFailCheckTime.caption = FormatTime(station.clock.now());

    // During failover the source that failed is tested, not the backup on air.
    std::string url;
    if (s.SilenceFlag == 0) {
        s.LinkStoredSource = c.lblCurrentSource.caption;
        s.LinkSource = SelectedSource(s);
        url = c.lblCurrentSource.caption;
    } else {
        url = s.LinkStoredSource;
    }

    const std::string root = ServerRoot(url);
    c.lblFailURL.caption = root;

    // An older check may still wait for its reply: it then returns empty.
    if (station.InetTestURL.busy()) station.InetTestURL.cancel();
    const std::string response = FetchServerRoot(station, root);

    // Other handlers run during the fetch. An empty reply while the
    // management link is busy says more about our line than the server.
    const bool failed = !station.Inet1.busy() && response.empty();
    if (failed)
        CheckFailed(station);
    else
        CheckPassed(station);
}

}  // namespace bf
