#include "metadata/player_log_reader.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "core/station.h"
#include "core/text_file.h"
#include "metadata/metadata_outputs.h"

namespace bf {

namespace {

struct HeaderLine {
    std::string_view prefix;
    Label ConsoleModel::*label;
};

// The stream header lines the player prints when it connects; the prefixes
// are matched exactly, blanks and case included.
constexpr std::array<HeaderLine, 6> kHeaderLines{{
    {"Name   : ", &ConsoleModel::lblStreamName},
    {"Genre  : ", &ConsoleModel::lblStreamGenre},
    {"Website: ", &ConsoleModel::lblStreamWebsite},
    {"Public : ", &ConsoleModel::lblStreamPublic},
    {"Bitrate: ", &ConsoleModel::lblStreamBitrate},
    {"Selected audio codec: ", &ConsoleModel::lblStreamCodec},
}};

constexpr std::string_view kTitlePrefix = "ICY Info: StreamTitle='";

// What one reading of the log found: for each header line and for the title,
// the value of the last matching line. Views point into the log's text.
struct PlayerLogValues {
    std::array<std::optional<std::string_view>, kHeaderLines.size()> headers;
    std::string_view title;
};

void TakeLine(std::string_view line, PlayerLogValues& values) {
    if (line.starts_with(kTitlePrefix)) {
        std::string_view rest = line.substr(kTitlePrefix.size());
        // Drops the closing "';"; a shorter remainder is kept as it is.
        if (rest.size() >= 2) rest.remove_suffix(2);
        values.title = rest;
        return;
    }
    for (size_t i = 0; i < kHeaderLines.size(); ++i) {
        if (line.starts_with(kHeaderLines[i].prefix)) {
            values.headers[i] = line.substr(kHeaderLines[i].prefix.size());
            return;
        }
    }
}

// Reads the active player's log; an empty title when no player runs or its
// log is missing, unreadable or too big to hold in memory, and then the
// header labels stay as they are.
std::string ReadPlayerLog(Station& station) {
    const int16_t slot = station.state.CurrentMplayer;
    if (slot == 0) return {};
    const std::optional<std::string> log =
        ReadWholeFile(station.file("mplayer" + std::to_string(slot) + ".log"));
    if (!log) return {};

    // A last line without its line end is still being written: it is read
    // on a later tick, whole. A title caught half-written would otherwise
    // count as new twice, and a paid item would be billed twice.
    std::string_view complete(*log);
    const size_t lastEnd = complete.find_last_of("\r\n");
    complete = lastEnd == std::string_view::npos ? std::string_view() : complete.substr(0, lastEnd + 1);

    PlayerLogValues values;
    ForEachLine(complete, [&values](std::string_view line) {
        // Every prefix starts with one of these letters; most lines are the
        // player's status lines and stop here.
        switch (line.empty() ? '\0' : line.front()) {
            case 'I':
            case 'N':
            case 'G':
            case 'W':
            case 'P':
            case 'B':
            case 'S':
                TakeLine(line, values);
                break;
            default:
                break;
        }
    });
    for (size_t i = 0; i < kHeaderLines.size(); ++i) {
        if (values.headers[i])
            (station.console.*kHeaderLines[i].label).caption = std::string(*values.headers[i]);
    }
    return std::string(values.title);
}

}  // namespace

void tmrGetMetadata_Timer(Station& station) {
    StationState& s = station.state;
    const std::string title = ReadPlayerLog(station);
    const bool isNew = title != s.PreviousMetadata;

    if (!title.empty() && title != station.console.lblRXmetadata.caption)
        station.counters.countTitleChange(s.SystemRuntime, station.clock.now().unixSeconds);
    if (!title.empty()) station.console.lblRXmetadata.caption = title;
    if (isNew && IsSystemCommand(title)) LogSystemCommand(station, title);
    // After a player restart, a failover return or a switch the first tick
    // often finds no title; the stream then announces the same paid title
    // again. It is a new airing only when another title came in between.
    const bool sameAiring = !title.empty() && title == s.PaidTitleOnAir;
    if (!title.empty() && !sameAiring) s.PaidTitleOnAir.clear();
    if (IsBillingTitle(title)) {
        if (isNew && !sameAiring) WriteBillingOutputs(station, title);
        s.RXmetadata = s.DefaultStrapline;
    } else if (!title.empty()) {
        s.RXmetadata = title;
    }
    s.PreviousMetadata = title;
    ProduceMetadataOutputs(station);
}

}  // namespace bf
