#include "management/management_timers.h"

#include <string>
#include <string_view>

#include "core/file_trouble.h"
#include "core/station.h"
#include "core/station_log.h"
#include "core/text_decode.h"
#include "core/text_file.h"
#include "management/management_link.h"
#include "management/source_list_report.h"
#include "schedule/schedule_file.h"
#include "sources/on_air.h"

namespace bf {

namespace {

// Why the server's schedule cannot be put in place, or nothing when
// sourceevents.ini now holds it.
std::string PutScheduleInPlace(Station& station, const std::string& body, const std::string& failure) {
    if (!failure.empty()) return failure;
    if (body.empty()) return "EMPTY REPLY";
    // A server's error page answered with status 200 is no schedule: it would
    // leave the station without one.
    const ParsedSchedule parsed = ParseSchedule(body);
    if (!parsed.problems.empty())
        return "NOT A SCHEDULE, LINE " + std::to_string(parsed.problems.front().line) + ": " +
               std::string(CutAtCharacter(parsed.problems.front().message, 60));
    // Byte for byte, and whole or not at all: the schedule reader may look
    // at the file at any moment.
    if (!NoteFileWrite(station, "sourceevents.ini",
                       ReplaceFile(station.file("sourceevents.ini"), body, Durability::Synced)))
        return "SCHEDULE FILE NOT WRITTEN";
    return {};
}

// The download's end: its outcome shown and logged, the source list
// reported, the countdown started again.
void DownloadDone(Station& station, const std::string& failure) {
    ManagementState& m = station.management;
    m.status = failure.empty() ? ConfigStatus::Updated : ConfigStatus::Failed;
    m.statusAt = station.clock.now();
    // Once for a run of downloads that fail alike, not every minute.
    if (!failure.empty() && failure != m.lastConfigFailure)
        AddToAirLog(station, "  SYS - CONFIG UPDATE FAILED (" + failure + ")", LogPriority::Warning);
    m.lastConfigFailure = failure;
    ReportSourceList(station);
    m.counter = 0;
}

// The order in a poll reply: the reply without the line end and blanks that
// servers put after it.
std::string_view OrderOf(std::string_view reply) {
    const size_t end = reply.find_last_not_of(" \t\r\n");
    return end == std::string_view::npos ? std::string_view() : reply.substr(0, end + 1);
}

}  // namespace

void tmrManagementDownload_Timer(Station& station) {
    ManagementState& m = station.management;
    m.counter = static_cast<int16_t>(m.counter + 1);
    m.status = ConfigStatus::Countdown;
    if (m.counter < station.settings().ManagementUpdate) return;

    m.status = ConfigStatus::InProgress;
    const std::string url = ManagementQuery(station, station.settings().ManagementURL);
    // The server is asked twice and the second answer counts.
    AskManagement(station, url, ManagementTimeoutMs::Download, false,
                  [](const std::string&, const std::string&) {});
    AskManagement(station, url, ManagementTimeoutMs::Download, false,
                  [&station](const std::string& body, const std::string& failure) {
                      DownloadDone(station, PutScheduleInPlace(station, body, failure));
                  });
}

void tmrCheckForChanges_Timer(Station& station) {
    AskManagement(station, ManagementQuery(station, station.settings().CheckForChangeURL),
                  ManagementTimeoutMs::Poll, false, [&station](const std::string& reply, const std::string&) {
                      const std::string_view order = OrderOf(reply);
                      if (order.empty() || order[0] < '0' || order[0] > '9') return;  // no change
                      // An order without a playable source is refused; during a
                      // failover the ordered source becomes the one to return to.
                      Observe(station, air::Choice{std::string(order), SwitchCause::Management});
                  });
}

}  // namespace bf
