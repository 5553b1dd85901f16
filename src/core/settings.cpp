#include "core/settings.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <vector>

#include "core/number_parse.h"
#include "core/station.h"
#include "core/station_log.h"
#include "core/text_file.h"

namespace bf {

namespace {

constexpr size_t kValueLimit = 119;  // a 120-byte buffer with its NUL
constexpr std::string_view kSection = "Brackenfield";

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) {
                   return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
               };
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
            const std::string_view name =
                Trim(line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1));
            inSection = EqualNoCase(name, kSection);
            seenSection = inSection;
            return;
        }
        if (!inSection || line.empty() || line.front() == ';') return;
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos || !EqualNoCase(Trim(line.substr(0, eq)), key)) return;
        std::string_view value = Trim(line.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        found = std::string(value);
    });
    return found;
}

// The settings file's text, a UTF-8 byte-order mark before it dropped (an
// editor may write one, and it would hide the first section line).
std::optional<std::string> ReadSettingsText(const Station& station) {
    std::optional<std::string> content = ReadWholeFile(station.file("brackenfield.ini"));
    if (content && content->starts_with("\xEF\xBB\xBF")) content->erase(0, 3);
    return content;
}

// Adds `key` to a list of names separated by ", ".
void Note(std::string& list, std::string_view key) {
    if (!list.empty()) list += ", ";
    list += key;
}

// A feature whose keys for outside services are missing: it stays off, and
// its label and a station log line say which keys it lacks.
struct FeatureOff {
    std::string_view name;  // as the log line names it
    Label ConsoleModel::*label;
    std::string lacks;  // the missing keys, ", " between
};

// Why an API asked for stays closed.
enum class ApiClosed { No, NoKey, ExampleKey };

// The example station's key, which everybody who has seen the example knows.
constexpr std::string_view kExampleKey = "change-this-key";

// One station log line for a settings file that could not be read, else one
// for missing keys and cut values; why the API is closed or open to all; and
// one line for each feature that stays off for want of its keys.
void ReportSettingsProblems(Station& station, bool fileRead, const std::string& missing,
                            const std::string& cut, ApiClosed apiClosed, const std::vector<FeatureOff>& off) {
    if (!fileRead) {
        std::error_code ec;
        const bool exists = std::filesystem::exists(station.file("brackenfield.ini"), ec);
        AddToAirLog(station, std::string("  SYS - SETTINGS FILE brackenfield.ini ") +
                                 (exists ? "UNREADABLE" : "MISSING") + " - DEFAULTS IN USE");
        return;
    }
    std::string line = "  SYS - SETTINGS";
    if (!missing.empty()) line += " MISSING, DEFAULTS IN USE: " + missing;
    if (!cut.empty()) line += (missing.empty() ? " CUT TO 119 BYTES: " : " - CUT TO 119 BYTES: ") + cut;
    if (!missing.empty() || !cut.empty()) AddToAirLog(station, line);
    if (apiClosed == ApiClosed::NoKey) {
        AddToAirLog(station, "  SYS - API CLOSED: NO APIKey IN brackenfield.ini");
        station.console.lblAPIstatus.caption = "Disabled - no APIKey set";
    } else if (apiClosed == ApiClosed::ExampleKey) {
        AddToAirLog(station,
                    "  SYS - API CLOSED: APIKey IS THE EXAMPLE'S change-this-key - CHOOSE YOUR OWN IN "
                    "brackenfield.ini");
        station.console.lblAPIstatus.caption = "Disabled - APIKey is the example's change-this-key";
    } else if (station.state.APIallowed == "1" && station.state.APIkey.empty()) {
        AddToAirLog(station, "  SYS - WARNING: APIKey IS EMPTY - ANY CALLER MAY USE THE API");
    }
    for (const FeatureOff& f : off) {
        AddToAirLog(station,
                    "  SYS - " + std::string(f.name) + " OFF: NO " + f.lacks + " IN brackenfield.ini");
        (station.console.*f.label).caption = "Disabled - no " + f.lacks + " set";
    }
}

}  // namespace

std::string ReadSetting(const Station& station, std::string_view key) {
    const std::string fallback = station.workingFolder.string();
    const auto content = ReadSettingsText(station);
    if (!content) return Finish(fallback);
    auto value = LookUp(*content, key);
    return Finish(value ? std::move(*value) : fallback);
}

std::string LoadSettings(Station& station) {
    StationState& s = station.state;
    const std::optional<std::string> content = ReadSettingsText(station);
    std::string missing, cut;
    // A key's value, or nullopt when the key (or the whole file) is missing.
    auto present = [&](std::string_view key) -> std::optional<std::string> {
        std::optional<std::string> value = content ? LookUp(*content, key) : std::nullopt;
        if (!value) {
            Note(missing, key);
            return std::nullopt;
        }
        if (std::min(value->find('\0'), value->size()) > kValueLimit) Note(cut, key);
        return Finish(std::move(*value));
    };
    const std::string folder = Finish(station.workingFolder.string());
    auto text = [&](std::string_view key) { return present(key).value_or(folder); };
    auto number = [&](std::string_view key) { return ParseLeadingInt16(text(key)); };
    // A value that goes out to another service: a missing key reads as empty,
    // never as the folder's path, and is noted against its feature.
    std::string airLacks, managementLacks, billingLacks;
    auto outgoing = [&](std::string_view key, std::string& lacks) {
        std::optional<std::string> value = present(key);
        if (!value) Note(lacks, key);
        return value.value_or("");
    };

    // These three would put the folder's path on air, in front of every extra
    // line, or make it the remote control's password.
    s.DefaultStrapline = present("DefaultStrapline").value_or("");
    s.ExtraMetaNowPlaying = present("ExtraMetaNowPlaying").value_or("OFF");
    s.ManagementUpdate = number("ManagementUpdate");
    s.ManagementSendURL = text("ManagementSendURL");
    s.ManagementURL = text("ManagementURL");
    s.ManagementKey = outgoing("ManagementKey", managementLacks);
    s.ManagementSwitcher = outgoing("ManagementSwitcher", managementLacks);
    s.CheckForChanges = number("CheckForChanges");
    s.CheckForChangeURL = text("CheckForChangeURL");
    s.APIallowed = text("APIallowed");
    // Also the billing report's key.
    s.APIkey = outgoing("APIKey", billingLacks);
    ApiClosed apiClosed = ApiClosed::No;
    if (s.APIallowed == "1" && !billingLacks.empty()) apiClosed = ApiClosed::NoKey;
    if (s.APIallowed == "1" && s.APIkey == kExampleKey) apiClosed = ApiClosed::ExampleKey;
    if (apiClosed != ApiClosed::No) s.APIallowed = "0";
    s.AIRenable = text("AIRenable");
    s.AIRid = text("AIRid");
    s.AIRpartnerid = text("AIRpartnerid");
    s.AIRpartnerkey = text("AIRpartnerKey");
    s.AIRdefaultTitle = outgoing("AIRdefaultTitle", airLacks);
    s.AIRdefaultArtist = outgoing("AIRdefaultArtist", airLacks);
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
    // An option of this program beside the 26 keys: absent, it reads as "0"
    // (checks every 15 s) and is not reported missing.
    s.FastFailover = Finish(content ? LookUp(*content, "FastFailover").value_or("0") : "0");

    std::vector<FeatureOff> off;
    if (s.AIRenable == "1" && !airLacks.empty()) {
        s.AIRenable = "0";
        off.push_back({"AIR", &ConsoleModel::lblTuneInAir, airLacks});
    }
    if ((s.ManagementUpdate > 0 || s.CheckForChanges == 1) && !managementLacks.empty()) {
        // Downloads, polling and the source list report alike.
        s.ManagementUpdate = 0;
        s.CheckForChanges = 0;
        off.push_back({"MANAGEMENT", &ConsoleModel::lblConfigurationStatus, managementLacks});
    }
    if (tallyway == "1" && !billingLacks.empty()) {
        tallyway = "0";
        off.push_back({"BILLING", &ConsoleModel::lblLastCheck, billingLacks});
    }
    ReportSettingsProblems(station, content.has_value(), missing, cut, apiClosed, off);
    return tallyway;
}

}  // namespace bf
