#include "metadata/player_log_reader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "core/player_files.h"
#include "core/station.h"
#include "core/text_decode.h"
#include "core/text_file.h"
#include "core/timer_names.h"
#include "metadata/metadata_outputs.h"
#include "metadata/now_playing.h"

namespace bf {

namespace {

// The stream header lines the player prints when it connects, in the order
// of StreamHeader; the prefixes are matched exactly, blanks and case
// included.
constexpr std::array<std::string_view, 6> kHeaderLines{
    "Name   : ", "Genre  : ", "Website: ", "Public : ", "Bitrate: ", "Selected audio codec: "};

constexpr std::string_view kTitlePrefix = "ICY Info: StreamTitle='";

// The title of an ICY line: the rest after the prefix without the closing
// "';"; a shorter remainder is kept as it is.
std::string_view TitleOf(std::string_view line) {
    std::string_view rest = line.substr(kTitlePrefix.size());
    if (rest.size() >= 2) rest.remove_suffix(2);
    return rest;
}

// The lines kept when a log is cut, by their place in PlayerLogPlace::kept:
// the stream header lines, the start of playback (which tells that the player
// plays) and the last title line.
constexpr std::string_view kStartedPrefix = "Starting playback...";
constexpr size_t kStartedLine = kHeaderLines.size();
constexpr size_t kTitleLine = kHeaderLines.size() + 1;
constexpr size_t kKeptLines = kHeaderLines.size() + 2;

// A player's log is cut in place once it has passed this size, as the station
// log moves aside at it. MPlayer prints at most some 260 bytes of a title: a
// new title every 512 bytes of a 128 kbit/s stream writes some 8 KB of log a
// second, one every 16 bytes some 250 KB; with a tick every 5 s the log
// stays under 3 MB.
constexpr uint64_t kPlayerLogLimit = 1024 * 1024;
// The log is read this much at a time, a step at each round of the event
// loop: a step of a title flood is some thousand titles, each recorded and
// a paid one logged and billed. At most kMostReads steps a tick (16 MiB).
constexpr size_t kReadStep = 256 * 1024;
constexpr int kMostReads = 64;
// Reads and cuts tried at one go, for a fresh log or a cut that failed.
constexpr int kMostTries = 16;
// A cut fails when the player wrote since the read; the read then goes on
// (a few lines: quick) and the cut is tried again, this many times a tick.
constexpr int kMostCuts = 8;
// A kept line longer than this (a hostile header) is not written back.
constexpr size_t kLongestKeptLine = 8 * 1024;
// The switch and the stream watch look for the start of playback in this
// many first bytes of the log (PlayerHasStarted). A title flood while the
// player fills its cache pushes the line further: the log is then cut, which
// writes it back first.
constexpr uint64_t kStartedWithin = 64 * 1024;
// How many of the bytes before the place's end tell the same log from a
// fresh one.
constexpr size_t kFingerprintBytes = 256;

// A track of the last resort plays: the as-run record gets its title.
void TrackStarts(Station& station, PlayerLogPlace& place) {
    if (place.trackFile.empty() || !station.onAir.lastResortOnAir()) return;
    const std::string title = !place.trackTitle.empty() && !place.trackArtist.empty()
                                  ? place.trackArtist + " - " + place.trackTitle
                              : !place.trackTitle.empty() ? place.trackTitle
                                                          : place.trackFile;
    place.trackFile.clear();
    PostEvent(station, &StationListener::lastResortTrack, title);
}

// Takes one complete line of the log: a title goes to the title intake, a
// header line's value to station.metadata.headers.
void TakeLine(Station& station, PlayerLogPlace& place, std::string_view line, bool titles) {
    // The rest of a line too long to take.
    if (place.skipping) {
        place.skipping = false;
        return;
    }
    // Every prefix starts with one of these letters; most lines are the
    // player's status lines and stop here.
    switch (line.empty() ? '\0' : line.front()) {
        case 'I': {
            if (!line.starts_with(kTitlePrefix)) return;
            // The first title of a log is the stream's title of the moment.
            const TitleArrival arrival =
                place.kept[kTitleLine].empty() ? TitleArrival::ReadAgain : TitleArrival::Announced;
            place.kept[kTitleLine] = std::string(line);
            if (titles) TakeTitle(station, TitleOf(line), arrival);
            return;
        }
        case ' ':
            // The tags of a file the player opened (" title: " from FFmpeg's demuxer).
            if (line.starts_with(" Title: ") || line.starts_with(" title: "))
                place.trackTitle = CutAtCharacter(line.substr(8), 200);
            if (line.starts_with(" Artist: ") || line.starts_with(" artist: "))
                place.trackArtist = CutAtCharacter(line.substr(9), 200);
            return;
        case 'S':
            if (line.starts_with(kStartedPrefix)) {
                place.kept[kStartedLine] = std::string(line);
                TrackStarts(station, place);
                return;
            }
            [[fallthrough]];
        case 'P':
            if (line.starts_with("Playing ") && line.ends_with(".")) {
                const std::string_view path = line.substr(8, line.size() - 9);
                place.trackFile = CutAtCharacter(path.substr(path.find_last_of('/') + 1), 200);
                place.trackTitle.clear();
                place.trackArtist.clear();
                return;
            }
            [[fallthrough]];
        case 'N':
        case 'G':
        case 'W':
        case 'B':
            for (size_t i = 0; i < kHeaderLines.size(); ++i) {
                if (line.starts_with(kHeaderLines[i])) {
                    place.kept[i] = std::string(line);
                    station.metadata.headers.values[i] = std::string(line.substr(kHeaderLines[i].size()));
                    return;
                }
            }
            return;
        default:
            return;
    }
}

// What a cut log starts with: the kept lines, each ended by LF as the player
// ends its lines; the start of playback first, where a look at the log's
// first bytes finds it.
std::string KeptText(const PlayerLogPlace& place) {
    std::string text;
    auto add = [&](const std::string& line) {
        if (line.empty() || line.size() > kLongestKeptLine) return;
        text += line;
        text += '\n';
    };
    add(place.kept[kStartedLine]);
    for (size_t i = 0; i < kKeptLines; ++i) {
        if (i != kStartedLine) add(place.kept[i]);
    }
    return text;
}

void MoveEnd(PlayerLogPlace& place, uint64_t end, std::string_view textToEnd) {
    place.end = end;
    place.before =
        std::string(textToEnd.substr(textToEnd.size() - std::min(textToEnd.size(), kFingerprintBytes)));
}

enum class LogRead { Missing, Done, More };

// Reads the slot's log on from where the last reading stopped and takes its
// new complete lines; a last line without its line end is still being
// written and is read whole on a later tick (a title caught half-written
// would count twice, and a paid one be billed twice). A log that has passed
// kPlayerLogLimit is then cut to its kept lines, and to the line being
// written, so that the player's next bytes continue it; so is a log whose
// start of playback lies beyond its first kStartedWithin bytes. More when a
// step was read and more follows; Missing when the log is missing or cannot
// be read.
LogRead FollowPlayerLog(Station& station, int16_t slot, bool titles) {
    PlayerLogPlace& place = station.metadata.playerLog;
    const std::filesystem::path path = station.file(PlayerFilesOf(slot).log);
    int cutsTried = 0;
    for (int tries = 0; tries < kMostTries; ++tries) {
        // The bytes before the end come along: the same log still holds them.
        const uint64_t from = place.end - std::min<uint64_t>(place.end, place.before.size());
        const std::optional<FilePart> part = ReadFileFrom(path, from, kReadStep + (place.end - from));
        if (!part) return LogRead::Missing;
        const std::string_view bytes(part->bytes);
        if (place.slot != slot || place.device != part->identity.device ||
            place.inode != part->identity.inode || bytes.size() < place.end - from ||
            !bytes.starts_with(place.before)) {
            const bool resuming = place.resumeSlot == slot;
            const int reads = place.tickReads;
            place = PlayerLogPlace();
            place.resuming = resuming;
            place.tickReads = reads;
            place.slot = slot;
            place.device = part->identity.device;
            place.inode = part->identity.inode;
            place.kept.resize(kKeptLines);
            continue;
        }
        const std::string_view text = bytes.substr(place.end - from);
        const size_t lastEnd = text.find_last_of("\r\n");
        size_t complete = lastEnd == std::string_view::npos ? 0 : lastEnd + 1;
        if (complete == 0 && text.size() == kReadStep) {
            // A whole read without a line end is no line the player writes.
            place.skipping = true;
            complete = text.size();
        } else {
            const bool started = !place.kept[kStartedLine].empty();
            ForEachLine(text.substr(0, complete), [&](std::string_view line) {
                TakeLine(station, place, line, titles && !place.resuming);
            });
            if (!started && !place.kept[kStartedLine].empty())
                place.startedFar =
                    place.end + text.find(kStartedPrefix) + kStartedPrefix.size() > kStartedWithin;
        }
        MoveEnd(place, place.end + complete, bytes.substr(0, bytes.size() - text.size() + complete));
        if (text.size() == kReadStep)  // more to read, at the next round or tick
            return ++place.tickReads < kMostReads ? LogRead::More : LogRead::Done;
        // A kept player's log has been read to its end: its title of the
        // moment counts as read again, and what follows as announced.
        if (std::exchange(place.resuming, false) && titles && !place.kept[kTitleLine].empty())
            TakeTitle(station, TitleOf(place.kept[kTitleLine]), TitleArrival::ReadAgain);

        const uint64_t readTo = from + bytes.size();
        if ((readTo <= kPlayerLogLimit && !place.startedFar) || cutsTried == kMostCuts) return LogRead::Done;
        ++cutsTried;
        std::string keep = KeptText(place);
        const size_t keptLines = keep.size();
        const std::string_view writing = text.substr(complete);
        const bool keepWriting = !place.skipping && writing.size() <= kLongestKeptLine;
        if (keepWriting) keep += writing;
        if (CutAppendedFile(path, part->identity, readTo, keep)) {
            MoveEnd(place, keptLines, std::string_view(keep).substr(0, keptLines));
            place.startedFar = false;
            // The rest of a line cut away, when it comes, is no line of its own.
            if (!writing.empty() && !keepWriting) place.skipping = true;
            return LogRead::Done;
        }
        // The player wrote meanwhile: read on and try again.
    }
    return LogRead::Done;
}

// Whether the titles of the source on air come from its stream monitor (the
// player tells none of them: a stream opened through FFmpeg, a playlist, Ogg),
// as its start found it.
bool TitlesComeFromMonitor(const Station& station) {
    const int16_t slot = station.onAir.CurrentMplayer();
    if (slot < 1 || slot > 2) return false;
    const PlayerProgress& player = station.air.players[static_cast<size_t>(slot)];
    return player.titlesFromMonitor.value_or(player.codecOf == station.onAir.since() &&
                                             player.codecTitlesFromMonitor == true);
}

// The titles the stream monitor told since the last tick, in order: the
// first after it connected is the title of the moment read again. Returns
// the title on air as the monitor last told it.
std::string TakeMonitorTitles(Station& station) {
    const MonitorTitles& told = station.air.onAirTitles;
    MonitorTitlesRead& read = station.metadata.monitorTitles;
    if (read.address != told.address) read = {told.address, read.next, {}};
    for (const ToldTitle& title : told.told) {
        if (title.number < read.next) continue;
        TakeTitle(station, title.text, title.announced ? TitleArrival::Announced : TitleArrival::ReadAgain);
        read.current = title.text;
        read.next = title.number + 1;
    }
    return read.current;
}

// Reads the log on a step; once it is read to its end, the tick's end.
void ReadOn(Station& station) {
    const int16_t slot = station.onAir.CurrentMplayer();
    const bool fromMonitor = TitlesComeFromMonitor(station);
    const LogRead read = slot != 0 ? FollowPlayerLog(station, slot, !fromMonitor) : LogRead::Missing;
    if (read == LogRead::More) {
        station.timers.start(TimerName::GetMetadataMore);
        return;
    }
    station.timers.stop(TimerName::GetMetadataMore);
    std::string title;
    if (read == LogRead::Done && !station.metadata.playerLog.kept[kTitleLine].empty())
        title = std::string(TitleOf(station.metadata.playerLog.kept[kTitleLine]));
    if (fromMonitor) title = TakeMonitorTitles(station);
    HoldTitle(station, title);
    ProduceMetadataOutputs(station);
}

}  // namespace

void tmrGetMetadata_Timer(Station& station) {
    station.metadata.playerLog.tickReads = 0;
    ReadOn(station);
}

void tmrGetMetadataMore_Timer(Station& station) {
    ReadOn(station);
}

}  // namespace bf
