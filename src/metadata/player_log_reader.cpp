#include "metadata/player_log_reader.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

// The title of an ICY line: the rest after the prefix without the closing
// "';"; a shorter remainder is kept as it is.
std::string_view TitleOf(std::string_view line) {
    std::string_view rest = line.substr(kTitlePrefix.size());
    if (rest.size() >= 2) rest.remove_suffix(2);
    return rest;
}

// Airings of paid items told apart, one title line of the log at a time, in
// order. `before` is the title line before it in the same log; there is none
// for the first title of a fresh log, which is the stream's title of the
// moment read again (after a start of the program or of a player, or a
// switch), not one the stream announced. An announced title that changes
// ends the airing on air, or begins a new one when it is paid; a title read
// again ends nothing, and the paid title on air read again is the same
// airing. Returns true when the title begins a paid airing.
bool BeginsPaidAiring(std::string& paidTitleOnAir, std::string_view title,
                      std::optional<std::string_view> before) {
    if (before) {
        if (title == *before) return false;
        if (!IsBillingTitle(title)) {
            paidTitleOnAir.clear();
            return false;
        }
    } else if (!IsBillingTitle(title) || title == paidTitleOnAir) {
        return false;
    }
    paidTitleOnAir = std::string(title);
    return true;
}

// What one reading of the log found: for each header line and for the title,
// the value of the last matching line. Views point into the log's text.
struct PlayerLogValues {
    std::array<std::optional<std::string_view>, kHeaderLines.size()> headers;
    std::string_view title;
};

// The title of the log's last ICY line (empty when none), and the paid title
// whose airing began since the last reading, if one did.
struct PlayerLogTitles {
    std::string title;
    std::vector<std::string> paidAirings;
};

void TakeHeaderLine(std::string_view line, PlayerLogValues& values) {
    for (size_t i = 0; i < kHeaderLines.size(); ++i) {
        if (line.starts_with(kHeaderLines[i].prefix)) {
            values.headers[i] = line.substr(kHeaderLines[i].prefix.size());
            return;
        }
    }
}

// Whether the log still holds the mark's line where the last reading left
// it: then the title lines after the mark are the ones the stream announced
// since. Any other log is a fresh one, read from its start.
bool ReadsOn(const TitleMark& mark, int16_t slot, std::string_view log) {
    return mark.slot == slot && !mark.line.empty() && mark.end >= mark.line.size() &&
           mark.end <= log.size() && log.substr(mark.end - mark.line.size(), mark.line.size()) == mark.line;
}

// Reads the active player's log; nothing when no player runs or its log is
// missing, unreadable or too big to hold in memory, and then the header
// labels stay as they are.
PlayerLogTitles ReadPlayerLog(Station& station) {
    StationState& s = station.state;
    const int16_t slot = station.onAir.CurrentMplayer();
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

    TitleMark& mark = s.PlayerLogMark;
    const bool readOn = ReadsOn(mark, slot, complete);
    const size_t newFrom = readOn ? mark.end : 0;
    std::optional<std::string_view> before;
    if (readOn) before = TitleOf(mark.line);
    std::string_view lastTitleLine;

    PlayerLogValues values;
    PlayerLogTitles titles;
    ForEachLine(complete, [&](std::string_view line) {
        // Every prefix starts with one of these letters; most lines are the
        // player's status lines and stop here.
        switch (line.empty() ? '\0' : line.front()) {
            case 'I':
                if (!line.starts_with(kTitlePrefix)) break;
                values.title = TitleOf(line);
                if (static_cast<size_t>(line.data() - complete.data()) < newFrom) break;
                if (BeginsPaidAiring(s.PaidTitleOnAir, values.title, before))
                    titles.paidAirings = {std::string(values.title)};
                before = values.title;
                lastTitleLine = line;
                break;
            case 'N':
            case 'G':
            case 'W':
            case 'P':
            case 'B':
            case 'S':
                TakeHeaderLine(line, values);
                break;
            default:
                break;
        }
    });
    if (!lastTitleLine.empty()) {
        mark = {slot, static_cast<size_t>(lastTitleLine.data() - complete.data()) + lastTitleLine.size(),
                std::string(lastTitleLine)};
    }
    for (size_t i = 0; i < kHeaderLines.size(); ++i) {
        if (values.headers[i])
            (station.console.*kHeaderLines[i].label).caption = std::string(*values.headers[i]);
    }
    titles.title = std::string(values.title);
    return titles;
}

// The titles a stream monitor told for a source whose titles the player does
// not tell: the first after the monitor connected is the title of the
// moment read again, the others were announced.
PlayerLogTitles ReadMonitorTitles(Station& station) {
    MonitorTitles& told = station.air.onAirTitles;
    PlayerLogTitles titles;
    for (const ToldTitle& title : std::exchange(told.told, {})) {
        std::optional<std::string_view> before;
        if (title.announced) before = told.current;
        if (BeginsPaidAiring(station.state.PaidTitleOnAir, title.text, before))
            titles.paidAirings.push_back(title.text);
        told.current = title.text;
    }
    titles.title = told.current;
    return titles;
}

bool TitledByMonitor(const Station& station) {
    const int16_t slot = station.onAir.CurrentMplayer();
    return slot >= 1 && slot <= 2 && station.air.players[static_cast<size_t>(slot)].titlesFromMonitor == true;
}

}  // namespace

void tmrGetMetadata_Timer(Station& station) {
    StationState& s = station.state;
    const PlayerLogTitles read =
        TitledByMonitor(station) ? ReadMonitorTitles(station) : ReadPlayerLog(station);
    const std::string& title = read.title;
    const bool isNew = title != s.PreviousMetadata;

    if (!title.empty() && title != station.console.lblRXmetadata.caption)
        station.listener->titleChanged(title);
    if (!title.empty()) station.console.lblRXmetadata.caption = title;
    if (isNew && IsSystemCommand(title)) LogSystemCommand(station, title);
    for (const std::string& paid : read.paidAirings) WriteBillingOutputs(station, paid);
    if (IsBillingTitle(title)) {
        s.RXmetadata = s.DefaultStrapline;
    } else if (!title.empty()) {
        s.RXmetadata = title;
    }
    s.PreviousMetadata = title;
    ProduceMetadataOutputs(station);
}

}  // namespace bf
