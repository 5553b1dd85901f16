#include "management/management_link.h"

#include <algorithm>
#include <utility>

#include "core/outside_services.h"
#include "core/query_value.h"
#include "core/run_handler.h"
#include "core/station.h"

namespace bf {

namespace {

// Starts the next waiting request when Inet1 is free.
void StartNext(Station& station) {
    ManagementState& m = station.management;
    if (m.running || m.waiting.empty()) return;
    ManagementRequest request = std::move(m.waiting.front());
    m.waiting.pop_front();
    m.running = true;
    station.Inet1.setTimeoutMs(request.timeoutMs);
    station.Inet1.get(request.url, [&station, done = std::move(request.done)](const HttpResult& result) {
        station.management.running = false;
        // Answers come from the event loop: this is their failure boundary.
        RunHandler(station, "Inet1_Reply", [&] {
            NoteServiceReply(station, OutsideService::Management, result);
            if (!result.ok())
                done({},
                     result.errorText.empty() ? "ERROR " + std::to_string(result.error) : result.errorText);
            else if (result.statusError())
                done({}, "HTTP " + std::to_string(result.status));
            else
                done(result.body, {});
        });
        RunHandler(station, "Inet1_Reply", [&] { StartNext(station); });
    });
}

}  // namespace

std::string ManagementQuery(const Station& station, std::string_view baseUrl) {
    return std::string(baseUrl) + "?key=" + RequestLineValue(station.settings().ManagementKey) +
           "&switcher=" + RequestLineValue(station.settings().ManagementSwitcher);
}

void AskManagement(Station& station, const std::string& url, int timeoutMs, bool report,
                   ManagementDone done) {
    station.management.waiting.push_back({url, timeoutMs, report, std::move(done)});
    StartNext(station);
}

void DropWaitingReports(Station& station) {
    std::erase_if(station.management.waiting, [](const ManagementRequest& r) { return r.report; });
}

}  // namespace bf
