#include "sources/player_control.h"

#include <vector>

#include "core/number_parse.h"
#include "core/pause.h"
#include "core/station.h"
#include "core/station_log.h"
#include "core/text_file.h"
#include "management/source_list_report.h"

namespace bf {

namespace {

// The URL goes to the player as it would through an unquoted command line:
// every run of blanks separates two arguments. Nothing else in it has a
// meaning, as no shell ever sees it.
std::vector<std::string> SplitAtBlanks(const std::string& text) {
    std::vector<std::string> parts;
    std::string part;
    for (const char c : text) {
        if (c == ' ') {
            if (!part.empty()) parts.push_back(std::move(part));
            part.clear();
        } else {
            part.push_back(c);
        }
    }
    if (!part.empty()) parts.push_back(std::move(part));
    return parts;
}

}  // namespace

std::string PlayerName(int slot) {
    if (slot != 1 && slot != 2) return {};
    return "mplayer" + std::to_string(slot);
}

void StartPlayer(Station& station, int slot, const std::string& url) {
    const std::string name = PlayerName(slot);
    if (name.empty()) return;
    std::vector<std::string> args = SplitAtBlanks(url);
    args.push_back("-quiet");
    // Without a console window of its own the player would read end-of-file
    // on its input and fill its log with status lines.
    args.push_back("-noconsolecontrols");
    // Whether the player came up is the watchdog's business, not ours.
    station.processes.startPlayer(station.file(name).string(), args, station.file(name + ".log").string());
}

void StopPlayer(Station& station, int slot) {
    const std::string name = PlayerName(slot);
    if (name.empty()) return;
    station.processes.killByName(name);
}

void StopPlayers(Station& station) {
    StopPlayer(station, 1);
    StopPlayer(station, 2);
}

namespace {

void ShowOnAir(Station& station, const SourceEntry& entry) {
    station.console.lblCurrentSource.caption = entry.url;
    station.console.lblStudio.caption = entry.name;
    station.state.PlayURL = entry.url;
}

}  // namespace

SourceEntry ShowSourceOnAir(Station& station, std::string_view number) {
    const ConsoleModel& c = station.console;
    const SourceEntry entry = FindSource(station, number);
    if (entry.url.size() < 8) {
        // No usable URL: the URL and name on air stay.
        ShowOnAir(station, {c.lblStudio.caption, c.lblCurrentSource.caption, entry.command});
    } else {
        ShowOnAir(station, entry);
    }
    return entry;
}

void ShowSourceNumber(Station& station, std::string_view number) {
    StationState& s = station.state;
    s.CurrentSource = ParseLeadingInt16(number);
    station.console.lblSourceNumber.caption = std::to_string(s.CurrentSource);
    station.console.lblSourceDisp.caption = std::to_string(s.CurrentSource);
}

std::optional<SourceEntry> PlayableSource(const Station& station, std::string_view number) {
    SourceEntry entry = FindSource(station, number);
    if (entry.url.size() < 8) return std::nullopt;
    return entry;
}

void RefuseSwitch(Station& station, std::string_view number) {
    std::optional<std::string>& refused = station.state.RefusedSource;
    if (refused == number) return;
    refused = std::string(number);
    // A management server's order can be a reply of any length.
    AddToAirLog(station, "  SYS - SWITCH REFUSED - NO PLAYABLE URL (SOURCE " +
                             std::string(number.substr(0, 16)) + ")");
}

std::optional<SourceEntry> SwitchSource(Station& station, std::string_view number) {
    StationState& s = station.state;

    // A number without a stream address would restart what plays under a
    // name that does not: nothing is switched and nothing relabelled.
    const std::optional<SourceEntry> entry = PlayableSource(station, number);
    if (!entry) {
        station.counters.nextSwitchCause = SwitchCause::Schedule;  // a refusal counts as no switch
        RefuseSwitch(station, number);
        return std::nullopt;
    }
    s.RefusedSource.reset();
    station.counters.countSwitch();

    const int newSlot = s.CurrentMplayer == 1 ? 2 : 1;  // 1 also on the first switch after startup
    const int oldSlot = newSlot == 2 ? 1 : 2;

    ShowOnAir(station, *entry);

    StartPlayer(station, newSlot, s.PlayURL);
    Pause(station, 2.0);  // both players run meanwhile: no gap on air
    StopPlayer(station, oldSlot);
    // May fail while the dying player still holds it; its next start
    // truncates it anyway.
    RemoveFile(station.file(PlayerName(oldSlot) + ".log"));

    s.CurrentMplayer = static_cast<int16_t>(newSlot);
    ShowSourceNumber(station, number);

    ReportSourceList(station);
    return entry;
}

}  // namespace bf
