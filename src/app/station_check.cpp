#include "app/station_check.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "core/player_files.h"
#include "core/settings.h"
#include "core/text_file.h"
#include "metadata/icecast_metadata.h"
#include "metadata/rds_feed.h"
#include "schedule/schedule_file.h"
#include "sources/last_resort.h"
#include "sources/source_list.h"

namespace bf {

namespace {

namespace fs = std::filesystem;

// A source list or schedule is a few kilobytes; a file far larger is none.
constexpr size_t kLargestText = 1024 * 1024;

std::optional<std::string> ReadText(const fs::path& path) {
    std::optional<std::string> text = ReadFileHead(path, kLargestText + 1);
    if (text && text->size() > kLargestText) return std::nullopt;
    return text;
}

// The two player slots are links to (or copies of) MPlayer in the folder.
void CheckPlayerLinks(const fs::path& folder, std::vector<Finding>& findings) {
    for (const std::string& name : {PlayerName(1), PlayerName(2)}) {
        const fs::path path = folder / name;
        std::error_code ec;
        const fs::file_status link = fs::symlink_status(path, ec);
        if (!fs::exists(link)) {
            findings.push_back(
                {name, 0, std::string("missing: make it with ln -s /usr/bin/mplayer ") + name});
        } else if (!fs::exists(path, ec)) {
            findings.push_back(
                {name, 0, "links to " + fs::read_symlink(path, ec).string() + ", which does not exist"});
        } else if (::access(path.c_str(), X_OK) != 0) {
            findings.push_back({name, 0, "cannot be run (no execute permission)"});
        }
    }
}

// The player configuration the station's players read: the station's own
// (its mplayer/ folder, which the service hands them as MPLAYER_HOME), else
// MPLAYER_HOME's, else the user's.
fs::path PlayerConfiguration(const fs::path& folder) {
    std::error_code ec;
    if (fs::exists(folder / "mplayer" / "config", ec)) return folder / "mplayer" / "config";
    const char* home = std::getenv("MPLAYER_HOME");
    const char* user = std::getenv("HOME");
    return home ? fs::path(home) / "config" : fs::path(user ? user : "") / ".mplayer" / "config";
}

// The audio outputs of the configuration's ao= line ("alsa,null,"), and the
// line's number; nullopt without one.
struct AudioOutputs {
    int line = 0;
    std::vector<std::string> names;
};
std::optional<AudioOutputs> ReadAudioOutputs(const fs::path& config) {
    std::optional<AudioOutputs> found;
    int number = 0;
    if (const std::optional<std::string> text = ReadText(config))
        ForEachLine(*text, [&](std::string_view line) {
            ++number;
            if (!line.starts_with("ao=")) return;
            found = AudioOutputs{number, {}};
            for (std::string_view rest = line.substr(3); !rest.empty();) {
                const size_t comma = std::min(rest.find(','), rest.size());
                const std::string_view name = rest.substr(0, std::min(rest.find(':'), comma));
                if (!name.empty()) found->names.emplace_back(name);
                rest.remove_prefix(std::min(comma + 1, rest.size()));
            }
        });
    return found;
}

// Without a sound card MPlayer ends at once, unless its configuration
// chooses an output that needs none.
void CheckPlayerConfiguration(const fs::path& folder, std::vector<Finding>& findings) {
    std::error_code ec;
    if (fs::exists("/dev/snd", ec)) return;
    const fs::path config = PlayerConfiguration(folder);
    if (!ReadAudioOutputs(config))
        findings.push_back({config.string(), 0,
                            "no sound card here (/dev/snd) and no ao= line: the player would end at once "
                            "(ao=null plays into the void, ao=pulse to a sound server)"});
}

// An output of "null" plays into the void: with it the air is silent while
// the player, the check and the monitor all say it plays.
void CheckSoundOutput(const fs::path& folder, std::vector<Finding>& findings) {
    const fs::path config = PlayerConfiguration(folder);
    const std::optional<AudioOutputs> outputs = ReadAudioOutputs(config);
    if (!outputs || std::ranges::find(outputs->names, "null") == outputs->names.end()) return;
    const fs::path own = config.lexically_relative(folder);
    const bool inFolder = !own.empty() && *own.begin() != "..";
    findings.push_back({(inFolder ? own : config).string(), outputs->line,
                        outputs->names.size() == 1
                            ? "ao=null: the players play into the void and nothing goes on air"
                            : "ao= falls back to null: without the sound card the players play into the "
                              "void instead of ending, and nothing goes on air unnoticed"});
}

// Values an example station ships with and an operator must replace: a
// text asking to be changed, an address on a domain kept for examples.
bool IsPlaceholder(std::string_view value) {
    std::string lower(value);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower.find("change-this") != std::string::npos || lower.find("change this") != std::string::npos)
        return true;
    for (const std::string_view domain : {"example.org", "example.com", "example.net"}) {
        const size_t at = lower.find(domain);
        if (at != std::string::npos &&
            (at == 0 || lower[at - 1] == '.' || lower[at - 1] == '/' || lower[at - 1] == '@'))
            return true;
    }
    return false;
}

// A key of a feature that is off is not named: what it holds never goes out.
bool FeatureOff(const fs::path& folder, std::string_view key) {
    auto on = [&](const char* flag) {
        const std::optional<SettingLine> setting = FindSetting(folder, flag);
        return setting && setting->value != "0" && !setting->value.empty();
    };
    if (key.starts_with("AIR")) return !on("AIRenable");
    if (key.starts_with("MetaOpenWeatherMap") || key == "MetaLocation") return !on("MetaWeather");
    if (key.starts_with("Management") || key.starts_with("CheckForChange"))
        return !on("ManagementUpdate") && !on("CheckForChanges");
    if (key == "MetaURL") return !on("Tallyway");
    return false;
}

void CheckPlaceholders(const fs::path& folder, std::vector<Finding>& findings) {
    for (const char* file : {"brackenfield.ini", "sourcelist.ini"}) {
        const bool settings = std::string_view(file) == "brackenfield.ini";
        int number = 0;
        ForEachLine(ReadText(folder / file).value_or(""), [&](std::string_view line) {
            ++number;
            const size_t equals = line.find(settings ? '=' : ':');
            if (line.starts_with(";") || equals == std::string_view::npos ||
                !IsPlaceholder(line.substr(equals + 1)))
                return;
            if (settings && FeatureOff(folder, line.substr(0, equals))) return;
            findings.push_back({file, number,
                                std::string(line.substr(0, equals)) +
                                    " still holds the example's placeholder: put in your station's own"});
        });
    }
}

// The files the settings name: the last resort's audio and the event
// command's program, which is the whole value, started without a shell and
// not looked for in PATH. A relative path starts from the station folder,
// where the players and the command run.
void CheckNamedFiles(const fs::path& folder, std::vector<Finding>& findings) {
    auto check = [&](const char* key, int mode, const char* cannot, const char* effect) {
        const std::optional<SettingLine> setting = FindSetting(folder, key);
        if (!setting || setting->value.empty()) return;
        const fs::path path = folder / setting->value;
        std::error_code ec;
        std::string problem;
        if (!fs::exists(path, ec))
            problem = "does not exist";
        else if (fs::is_directory(path, ec))
            problem = "is a folder";
        else if (!fs::is_regular_file(path, ec) || ::access(path.c_str(), mode) != 0)
            problem = cannot;
        else
            return;
        const char* where = fs::path(setting->value).is_relative() ? " in the station folder" : "";
        findings.push_back(
            {"brackenfield.ini", setting->line,
             std::string(key) + " names " + setting->value + where + ", which " + problem + "; " + effect});
    };
    const std::optional<SettingLine> lastResort = FindSetting(folder, "LastResortFile");
    const LastResortList list = ReadLastResort(folder, lastResort ? lastResort->value : "");
    if (list.kind == LastResortList::Kind::File)
        check("LastResortFile", R_OK, "cannot be read", "the last resort stays silent");
    if (list.kind == LastResortList::Kind::Folder || list.kind == LastResortList::Kind::Playlist) {
        for (const std::string& skipped : list.skipped)
            findings.push_back({"brackenfield.ini", lastResort->line,
                                "LastResortFile: " + skipped + "; it is skipped", true});
        if (list.tracks.empty())
            findings.push_back(
                {"brackenfield.ini", lastResort->line,
                 "LastResortFile names " + lastResort->value +
                     (list.kind == LastResortList::Kind::Folder ? ", a folder" : ", a playlist") +
                     " without a readable audio file (.mp3 .ogg .opus .flac .wav .m4a .aac); the "
                     "last resort stays silent"});
    }
    check("OnEventCommand", X_OK, "cannot be run (no execute permission)", "no event command runs");
}

// The title outputs' values. A serial device that is not there now is only
// a warning: a USB adapter may be plugged in later, and the feed opens it
// when it comes. The Icecast address is never shown: it holds a password.
void CheckTitleOutputs(const fs::path& folder, std::vector<Finding>& findings) {
    auto add = [&](const SettingLine& setting, std::string message, bool warning = false) {
        findings.push_back({"brackenfield.ini", setting.line, std::move(message), warning});
    };
    if (const std::optional<SettingLine> target = FindSetting(folder, "RdsTarget");
        target && !target->value.empty()) {
        const ParsedTarget parsed = ParseEncoderTarget(target->value);
        std::error_code ec;
        if (!parsed.target)
            add(*target,
                "RdsTarget=" + target->value + " " + parsed.problem + "; the RDS encoder gets no titles");
        else if (parsed.target->kind == EncoderTarget::Kind::Serial && !fs::exists(parsed.target->path, ec))
            add(*target,
                "RdsTarget names " + parsed.target->path +
                    ", which is not there now; the station opens it when it comes (a USB adapter plugged in "
                    "later)",
                true);
    }
    const std::optional<SettingLine> lineEnd = FindSetting(folder, "RdsLineEnd");
    if (lineEnd && !RdsLineEndBytes(lineEnd->value))
        add(*lineEnd,
            "RdsLineEnd=" + lineEnd->value + " is not CR, CRLF or LF; the RDS encoder gets no titles");
    const std::optional<SettingLine> charset = FindSetting(folder, "RdsCharset");
    if (charset && !ParseRdsCharset(charset->value))
        add(*charset,
            "RdsCharset=" + charset->value + " is not ascii or latin1; the RDS encoder gets no titles");
    const std::optional<SettingLine> icecast = FindSetting(folder, "IcecastMetadataURL");
    if (icecast && !icecast->value.empty())
        if (const ParsedMount parsed = ParseIcecastMetadataUrl(icecast->value); !parsed.mount)
            add(*icecast,
                "IcecastMetadataURL " + parsed.problem + "; the station's own mount gets no titles");
}

// A chain the settings name: what is dropped from it, and links without a
// playable URL; standby hearing needs the health check.
void CheckBackupChain(const fs::path& folder, const SourceTable& table, std::vector<Finding>& findings) {
    const std::optional<SettingLine> setting = FindSetting(folder, "BackupChain");
    if (setting && setting->value.find_first_not_of(" \t") != std::string::npos) {
        const BackupChain chain = ParseBackupChain(setting->value);
        for (const std::string& problem : chain.problems)
            findings.push_back({"brackenfield.ini", setting->line, "BackupChain: " + problem, true});
        for (const int16_t link : chain.links)
            if (chain.named && table[static_cast<size_t>(link)].url.size() < kShortestUrl)
                findings.push_back({"brackenfield.ini", setting->line,
                                    "BackupChain: source " + std::to_string(link) +
                                        " has no playable URL in sourcelist.ini; the chain skips it"});
    }
    const std::optional<SettingLine> standby = FindSetting(folder, "StandbyCheck");
    const std::optional<SettingLine> check = FindSetting(folder, "CheckSource");
    if (standby && standby->value == "1" && (!check || check->value != "1"))
        findings.push_back({"brackenfield.ini", standby->line,
                            "StandbyCheck=1 needs CheckSource=1; the standby links are not heard"});
}

}  // namespace

std::vector<Finding> CheckStationFiles(const fs::path& folder) {
    std::vector<Finding> findings;
    CheckNamedFiles(folder, findings);
    CheckTitleOutputs(folder, findings);
    const std::optional<std::string> sources = ReadText(folder / "sourcelist.ini");
    if (!sources) findings.push_back({"sourcelist.ini", 0, "missing or unreadable: no source can go on air"});
    const std::vector<Finding> sourceFindings = CheckSourceListText(sources.value_or(""));
    findings.insert(findings.end(), sourceFindings.begin(), sourceFindings.end());

    SourceTable table;
    ForEachLine(sources.value_or(""), [&](std::string_view line) {
        if (line.size() >= 3 && DigitSource(line[0]) != kNoSource && line.substr(1, 2) == "u:")
            table[static_cast<size_t>(DigitSource(line[0]))].url = line.substr(3);
    });
    CheckBackupChain(folder, table, findings);
    if (const std::optional<std::string> schedule = ReadText(folder / "sourceevents.ini")) {
        const std::vector<Finding> scheduleFindings = CheckScheduleText(*schedule, table);
        findings.insert(findings.end(), scheduleFindings.begin(), scheduleFindings.end());
    } else {
        findings.push_back(
            {"sourceevents.ini", 0, "missing or unreadable: source 9 goes on air at the start"});
    }
    CheckPlayerLinks(folder, findings);
    CheckPlayerConfiguration(folder, findings);
    CheckPlaceholders(folder, findings);
    return findings;
}

std::vector<Finding> CheckStation(const fs::path& folder) {
    std::vector<Finding> findings = CheckSettings(folder);
    const std::vector<Finding> rest = CheckStationFiles(folder);
    findings.insert(findings.end(), rest.begin(), rest.end());
    CheckSoundOutput(folder, findings);
    return findings;
}

int RunStationCheck(const fs::path& folder) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        std::fprintf(stderr, "brackenfield: %s is no folder\n", folder.c_str());
        return 2;
    }
    const std::vector<Finding> findings = CheckStation(folder);
    for (const Finding& f : findings) std::printf("%s\n", FindingText(f).c_str());
    const bool faults = std::ranges::any_of(findings, [](const Finding& f) { return !f.warning; });
    if (!faults) std::printf("%s: no problems found\n", folder.c_str());
    std::fflush(stdout);
    return faults ? 1 : 0;
}

}  // namespace bf
