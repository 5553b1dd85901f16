#include "management/management_timers.h"

#include <string>
#include <string_view>

#include "core/file_trouble.h"
#include "core/station.h"
#include "core/station_log.h"
#include "core/text_decode.h"
#include "core/text_file.h"
#include "core/time_format.h"
#include "management/management_link.h"
#include "management/source_list_report.h"
#include "schedule/schedule_file.h"
#include "sources/on_air.h"

namespace bf {

namespace {

// Marks a download as running for the life of the guard.
class DownloadRunning {
public:
    explicit DownloadRunning(bool& flag) : flag_(flag) { flag_ = true; }
    ~DownloadRunning() { flag_ = false; }
    DownloadRunning(const DownloadRunning&) = delete;
    DownloadRunning& operator=(const DownloadRunning&) = delete;

private:
    bool& flag_;
};

// Fetches the schedule and puts it in place. Returns why that failed, or
// nothing when sourceevents.ini now holds the server's copy.
std::string DownloadSchedule(Station& station) {
    const std::string url = ManagementQuery(station, station.settings().ManagementURL);
    // The server is asked twice and the second answer counts.
    FetchOnInet1(station, url, ManagementTimeoutMs::Download);
    const Inet1Reply reply = FetchOnInet1(station, url, ManagementTimeoutMs::Download);
    if (!reply.failure.empty()) return reply.failure;
    if (reply.body.empty()) return "EMPTY REPLY";
    // A server's error page answered with status 200 is no schedule: it would
    // leave the station without one.
    const ParsedSchedule parsed = ParseSchedule(reply.body);
    if (!parsed.problems.empty())
        return "NOT A SCHEDULE, LINE " + std::to_string(parsed.problems.front().line) + ": " +
               std::string(CutAtCharacter(parsed.problems.front().message, 60));
    // Byte for byte, and whole or not at all: the schedule reader may look
    // at the file at any moment.
    if (!NoteFileWrite(station, "sourceevents.ini",
                       ReplaceFile(station.file("sourceevents.ini"), reply.body, Durability::Synced)))
        return "SCHEDULE FILE NOT WRITTEN";
    return {};
}

// The order in a poll reply: the reply without the line end and blanks that
// servers put after it.
std::string_view OrderOf(std::string_view reply) {
    const size_t end = reply.find_last_not_of(" \t\r\n");
    return end == std::string_view::npos ? std::string_view() : reply.substr(0, end + 1);
}

}  // namespace

void tmrManagementDownload_Timer(Station& station) {
    StationState& s = station.state;
    Label& status = station.console.lblConfigurationStatus;
    // A tick that comes while an earlier download still waits on Inet1 (other
    // handlers ran during its wait) would only cancel it.
    if (station.management.downloading) return;

    s.ManagementCounter = static_cast<int16_t>(s.ManagementCounter + 1);
    status.caption = "Countdown till config update: " +
                     std::to_string(station.settings().ManagementUpdate - s.ManagementCounter);
    if (s.ManagementCounter < station.settings().ManagementUpdate) return;

    const DownloadRunning running(station.management.downloading);
    status.caption = "Config update in progress...";
    const std::string failure = DownloadSchedule(station);
    const LocalTime now = station.clock.now();
    const std::string when = FormatTime(now) + " " + FormatDateYDM(now);
    if (failure.empty()) {
        status.caption = "Config updated " + when;
    } else {
        status.caption = "Config update failed " + when;
        // Once for a run of downloads that fail alike, not every minute.
        if (failure != s.LastConfigFailure)
            AddToAirLog(station, "  SYS - CONFIG UPDATE FAILED (" + failure + ")", LogPriority::Warning);
    }
    s.LastConfigFailure = failure;
    ReportSourceList(station);
    s.ManagementCounter = 0;
}

void tmrCheckForChanges_Timer(Station& station) {
    const std::string reply =
        FetchOnInet1(station, ManagementQuery(station, station.settings().CheckForChangeURL),
                     ManagementTimeoutMs::Poll)
            .body;
    const std::string_view order = OrderOf(reply);
    if (order.empty() || order[0] < '0' || order[0] > '9') return;  // no change
    // An order without a playable source is refused; during a failover the
    // ordered source becomes the one to return to.
    SelectSource(station, order, SwitchCause::Management);
}

}  // namespace bf
