#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace bf {

struct Station;

// Time-outs of the requests on Inet1, which take turns. A download's two
// requests and its report (10 + 10 + 10 x 3 s) end within the 60-second
// period of its timer, and so do a poll and the report of the switch it
// orders (10 + 10 x 3 s): one minute's requests are done before the next
// minute's are due.
namespace ManagementTimeoutMs {
constexpr int Download = 10000;
constexpr int Poll = 10000;
constexpr int Report = 3000;
}  // namespace ManagementTimeoutMs

// baseUrl + "?key=" + ManagementKey + "&switcher=" + ManagementSwitcher. The
// base URL goes in as it stands.
std::string ManagementQuery(const Station& station, std::string_view baseUrl);

// Gets `body`, or why the request failed (`failure`: "Connection refused",
// "HTTP 404"; empty on success).
using ManagementDone = std::function<void(const std::string& body, const std::string& failure)>;

// Asks the management server on Inet1 with the time-out; `done` runs with
// its answer. The management link's requests take turns: one made while
// another is under way waits for it. `report`: the request belongs to a
// source list report. An error page (4xx, 5xx) counts as a failed request:
// its text is no reply the station may act on.
void AskManagement(Station& station, const std::string& url, int timeoutMs, bool report, ManagementDone done);

// Drops the requests of a source list report still waiting: a newer report
// is to take their place, and they could only repeat or contradict it.
void DropWaitingReports(Station& station);

}  // namespace bf
