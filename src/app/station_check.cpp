#include "app/station_check.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "core/settings.h"
#include "core/text_file.h"
#include "schedule/schedule_file.h"
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
    for (const char* name : {"mplayer1", "mplayer2"}) {
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

// Without a sound card MPlayer ends at once, unless its configuration
// chooses an output that needs none.
void CheckPlayerConfiguration(std::vector<Finding>& findings) {
    std::error_code ec;
    if (fs::exists("/dev/snd", ec)) return;
    const char* home = std::getenv("MPLAYER_HOME");
    const char* user = std::getenv("HOME");
    const fs::path config =
        home ? fs::path(home) / "config" : fs::path(user ? user : "") / ".mplayer" / "config";
    bool output = false;
    if (const std::optional<std::string> text = ReadText(config))
        ForEachLine(*text, [&](std::string_view line) { output = output || line.starts_with("ao="); });
    if (!output)
        findings.push_back({config.string(), 0,
                            "no sound card here (/dev/snd) and no ao= line: the player would end at once "
                            "(ao=null plays into the void, ao=pulse to a sound server)"});
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
    check("LastResortFile", R_OK, "cannot be read", "the last resort stays silent");
    check("OnEventCommand", X_OK, "cannot be run (no execute permission)", "no event command runs");
}

}  // namespace

std::vector<Finding> CheckStationFiles(const fs::path& folder) {
    std::vector<Finding> findings;
    CheckNamedFiles(folder, findings);
    const std::optional<std::string> sources = ReadText(folder / "sourcelist.ini");
    if (!sources) findings.push_back({"sourcelist.ini", 0, "missing or unreadable: no source can go on air"});
    const std::vector<Finding> sourceFindings = CheckSourceListText(sources.value_or(""));
    findings.insert(findings.end(), sourceFindings.begin(), sourceFindings.end());

    SourceTable table;
    ForEachLine(sources.value_or(""), [&](std::string_view line) {
        if (line.size() >= 3 && DigitSource(line[0]) != kNoSource && line.substr(1, 2) == "u:")
            table[static_cast<size_t>(DigitSource(line[0]))].url = line.substr(3);
    });
    if (const std::optional<std::string> schedule = ReadText(folder / "sourceevents.ini")) {
        const std::vector<Finding> scheduleFindings = CheckScheduleText(*schedule, table);
        findings.insert(findings.end(), scheduleFindings.begin(), scheduleFindings.end());
    } else {
        findings.push_back(
            {"sourceevents.ini", 0, "missing or unreadable: source 9 goes on air at the start"});
    }
    CheckPlayerLinks(folder, findings);
    CheckPlayerConfiguration(findings);
    return findings;
}

std::vector<Finding> CheckStation(const fs::path& folder) {
    std::vector<Finding> findings = CheckSettings(folder);
    const std::vector<Finding> rest = CheckStationFiles(folder);
    findings.insert(findings.end(), rest.begin(), rest.end());
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
    if (findings.empty()) std::printf("%s: no problems found\n", folder.c_str());
    std::fflush(stdout);
    return findings.empty() ? 0 : 1;
}

}  // namespace bf
