#include "management/management_link.h"

#include "core/outside_services.h"
#include "core/query_value.h"
#include "core/station.h"

namespace bf {

std::string ManagementQuery(const Station& station, std::string_view baseUrl) {
    return std::string(baseUrl) + "?key=" + RequestLineValue(station.settings().ManagementKey) +
           "&switcher=" + RequestLineValue(station.settings().ManagementSwitcher);
}

Inet1Reply FetchOnInet1(Station& station, const std::string& url, int timeoutMs) {
    if (station.Inet1.busy()) station.Inet1.cancel();
    station.Inet1.setTimeoutMs(timeoutMs);
    const HttpResult result = station.Inet1.fetch(url);
    NoteServiceReply(station, OutsideService::Management, result);
    if (!result.ok())
        return {{}, result.errorText.empty() ? "ERROR " + std::to_string(result.error) : result.errorText};
    if (result.statusError()) return {{}, "HTTP " + std::to_string(result.status)};
    return {result.body, {}};
}

}  // namespace bf
