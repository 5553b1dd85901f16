#include "core/settings.h"

#include <algorithm>

#include "core/number_parse.h"
#include "core/station.h"
#include "core/text_file.h"

namespace bf {

namespace {

constexpr size_t kValueLimit = 119;  // a 120-byte buffer with its NUL
constexpr std::string_view kSection = "Brackenfield";

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

std::string_view Trim(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

std::string Finish(std::string value) {
    const size_t nul = value.find('\0');
    if (nul != std::string::npos) value.resize(nul);
    if (value.size() > kValueLimit) value.resize(kValueLimit);
    return value;
}

// The value of `key` in the first [Brackenfield] section of `text`, as the
// profile lookup finds it: the first line of the key wins, blanks around the
// value are dropped and one pair of enclosing quotes is removed.
std::optional<std::string> LookUp(std::string_view text, std::string_view key) {
    bool inSection = false;
    bool seenSection = false;
    std::optional<std::string> found;
    ForEachLine(text, [&](std::string_view raw) {
        if (found) return;
        const std::string_view line = Trim(raw);
        if (!line.empty() && line.front() == '[') {
            if (seenSection) {
                inSection = false;
                return;
            }
            const size_t close = line.find(']');
            const std::string_view name = Trim(line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1));
            inSection = EqualNoCase(name, kSection);
            seenSection = inSection;
            return;
        }
        if (!inSection || line.empty() || line.front() == ';') return;
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos || !EqualNoCase(Trim(line.substr(0, eq)), key)) return;
        std::string_view value = Trim(line.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        found = std::string(value);
    });
    return found;
}

}  // namespace

std::string ReadSetting(const Station& station, std::string_view key) {
    const std::string fallback = station.workingFolder.string();
    const auto content = ReadWholeFile(station.file("brackenfield.ini"));
    if (!content) return Finish(fallback);
    auto value = LookUp(*content, key);
    return Finish(value ? std::move(*value) : fallback);
}

std::string LoadSettings(Station& station) {
    StationState& s = station.state;
    auto text = [&](std::string_view key) { return ReadSetting(station, key); };
    auto number = [&](std::string_view key) { return ParseLeadingInt16(ReadSetting(station, key)); };

    s.DefaultStrapline = text("DefaultStrapline");
    s.ExtraMetaNowPlaying = text("ExtraMetaNowPlaying");
    s.ManagementUpdate = number("ManagementUpdate");
    s.ManagementSendURL = text("ManagementSendURL");
    s.ManagementURL = text("ManagementURL");
    s.ManagementKey = text("ManagementKey");
    s.ManagementSwitcher = text("ManagementSwitcher");
    s.CheckForChanges = number("CheckForChanges");
    s.CheckForChangeURL = text("CheckForChangeURL");
    s.APIallowed = text("APIallowed");
    s.APIkey = text("APIKey");
    s.AIRenable = text("AIRenable");
    s.AIRid = text("AIRid");
    s.AIRpartnerid = text("AIRpartnerid");
    s.AIRpartnerkey = text("AIRpartnerKey");
    s.AIRdefaultTitle = text("AIRdefaultTitle");
    s.AIRdefaultArtist = text("AIRdefaultArtist");
    s.DoNotPrefixWhenContains = text("DoNotPrefixWhenContains");
    s.MetaWeather = text("MetaWeather");
    s.MetaOpenWeatherMapKey = text("MetaOpenWeatherMapKey");
    s.MetaLocation = text("MetaLocation");
    s.CheckSource = text("CheckSource");
    s.FilterSystem = text("FilterSystem");
    if (s.FilterSystem == "1") station.console.lblFilterSystem.caption = "SYSTEM API FILTER ON";
    std::string tallyway = text("Tallyway");
    s.URLbase = text("MetaURL");
    const std::string hideTaskbar = text("HideTaskbar");
    s.HideTaskbar = 0;
    if (hideTaskbar == "1") s.HideTaskbar = 1;
    s.FastFailover = text("FastFailover");
    return tallyway;
}

}  // namespace bf
