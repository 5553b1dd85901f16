#include "management/management_link.h"

#include "core/station.h"

namespace bf {

std::string QueryValue(std::string_view value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(value.size());
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte > 0x20 && byte < 0x7f && c != '#') {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0f];
        }
    }
    return out;
}

std::string ManagementQuery(const Station& station, std::string_view baseUrl) {
    const StationState& s = station.state;
    return std::string(baseUrl) + "?key=" + QueryValue(s.ManagementKey) +
           "&switcher=" + QueryValue(s.ManagementSwitcher);
}

Inet1Reply FetchOnInet1(Station& station, const std::string& url, int timeoutMs) {
    if (station.Inet1.busy()) station.Inet1.cancel();
    station.Inet1.setTimeoutMs(timeoutMs);
    const HttpResult result = station.Inet1.fetch(url);
    if (!result.ok())
        return {{}, result.errorText.empty() ? "ERROR " + std::to_string(result.error) : result.errorText};
    if (result.statusError()) return {{}, "HTTP " + std::to_string(result.status)};
    return {result.body, {}};
}

}  // namespace bf
