#include "core/notify_text.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "core/json_text.h"
#include "core/text_decode.h"
#include "core/time_format.h"

namespace bf {

std::optional<std::string> NotifyTarget(std::string_view url) {
    const size_t colon = url.find("://");
    if (colon == std::string_view::npos) return std::nullopt;
    std::string scheme(url.substr(0, colon));
    for (char& c : scheme)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (scheme != "http" && scheme != "https") return std::nullopt;
    std::string_view authority = url.substr(colon + 3);
    authority = authority.substr(0, authority.find_first_of("/?#"));
    if (const size_t at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
    if (authority.empty() || authority.front() == ':' ||
        authority.find_first_of(" \t\r\n\"<>\\") != std::string_view::npos)
        return std::nullopt;
    return scheme + "://" + std::string(authority);
}

std::string StationName(const std::filesystem::path& folder) {
    std::filesystem::path path = folder.lexically_normal();
    if (path.filename().empty()) path = path.parent_path();
    return path.filename().string();
}

std::string Rfc3339(const LocalTime& at) {
    std::tm fields{};
    fields.tm_year = at.year - 1900;
    fields.tm_mon = at.month - 1;
    fields.tm_mday = at.day;
    fields.tm_hour = at.hour;
    fields.tm_min = at.minute;
    fields.tm_sec = at.second;
    // The wall clock read as if it were UTC, less the moment: the offset.
    const double offset = static_cast<double>(timegm(&fields)) - std::floor(at.epoch);
    const long minutes = std::lround(offset / 60);
    char zone[8];
    std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", minutes < 0 ? '-' : '+', std::labs(minutes) / 60 % 100,
                  std::labs(minutes) % 60);
    return FormatDateYMD(at) + "T" + FormatTime(at) + zone;
}

namespace {

// Bytes as a JSON string: UTF-8 as it is, other bytes read as Latin-1, so
// that no byte sequence makes the document invalid.
std::string JsonString(std::string_view bytes) {
    return JsonQuoted(ToUtf8(bytes));
}

}  // namespace

std::string NotificationJson(const Notification& n) {
    return "{\"station\":" + JsonString(n.station) + ",\"event\":" + JsonString(n.event) +
           ",\"state\":" + (n.begins ? "\"begin\"" : "\"end\"") + ",\"source\":" + std::to_string(n.source) +
           ",\"name\":" + JsonString(n.name) + ",\"reason\":" + JsonString(n.reason) +
           ",\"time\":" + JsonString(Rfc3339(n.at)) + ",\"text\":" + JsonString(n.text) + "}";
}

}  // namespace bf
