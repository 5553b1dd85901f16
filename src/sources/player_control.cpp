#include "sources/player_control.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <random>
#include <vector>

#include "core/file_trouble.h"
#include "core/station.h"
#include "core/station_log.h"
#include "core/stream_address.h"
#include "core/text_file.h"
#include "sources/last_resort.h"

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

struct PlayerCommand {
    std::string program;
    std::vector<std::string> args;
    // MPlayer tells the titles of what it opens itself, not of what it
    // opens through FFmpeg: those come from the stream's monitor.
    std::optional<bool> titlesFromMonitor;
};

// How a source's URL is handed to the player. A plain stream goes as it is;
// https and HLS through MPlayer's FFmpeg input (MPlayer's own HTTP has no
// TLS and cannot load HLS segments); a playlist through the monitor program,
// which reads it under the slot's name and then becomes the player with the
// playlist's streams.
PlayerCommand CommandFor(const Station& station, const std::string& name, const std::string& url) {
    PlayerCommand command{station.file(name).string(), SplitAtBlanks(url), {}};
    const auto address = std::ranges::find_if(
        command.args, [](const std::string& part) { return part.find("://") != std::string::npos; });
    if (address == command.args.end()) return command;
    const AddressForm form = FormOfAddress(*address);
    if (form.kind == AddressKind::Playlist || IsKnownPlaylist(station.air.playlists, *address)) {
        const std::string playlist = *address;
        command.args.erase(address);
        command.args.insert(command.args.begin(), {"--player", name, playlist});
        const std::vector<std::string> options = MonitorOptions(station.settings());
        command.args.insert(command.args.begin(), options.begin(), options.end());
        command.program = station.options.monitorProgram;
        command.titlesFromMonitor = true;
        return command;
    }
    *address = PlayerAddress(*address, form.kind);
    // What MPlayer opens through FFmpeg, FFmpeg also takes apart: MPlayer's
    // own probing seeks back in the stream, which a live stream refuses.
    if (address->starts_with("ffmpeg://")) {
        command.titlesFromMonitor = true;
        command.args.insert(command.args.begin(), {"-demuxer", "lavf"});
    }
    return command;
}

// MPlayer names a playlist it was handed as a stream: the address is a
// playlist by its content type, and is read as one from its next start.
void LearnPlaylist(Station& station, const PlayerFiles& files, const std::string& url) {
    constexpr size_t kHead = 16 * 1024;
    const std::optional<std::string> head = ReadFileHead(station.file(files.log), kHead);
    if (!head || head->find("Playlist parsing disabled for security reasons") == std::string::npos) return;
    const std::string address = StreamAddress(url);
    if (!address.empty() && head->find("Playing " + address + ".") != std::string::npos)
        NotePlaylist(station.air.playlists, address);
}

// A player's role as its record's third line says it.
std::string RoleLine(std::optional<int16_t> standsInFor) {
    return standsInFor ? "standsin " + std::to_string(*standsInFor) : "chosen";
}

// Written before the player starts: a record that names a player which never
// started belongs to a slot without a running player, which nobody adopts.
// The last resort is written down by its setting, marked as such. Its role
// comes last, on a line of its own, where an older version reads nothing.
// Whether it was written.
bool WritePlayerRecord(const std::filesystem::path& folder, const PlayerFiles& files, const std::string& url,
                       std::optional<bool> titlesFromMonitor, bool lastResort, const std::string& role,
                       bool newPlayer = true) {
    const std::filesystem::path path = folder / files.record;
    if (url.empty()) {
        RemoveFile(path);
        return false;
    }
    const char* titles = lastResort           ? "lastresort"
                         : !titlesFromMonitor ? ""
                         : *titlesFromMonitor ? "monitor"
                                              : "player";
    // A new player's record that cannot be written (a full disk) goes: an old
    // one would have the next start keep this player as what it played
    // before. A new role of the same player leaves its record as it was.
    if (ReplaceFile(path, url + "\r\n" + titles + "\r\n" + role + "\r\n")) return true;
    if (newPlayer) RemoveFile(path);
    return false;
}

}  // namespace

std::optional<PlayerRecord> ReadPlayerRecord(const std::filesystem::path& folder, int slot) {
    const PlayerFiles files = PlayerFilesOf(slot);
    if (files.name.empty()) return std::nullopt;
    const std::optional<std::vector<std::string>> lines = ReadLines(folder / files.record);
    if (!lines || lines->empty() || (*lines)[0].empty()) return std::nullopt;
    PlayerRecord record{(*lines)[0], {}};
    if (lines->size() > 1 && ((*lines)[1] == "monitor" || (*lines)[1] == "player"))
        record.titlesFromMonitor = (*lines)[1] == "monitor";
    if (lines->size() > 1 && (*lines)[1] == "lastresort")
        record.lastResort = true, record.titlesFromMonitor = false;
    const std::string role = lines->size() > 2 ? (*lines)[2] : "";
    if (role == "chosen") record.role = PlayerRecord::Role::Chosen;
    // "standsin N", N the source: one digit.
    if (role.starts_with("standsin ")) {
        record.role = PlayerRecord::Role::StandsIn;
        if (role.size() == 10 && role[9] >= '0' && role[9] <= '9')
            record.standsInFor = static_cast<int16_t>(role[9] - '0');
    }
    return record;
}

void NotePlayerRole(const std::filesystem::path& folder, AirState& air, int slot,
                    std::optional<int16_t> standsInFor) {
    if (slot < 1 || slot > kPlayerSlots) return;
    std::string& noted = air.players[static_cast<size_t>(slot)].role;
    const std::string role = RoleLine(standsInFor);
    if (noted == role) return;
    // Noted once written: a full disk's failed write is tried again at the
    // next decision.
    const std::optional<PlayerRecord> record = ReadPlayerRecord(folder, slot);
    if (!record || WritePlayerRecord(folder, PlayerFilesOf(slot), record->url, record->titlesFromMonitor,
                                     record->lastResort, role, false))
        noted = role;
}

void KeepPlayerRecord(AirState& air, int slot, const PlayerRecord& record) {
    if (slot >= 1 && slot <= kPlayerSlots)
        air.players[static_cast<size_t>(slot)].titlesFromMonitor = record.titlesFromMonitor;
}

bool IsKnownPlaylist(const std::vector<std::string>& known, std::string_view address) {
    return std::ranges::find(known, address) != known.end();
}

void NotePlaylist(std::vector<std::string>& known, std::string_view address) {
    if (IsKnownPlaylist(known, address)) return;
    // A few are kept: the sources of a station are few.
    if (known.size() >= 32) known.erase(known.begin());
    known.emplace_back(address);
}

std::vector<std::string> MonitorOptions(const Settings& settings) {
    if (settings.RemotePlaylistPrivate) return {};
    return {"--no-private"};
}

// The last resort's arguments: one file in a loop, or a folder's or a
// playlist's tracks, read again now and shuffled, in a loop. When the
// playlist cannot be written (a full disk), the tracks go to the player
// themselves, in `files`: MPlayer loops over every file it is given.
struct LastResortCommand {
    std::vector<std::string> args;
    std::vector<std::string> files;
};
LastResortCommand LastResortArgs(Station& station, const std::string& input) {
    const LastResortList list = ReadLastResort(station.workingFolder, input);
    if (list.kind == LastResortList::Kind::File || list.tracks.empty()) return {{"-loop", "0", input}, {}};
    const std::filesystem::path playlist = station.file("lastresort.m3u");
    const std::string shuffled = ShuffledPlaylist(list.tracks, std::random_device{}());
    // FFmpeg's demuxer reads every kind of file, and tells their tags. A
    // file of no audio may pass for a stream that only a pass-through
    // "decoder" takes, whose output the sound server refuses: the player
    // would end there, with the rest of the list. Without them, such a file
    // plays no sound and the next one follows.
    LastResortCommand command{{"-loop", "0", "-demuxer", "lavf", "-ac",
                               "-spdifaac,-spdifac3,-spdifeac3,-spdifdts,-spdifmpa,-spdifthd,"},
                              {}};
    if (NoteFileWrite(station, playlist.filename().string(), ReplaceFile(playlist, shuffled))) {
        command.args.insert(command.args.end(), {"-playlist", playlist.string()});
        return command;
    }
    // A command line has a limit (a folder of thousands of tracks would not
    // start at all): the shuffled list is cut well below it.
    constexpr size_t kArgumentBytes = 256 * 1024;
    size_t bytes = 0;
    ForEachLine(shuffled, [&](std::string_view track) {
        // A name that began with "-" would be read as an option.
        std::error_code ec;
        const std::filesystem::path path = std::filesystem::absolute(std::string(track), ec);
        if (ec || bytes + path.string().size() + 1 > kArgumentBytes) return;
        bytes += path.string().size() + 1;
        command.files.push_back(path.string());
    });
    return command;
}

void StartPlayer(Station& station, int slot, const std::string& input, PlayerInput kind,
                 std::optional<int16_t> standsInFor) {
    const PlayerFiles files = PlayerFilesOf(slot);
    const std::string& name = files.name;
    if (name.empty()) return;
    if (kind == PlayerInput::Url) LearnPlaylist(station, files, input);
    LastResortCommand lastResort;
    if (kind != PlayerInput::Url) lastResort = LastResortArgs(station, input);
    PlayerCommand command = kind == PlayerInput::Url ? CommandFor(station, name, input)
                                                     : PlayerCommand{station.file(name).string(),
                                                                     std::move(lastResort.args), false};
    station.air.players[static_cast<size_t>(slot)].titlesFromMonitor = command.titlesFromMonitor;
    station.air.players[static_cast<size_t>(slot)].role = RoleLine(standsInFor);
    WritePlayerRecord(station.workingFolder, files, input, command.titlesFromMonitor,
                      kind != PlayerInput::Url, RoleLine(standsInFor));
    std::vector<std::string>& args = command.args;
    args.push_back("-quiet");
    // Without a console window of its own the player would read end-of-file
    // on its input and fill its log with status lines.
    args.push_back("-noconsolecontrols");
    // The count of audio blocks the player passes on tells whether it plays
    // (a relative name: ":" would end the filter's file name). The last
    // run's count would mislead: it goes.
    RemoveFile(station.file(files.audioCount));
    if (station.settings().CheckSource) {
        args.push_back("-af-add");
        args.push_back("export=" + files.audioCount + ":512");
    }
    // Options after a file are that file's alone: the files come last.
    args.insert(args.end(), lastResort.files.begin(), lastResort.files.end());
    // The slot's last run keeps its words (why it ended) beside the new log.
    std::error_code ec;
    std::filesystem::rename(station.file(files.log), station.file(files.previousLog), ec);
    // Whether the player keeps running is the watchdog's business; a start
    // that failed outright is logged once for a run of failures.
    const bool started =
        station.processes.startPlayer(command.program, args, station.file(files.log).string());
    bool& failing = station.air.players[static_cast<size_t>(slot)].startFailed;
    if (!started && !failing)
        AddToAirLog(station, "  SYS - PLAYER " + name + " CANNOT START (" + station.file(name).string() + ")",
                    LogPriority::Error);
    failing = !started;
}

void StopPlayer(Processes& processes, int slot) {
    const std::string name = PlayerName(slot);
    if (name.empty()) return;
    processes.killByName(name);
}

void StopPlayers(Processes& processes) {
    StopPlayer(processes, 1);
    StopPlayer(processes, 2);
}

bool PlayerHasStarted(const std::filesystem::path& folder, int slot) {
    constexpr size_t kHead = 64 * 1024;
    const PlayerFiles files = PlayerFilesOf(slot);
    if (files.name.empty()) return false;
    const std::optional<std::string> head = ReadFileHead(folder / files.log, kHead);
    return head && head->find("Starting playback...") != std::string::npos;
}

}  // namespace bf
