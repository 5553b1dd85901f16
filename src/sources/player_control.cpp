#include "sources/player_control.h"

#include <filesystem>
#include <optional>
#include <vector>

#include "core/station.h"
#include "core/station_log.h"
#include "core/text_file.h"

namespace bf {

std::string PlayerName(int slot) {
    if (slot != 1 && slot != 2) return {};
    return "mplayer" + std::to_string(slot);
}

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

void StartPlayer(Station& station, int slot, const std::string& input, PlayerInput kind) {
    const std::string name = PlayerName(slot);
    if (name.empty()) return;
    std::vector<std::string> args =
        kind == PlayerInput::Url ? SplitAtBlanks(input) : std::vector<std::string>{"-loop", "0", input};
    args.push_back("-quiet");
    // Without a console window of its own the player would read end-of-file
    // on its input and fill its log with status lines.
    args.push_back("-noconsolecontrols");
    // The count of audio blocks the player passes on tells whether it plays
    // (a relative name: ":" would end the filter's file name). The last
    // run's count would mislead: it goes.
    RemoveFile(station.file(name + ".export"));
    if (station.state.CheckSource) {
        args.push_back("-af-add");
        args.push_back("export=" + name + ".export:512");
    }
    // The slot's last run keeps its words (why it ended) beside the new log.
    std::error_code ec;
    std::filesystem::rename(station.file(name + ".log"), station.file(name + ".log.1"), ec);
    // Whether the player keeps running is the watchdog's business; a start
    // that failed outright is logged once for a run of failures.
    const bool started = station.processes.startPlayer(station.file(name).string(), args,
                                                       station.file(name + ".log").string());
    bool& failing = station.air.players[static_cast<size_t>(slot)].startFailed;
    if (!started && !failing)
        AddToAirLog(station, "  SYS - PLAYER " + name + " CANNOT START (" + station.file(name).string() + ")",
                    LogPriority::Error);
    failing = !started;
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

bool PlayerHasStarted(const Station& station, int slot) {
    constexpr size_t kHead = 64 * 1024;
    const std::string name = PlayerName(slot);
    if (name.empty()) return false;
    const std::optional<std::string> head = ReadFileHead(station.file(name + ".log"), kHead);
    return head && head->find("Starting playback...") != std::string::npos;
}

}  // namespace bf
