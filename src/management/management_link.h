#pragma once

#include <string>
#include <string_view>

namespace bf {

struct Station;

// Time-outs of the requests on Inet1. Each tick's waits together stay below
// the 60-second period of its timer, so a hanging server never makes one
// tick run into the next: a download tick waits for two downloads and one
// report (10 + 10 + 10 x 3 s), a poll tick for one poll and the report of
// the switch it orders (10 + 10 x 3 s).
namespace ManagementTimeoutMs {
constexpr int Download = 10000;
constexpr int Poll = 10000;
constexpr int Report = 3000;
}  // namespace ManagementTimeoutMs

// baseUrl + "?key=" + ManagementKey + "&switcher=" + ManagementSwitcher. The
// base URL goes in as it stands.
std::string ManagementQuery(const Station& station, std::string_view baseUrl);

struct Inet1Reply {
    std::string body;     // empty when the request failed
    std::string failure;  // why it failed ("Connection refused", "HTTP 404"); empty on success
};

// Gives up whatever Inet1 still waits for (another caller's request then
// ends empty), then fetches the URL with the time-out. An error page (4xx,
// 5xx) counts as a failed request: its text is no reply the station may act on.
Inet1Reply FetchOnInet1(Station& station, const std::string& url, int timeoutMs);

}  // namespace bf
