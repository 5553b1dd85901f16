#include "core/settings.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <optional>
#include <variant>
#include <vector>

#include "core/api_key.h"
#include "core/notify_text.h"
#include "core/number_parse.h"
#include "core/station.h"
#include "core/station_log.h"
#include "core/text_decode.h"
#include "core/text_file.h"

namespace bf {

namespace {

constexpr size_t kValueLimit = 119;  // a 120-byte buffer with its NUL
constexpr std::string_view kSection = "Brackenfield";
constexpr std::string_view kFile = "brackenfield.ini";

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view Trim(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

std::string Finish(std::string_view raw, bool uncut = false) {
    std::string value(raw.substr(0, raw.find('\0')));
    if (value.size() > kValueLimit && !uncut) value.resize(kValueLimit);
    return value;
}

// A line "key = value" of the first [Brackenfield] section; the value without
// the blanks around it and one pair of enclosing quotes.
struct KeyLine {
    int line = 0;
    std::string_view key;
    std::string_view value;
};

// The key lines of the first [Brackenfield] section of `text`, as the profile
// lookup reads them: section and key names in any letter case, ";" starts a
// comment line, a line without "=" is no key.
std::vector<KeyLine> SectionLines(std::string_view text) {
    std::vector<KeyLine> lines;
    bool inSection = false;
    bool seenSection = false;
    int number = 0;
    ForEachLine(text, [&](std::string_view raw) {
        ++number;
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
        if (eq == std::string_view::npos) return;
        std::string_view value = Trim(line.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        lines.push_back({number, Trim(line.substr(0, eq)), value});
    });
    return lines;
}

// The first line of `key`: later lines of the same key do not count.
const KeyLine* Find(const std::vector<KeyLine>& lines, std::string_view key) {
    const auto it = std::ranges::find_if(lines, [key](const KeyLine& l) { return EqualNoCase(l.key, key); });
    return it == lines.end() ? nullptr : &*it;
}

// The settings file's text, a UTF-8 byte-order mark before it dropped (an
// editor may write one, and it would hide the first section line).
std::optional<std::string> ReadSettingsText(const std::filesystem::path& path) {
    std::optional<std::string> content = ReadWholeFile(path);
    if (content && content->starts_with("\xEF\xBB\xBF")) content->erase(0, 3);
    return content;
}

// What a key takes. A flag is on only at exactly "1". A value that goes out
// to another service is read as empty when its key is missing, never as the
// station folder's path.
// Hours: a decimal number of hours (0: off); a time of day: "HH:MM".
enum class Kind { Text, Outgoing, Flag, Number, Hours, TimeOfDay };

using S = Settings;
// The record's field a key is read into; the reload compares by it.
using Field =
    std::variant<std::string S::*, std::optional<std::string> S::*, int16_t S::*, bool S::*, double S::*>;

struct KeySpec {
    std::string_view name;
    Field field;
    Kind kind;
    // What stays as it is when a flag is not "1", for the check's message.
    std::string_view off = {};
    // No key of the documented set: read after them, and never reported as
    // missing.
    bool extra = false;
    // A number outside these bounds is replaced by the nearer one.
    int16_t lowest = std::numeric_limits<int16_t>::min();
    int16_t highest = std::numeric_limits<int16_t>::max();
    // Read whole: the 119-byte cut does not apply.
    bool uncut = false;
};

constexpr std::array<KeySpec, 52> kKeys{{
    {"DefaultStrapline", &S::DefaultStrapline, Kind::Text},
    {"ExtraMetaNowPlaying", &S::ExtraMetaNowPlaying, Kind::Text},
    {"ManagementUpdate", &S::ManagementUpdate, Kind::Number},
    {"ManagementSendURL", &S::ManagementSendURL, Kind::Text},
    {"ManagementURL", &S::ManagementURL, Kind::Text},
    {"ManagementKey", &S::ManagementKey, Kind::Outgoing},
    {"ManagementSwitcher", &S::ManagementSwitcher, Kind::Outgoing},
    {"CheckForChanges", &S::CheckForChanges, Kind::Number},
    {"CheckForChangeURL", &S::CheckForChangeURL, Kind::Text},
    {"APIallowed", &S::APIallowed, Kind::Flag, "the remote API stays closed"},
    {"APIKey", &S::APIkey, Kind::Outgoing},
    {"AIRenable", &S::AIRenable, Kind::Flag, "TuneIn AIR stays off"},
    {"AIRid", &S::AIRid, Kind::Outgoing},
    {"AIRpartnerid", &S::AIRpartnerid, Kind::Outgoing},
    {"AIRpartnerKey", &S::AIRpartnerkey, Kind::Outgoing},
    {"AIRdefaultTitle", &S::AIRdefaultTitle, Kind::Outgoing},
    {"AIRdefaultArtist", &S::AIRdefaultArtist, Kind::Outgoing},
    {"DoNotPrefixWhenContains", &S::DoNotPrefixWhenContains, Kind::Text},
    {"MetaWeather", &S::MetaWeather, Kind::Flag, "the weather line stays off"},
    {"MetaOpenWeatherMapKey", &S::MetaOpenWeatherMapKey, Kind::Outgoing},
    {"MetaLocation", &S::MetaLocation, Kind::Outgoing},
    {"CheckSource", &S::CheckSource, Kind::Flag, "the health check stays off"},
    {"FilterSystem", &S::FilterSystem, Kind::Flag, "system commands are passed on"},
    {"Tallyway", &S::Tallyway, Kind::Flag, "billing stays off"},
    {"MetaURL", &S::URLbase, Kind::Text},
    {"HideTaskbar", &S::HideTaskbar, Kind::Flag, "the full screen keeps its border"},
    {"FastFailover", &S::FastFailover, Kind::Flag, "the health check runs every 15 s", true},
    {"SilenceSeconds", &S::SilenceSeconds, Kind::Number, {}, true, 0},
    // 0 dBFS or more would call every source silent; far down, none.
    {"SilenceLevel", &S::SilenceLevel, Kind::Number, {}, true, -120, -1},
    // A return must outlast the burst a stalled server hands a new listener.
    {"ReturnHoldSeconds", &S::ReturnHoldSeconds, Kind::Number, {}, true, 0, 600},
    // A stall shorter than what the player's cache covers is no failure.
    {"StallSeconds", &S::StallSeconds, Kind::Number, {}, true, 2, 30},
    {"LastResortFile", &S::LastResortFile, Kind::Text, {}, true},
    {"OnEventCommand", &S::OnEventCommand, Kind::Text, {}, true},
    {"BackupChain", &S::BackupChain, Kind::Text, {}, true},
    {"StandbyCheck", &S::StandbyCheck, Kind::Flag, "the standby links are not heard", true},
    {"KeepAirOnStart", &S::KeepAirOnStart, Kind::Flag, "a start stops the players it finds", true},
    {"RdsTarget", &S::RdsTarget, Kind::Text, {}, true, 0, 0, true},
    {"RdsCommand", &S::RdsCommand, Kind::Text, {}, true, 0, 0, true},
    {"RdsPsCommand", &S::RdsPsCommand, Kind::Text, {}, true, 0, 0, true},
    {"RdsPsMaxLength", &S::RdsPsMaxLength, Kind::Number, {}, true, 1, 128},
    {"RdsLineEnd", &S::RdsLineEnd, Kind::Text, {}, true, 0, 0, true},
    {"RdsMaxLength", &S::RdsMaxLength, Kind::Number, {}, true, 1, 1024},
    {"RdsCharset", &S::RdsCharset, Kind::Text, {}, true, 0, 0, true},
    {"RdsRepeatSeconds", &S::RdsRepeatSeconds, Kind::Number, {}, true, 0, 3600},
    {"IcecastMetadataURL", &S::IcecastMetadataURL, Kind::Text, {}, true, 0, 0, true},
    {"RemotePlaylistPrivate", &S::RemotePlaylistPrivate, Kind::Flag,
     "a remote playlist may not name addresses of the station's network", true},
    {"PlayerRefreshHours", &S::PlayerRefreshHours, Kind::Hours, {}, true},
    {"PlayerRefreshAt", &S::PlayerRefreshAt, Kind::TimeOfDay, {}, true},
    {"PlayerMemoryLimitMB", &S::PlayerMemoryLimitMB, Kind::Number, {}, true, 0},
    {"NotifyURL", &S::NotifyURL, Kind::Text, {}, true, 0, 0, true},
    {"NotifyFormat", &S::NotifyFormat, Kind::Text, {}, true, 0, 0, true},
    {"NotifyRepeatMinutes", &S::NotifyRepeatMinutes, Kind::Number, {}, true, 1, 10080},
}};

// PlayerRefreshHours: 0 (off), or 0.01 to 720 (a value outside reads as the
// nearer bound); nullopt for a text that is no number of hours.
constexpr double kFewestRefreshHours = 0.01;
constexpr double kMostRefreshHours = 720;
std::optional<double> RefreshHours(std::string_view value) {
    double hours = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), hours);
    if (error != std::errc() || end != value.data() + value.size() || !std::isfinite(hours) || hours < 0)
        return std::nullopt;
    return hours == 0 ? 0 : std::clamp(hours, kFewestRefreshHours, kMostRefreshHours);
}

// "HH:MM" (or "H:MM") as minutes after midnight; nullopt for anything else.
std::optional<int16_t> TimeOfDay(std::string_view value) {
    const size_t colon = value.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon > 2 || value.size() != colon + 3)
        return std::nullopt;
    const std::string_view hh = value.substr(0, colon), mm = value.substr(colon + 1);
    if (!std::ranges::all_of(value.substr(0, colon), IsDigit) || !std::ranges::all_of(mm, IsDigit))
        return std::nullopt;
    const int hour = std::stoi(std::string(hh)), minute = std::stoi(std::string(mm));
    if (hour > 23 || minute > 59) return std::nullopt;
    return static_cast<int16_t>(hour * 60 + minute);
}

const KeySpec* SpecOf(std::string_view key) {
    const auto it = std::ranges::find_if(kKeys, [key](const KeySpec& k) { return EqualNoCase(k.name, key); });
    return it == kKeys.end() ? nullptr : &*it;
}

bool Uncut(std::string_view key) {
    const KeySpec* spec = SpecOf(key);
    return spec && spec->uncut;
}

// How many single-letter edits turn one name into the other, letter case
// aside.
size_t EditDistance(std::string_view a, std::string_view b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min(
                {row[j] + 1, row[j - 1] + 1, diagonal + (Lower(a[i - 1]) == Lower(b[j - 1]) ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

bool IsWholeNumber(std::string_view value) {
    if (!value.empty() && (value.front() == '-' || value.front() == '+')) value.remove_prefix(1);
    return !value.empty() && std::ranges::all_of(value, [](char c) { return c >= '0' && c <= '9'; });
}

std::string Shown(std::string_view value) {
    return std::string(CutAtCharacter(value, 40));
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
    std::string lacks;      // the missing keys, ", " between
};

// One station log line for a settings file that could not be read, else one
// for missing keys and cut values; why the API is closed or open to all; one
// line for each feature that stays off for want of its keys; and one for
// each other problem of the file.
void ReportSettingsProblems(Station& station, bool fileRead, const std::string& missing,
                            const std::string& cut, const std::vector<FeatureOff>& off,
                            const std::vector<Finding>& findings) {
    if (!fileRead) {
        std::error_code ec;
        const bool exists = std::filesystem::exists(station.file(kFile), ec);
        AddToAirLog(station, std::string("  SYS - SETTINGS FILE brackenfield.ini ") +
                                 (exists ? "UNREADABLE" : "MISSING") + " - DEFAULTS IN USE");
        return;
    }
    std::string line = "  SYS - SETTINGS";
    if (!missing.empty()) line += " MISSING, DEFAULTS IN USE: " + missing;
    if (!cut.empty()) line += (missing.empty() ? " CUT TO 119 BYTES: " : " - CUT TO 119 BYTES: ") + cut;
    if (!missing.empty() || !cut.empty()) AddToAirLog(station, line);
    // Why an API asked for stays closed, or that it is open to all.
    const ApiKeyKind key =
        station.settings().APIallowed ? KindOfApiKey(station.settings()) : ApiKeyKind::Secret;
    if (key == ApiKeyKind::Missing) {
        AddToAirLog(station, "  SYS - API CLOSED: NO APIKey IN brackenfield.ini");
    } else if (key == ApiKeyKind::Example) {
        AddToAirLog(station,
                    "  SYS - API CLOSED: APIKey IS THE EXAMPLE'S change-this-key - CHOOSE YOUR OWN IN "
                    "brackenfield.ini");
    } else if (key == ApiKeyKind::Empty) {
        AddToAirLog(station, "  SYS - WARNING: APIKey IS EMPTY - ANY CALLER MAY USE THE API");
    }
    for (const FeatureOff& f : off) {
        AddToAirLog(station,
                    "  SYS - " + std::string(f.name) + " OFF: NO " + f.lacks + " IN brackenfield.ini");
    }
    for (const Finding& f : findings) AddToAirLog(station, "  SYS - " + FindingText(f), LogPriority::Warning);
}

}  // namespace

std::string ReadSetting(const Station& station, std::string_view key) {
    const std::string fallback = station.workingFolder.string();
    const auto content = ReadSettingsText(station.file(kFile));
    if (!content) return Finish(fallback);
    const std::vector<KeyLine> lines = SectionLines(*content);
    const KeyLine* found = Find(lines, key);
    return Finish(found ? found->value : fallback);
}

std::vector<Finding> CheckSettingsText(std::string_view text) {
    std::vector<Finding> findings;
    const std::vector<KeyLine> lines = SectionLines(text);
    auto add = [&](int line, std::string message) {
        findings.push_back({std::string(kFile), line, std::move(message)});
    };
    for (const KeyLine& l : lines) {
        const std::string key(l.key);
        const KeySpec* spec = SpecOf(l.key);
        if (!spec) {
            const auto nearest = std::ranges::min_element(
                kKeys, {}, [&](const KeySpec& k) { return EditDistance(k.name, l.key); });
            const bool near = EditDistance(nearest->name, l.key) <= std::max<size_t>(2, l.key.size() / 4);
            add(l.line,
                "unknown key " + key + (near ? " (did you mean " + std::string(nearest->name) + "?)" : ""));
            continue;
        }
        if (Find(lines, l.key) != &l) {
            add(l.line, key + " is set again; line " + std::to_string(Find(lines, l.key)->line) + " counts");
            continue;
        }
        if (EqualNoCase(l.key, "NotifyURL") && !l.value.empty() &&
            (l.value.size() > kNotifyUrlLimit || !NotifyTarget(l.value)))
            add(l.line, l.value.size() > kNotifyUrlLimit
                            ? "NotifyURL is longer than 2048 bytes; no trouble is told"
                            : "NotifyURL is no http:// or https:// address with a host; no trouble is told");
        if (EqualNoCase(l.key, "NotifyFormat") && l.value != "json" && l.value != "text")
            add(l.line, "NotifyFormat=" + Shown(l.value) + " is neither json nor text; json is used");
        if (spec->kind == Kind::Flag && l.value != "0" && l.value != "1")
            add(l.line, key + "=" + Shown(l.value) + " is neither 0 nor 1; " + std::string(spec->off));
        if (spec->kind == Kind::Hours) {
            const std::optional<double> hours = RefreshHours(l.value);
            if (!hours)
                add(l.line,
                    key + "=" + Shown(l.value) + " is no number of hours (0, or 0.01 to 720); it stays off");
            else if (*hours != 0 && *hours != ParseLeadingNumber(l.value))
                add(l.line, key + "=" + Shown(l.value) + " is outside 0.01 to 720; " +
                                (*hours < 1 ? "0.01" : "720") + " is used");
        }
        if (spec->kind == Kind::TimeOfDay && !TimeOfDay(l.value))
            add(l.line, key + "=" + Shown(l.value) + " is no time of day HH:MM; it stays off");
        if (spec->kind != Kind::Number) continue;
        const int16_t read = ParseLeadingInt16(l.value);
        const int16_t used = std::clamp(read, spec->lowest, spec->highest);
        const std::string clamped = used == read
                                        ? ""
                                        : (read < used ? "below " : "above ") + std::to_string(used) + "; " +
                                              std::to_string(used) + " is used";
        if (!IsWholeNumber(l.value))
            add(l.line, key + "=" + Shown(l.value) + " is not a whole number; it reads as " +
                            std::to_string(read) + (clamped.empty() ? "" : ", " + clamped));
        else if (!clamped.empty())
            add(l.line, key + "=" + Shown(l.value) + " is " + clamped);
    }
    return findings;
}

std::vector<Finding> CheckSettings(const std::filesystem::path& folder) {
    const std::filesystem::path path = folder / kFile;
    const std::optional<std::string> content = ReadSettingsText(path);
    if (!content) {
        std::error_code ec;
        return {{std::string(kFile), 0,
                 std::filesystem::exists(path, ec) ? "cannot be read"
                                                   : "missing: every setting takes its default"}};
    }
    std::vector<Finding> findings = CheckSettingsText(*content);
    for (const KeyLine& l : SectionLines(*content))
        if (std::min(l.value.find('\0'), l.value.size()) > kValueLimit && !Uncut(l.key))
            findings.push_back(
                {std::string(kFile), l.line, std::string(l.key) + " is longer than 119 bytes and is cut"});
    return findings;
}

std::optional<SettingLine> FindSetting(const std::filesystem::path& folder, std::string_view key) {
    const std::optional<std::string> content = ReadSettingsText(folder / kFile);
    if (!content) return std::nullopt;
    const std::vector<KeyLine> lines = SectionLines(*content);
    const KeyLine* found = Find(lines, key);
    if (!found) return std::nullopt;
    return SettingLine{found->line, Finish(found->value, Uncut(key))};
}

std::vector<std::string> ChangedKeys(const Settings& before, const Settings& after) {
    std::vector<std::string> changed;
    for (const KeySpec& k : kKeys)
        if (std::visit([&](auto field) { return before.*field != after.*field; }, k.field))
            changed.emplace_back(k.name);
    return changed;
}

void LoadSettings(Station& station) {
    Settings s;
    const std::optional<std::string> content = ReadSettingsText(station.file(kFile));
    const std::vector<KeyLine> lines = content ? SectionLines(*content) : std::vector<KeyLine>{};
    std::string missing, cut;
    // A key's value, or nullopt when the key (or the whole file) is missing.
    auto present = [&](std::string_view key) -> std::optional<std::string> {
        const KeyLine* found = Find(lines, key);
        if (!found) {
            if (!SpecOf(key)->extra) Note(missing, key);
            return std::nullopt;
        }
        if (std::min(found->value.find('\0'), found->value.size()) > kValueLimit && !Uncut(key))
            Note(cut, key);
        return Finish(found->value, Uncut(key));
    };
    const std::string folder = Finish(station.workingFolder.string());
    auto text = [&](std::string_view key) { return present(key).value_or(folder); };
    auto number = [&](std::string_view key) {
        return std::clamp(ParseLeadingInt16(text(key)), SpecOf(key)->lowest, SpecOf(key)->highest);
    };
    auto flag = [&](std::string_view key) { return present(key) == "1"; };
    // A value that goes out to another service: a missing key reads as empty,
    // never as the folder's path, and is noted against its feature.
    auto outgoing = [&](std::string_view key, std::string& lacks) {
        std::optional<std::string> value = present(key);
        if (!value) Note(lacks, key);
        return value.value_or("");
    };
    std::string airLacks, managementLacks, billingLacks, weatherLacks;

    s.DefaultStrapline = present("DefaultStrapline").value_or("");
    s.ExtraMetaNowPlaying = present("ExtraMetaNowPlaying").value_or("OFF");
    s.ManagementUpdate = number("ManagementUpdate");
    s.ManagementSendURL = text("ManagementSendURL");
    s.ManagementURL = text("ManagementURL");
    s.ManagementKey = outgoing("ManagementKey", managementLacks);
    s.ManagementSwitcher = outgoing("ManagementSwitcher", managementLacks);
    s.CheckForChanges = number("CheckForChanges");
    s.CheckForChangeURL = text("CheckForChangeURL");
    s.APIallowed = flag("APIallowed");
    // Also the billing report's key; whether it opens the API is ApiOpen's.
    s.APIkey = present("APIKey");
    if (!s.APIkey) Note(billingLacks, "APIKey");
    s.AIRenable = flag("AIRenable");
    s.AIRid = outgoing("AIRid", airLacks);
    s.AIRpartnerid = outgoing("AIRpartnerid", airLacks);
    s.AIRpartnerkey = outgoing("AIRpartnerKey", airLacks);
    s.AIRdefaultTitle = outgoing("AIRdefaultTitle", airLacks);
    s.AIRdefaultArtist = outgoing("AIRdefaultArtist", airLacks);
    s.DoNotPrefixWhenContains = text("DoNotPrefixWhenContains");
    s.MetaWeather = flag("MetaWeather");
    s.MetaOpenWeatherMapKey = outgoing("MetaOpenWeatherMapKey", weatherLacks);
    s.MetaLocation = outgoing("MetaLocation", weatherLacks);
    s.CheckSource = flag("CheckSource");
    s.FilterSystem = flag("FilterSystem");
    s.Tallyway = flag("Tallyway");
    s.URLbase = text("MetaURL");
    s.HideTaskbar = flag("HideTaskbar") ? 1 : 0;
    // The program's own keys, after the documented ones.
    s.FastFailover = flag("FastFailover");
    s.SilenceSeconds = present("SilenceSeconds") ? number("SilenceSeconds") : 0;
    s.SilenceLevel = present("SilenceLevel") ? number("SilenceLevel") : -50;
    s.ReturnHoldSeconds =
        present("ReturnHoldSeconds") ? number("ReturnHoldSeconds") : kDefaultReturnHoldSeconds;
    s.StallSeconds = present("StallSeconds") ? number("StallSeconds") : kDefaultStallSeconds;
    s.LastResortFile = present("LastResortFile").value_or("");
    s.OnEventCommand = present("OnEventCommand").value_or("");
    s.BackupChain = present("BackupChain").value_or("");
    s.StandbyCheck = flag("StandbyCheck");
    s.KeepAirOnStart = flag("KeepAirOnStart");
    const Settings defaults;
    auto textOr = [&](std::string_view key, const std::string& fallback) {
        return present(key).value_or(fallback);
    };
    auto numberOr = [&](std::string_view key, int16_t fallback) {
        return present(key) ? number(key) : fallback;
    };
    s.RdsTarget = textOr("RdsTarget", "");
    s.RdsCommand = textOr("RdsCommand", defaults.RdsCommand);
    s.RdsPsCommand = textOr("RdsPsCommand", "");
    s.RdsPsMaxLength = numberOr("RdsPsMaxLength", defaults.RdsPsMaxLength);
    s.RdsLineEnd = textOr("RdsLineEnd", defaults.RdsLineEnd);
    s.RdsMaxLength = numberOr("RdsMaxLength", defaults.RdsMaxLength);
    s.RdsCharset = textOr("RdsCharset", defaults.RdsCharset);
    s.RdsRepeatSeconds = numberOr("RdsRepeatSeconds", defaults.RdsRepeatSeconds);
    s.IcecastMetadataURL = textOr("IcecastMetadataURL", "");
    s.RemotePlaylistPrivate = present("RemotePlaylistPrivate").value_or("1") == "1";
    s.PlayerRefreshHours = RefreshHours(textOr("PlayerRefreshHours", "0")).value_or(0);
    s.PlayerRefreshAt = TimeOfDay(textOr("PlayerRefreshAt", "")).value_or(-1);
    s.PlayerMemoryLimitMB = numberOr("PlayerMemoryLimitMB", 0);
    s.NotifyURL = textOr("NotifyURL", "");
    if (s.NotifyURL.size() > kNotifyUrlLimit || !NotifyTarget(s.NotifyURL)) s.NotifyURL.clear();
    s.NotifyFormat = textOr("NotifyFormat", "") == "text" ? "text" : "json";
    s.NotifyRepeatMinutes = numberOr("NotifyRepeatMinutes", defaults.NotifyRepeatMinutes);

    std::vector<FeatureOff> off;
    if (s.AIRenable && !airLacks.empty()) {
        s.AIRenable = false;
        off.push_back({"AIR", airLacks});
        s.lacking.air = airLacks;
    }
    if ((s.ManagementUpdate > 0 || s.CheckForChanges == 1) && !managementLacks.empty()) {
        // Downloads, polling and the source list report alike.
        s.ManagementUpdate = 0;
        s.CheckForChanges = 0;
        off.push_back({"MANAGEMENT", managementLacks});
        s.lacking.management = managementLacks;
    }
    if (s.Tallyway && !billingLacks.empty()) {
        s.Tallyway = false;
        off.push_back({"BILLING", billingLacks});
        s.lacking.billing = billingLacks;
    }
    if (s.MetaWeather && !weatherLacks.empty()) {
        s.MetaWeather = false;
        off.push_back({"WEATHER", weatherLacks});
        s.lacking.weather = weatherLacks;
    }
    station.replaceSettings(std::move(s));
    ReportSettingsProblems(station, content.has_value(), missing, cut, off,
                           content ? CheckSettingsText(*content) : std::vector<Finding>{});
}

}  // namespace bf
