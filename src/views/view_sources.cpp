#include "views/view_sources.h"

#include <string>

#include "core/station.h"
#include "core/time_format.h"
#include "sources/air_hearing.h"
#include "sources/source_list.h"

namespace bf {

namespace {

void DrawOnAir(const OnAirRecord& onAir, ConsoleModel& c) {
    if (!onAir.everOnAir()) return;
    c.lblCurrentSource.caption = onAir.source().url;
    c.lblStudio.caption = onAir.source().name;
    c.lblSourceNumber.caption = std::to_string(onAir.CurrentSource());
    c.lblSourceDisp.caption = c.lblSourceNumber.caption;
}

// A slot's label shows its digit while its player runs.
void DrawPlayers(const AirState& air, ConsoleModel& c) {
    const std::pair<Label*, const char*> slots[] = {{&c.lblMplayer1, "1"}, {&c.lblMplayer2, "2"}};
    for (int slot = 1; slot <= 2; ++slot) {
        const std::optional<bool>& running = air.players[static_cast<size_t>(slot)].seenRunning;
        if (running) slots[slot - 1].first->caption = *running ? slots[slot - 1].second : "";
    }
}

// The silence lamp tells only trouble.
void DrawAir(const Station& station, ConsoleModel& c) {
    const AirSound sound = EarsOf(station).onAir().sound;
    const bool trouble = sound == AirSound::Stalled || sound == AirSound::Silent || sound == AirSound::Dead ||
                         station.onAir.lastResortOnAir();
    c.lblSilence.caption = trouble && EarsOf(station).listening() ? EarsOf(station).inWords() : "";
}

std::string VerdictText(const CheckRecord& check) {
    switch (check.verdict()) {
        case CheckVerdict::Off:
            return "DISABLED";
        case CheckVerdict::Waiting:
            return "WAITING";
        case CheckVerdict::FirstFailure:
            return "SERVER OR LINK FAILURE - FIRST CHECK";
        case CheckVerdict::Failure:
            return "SERVER OR LINK FAILURE at " + FormatTime(check.failedAt());
        case CheckVerdict::Online:
        case CheckVerdict::NotSetUp:
            break;
    }
    return "SELECTED SOURCE ONLINE";
}

void DrawCheck(const CheckRecord& check, ConsoleModel& c) {
    if (check.lastPassed()) c.lblFail.backColour = *check.lastPassed() ? Colour::Green : Colour::Red;
    const CheckNote& note = check.note();
    switch (note.kind) {
        case CheckNote::Kind::RequestFailed:
            c.lblDebug.caption = note.text + ": " + FormatTime(note.at) + " / " + std::to_string(note.error);
            break;
        case CheckNote::Kind::Passed:
            c.lblDebug.caption.clear();
            break;
        case CheckNote::Kind::Restarted:
            c.lblDebug.caption = note.text;
            break;
        case CheckNote::Kind::None:
            break;
    }
    if (check.verdict() == CheckVerdict::NotSetUp) return;
    c.lblFailText.caption = VerdictText(check);
    c.lblFailCheckTime.caption = check.checkedAt() ? FormatTime(*check.checkedAt()) : "NONE";
    if (check.tested())
        c.lblFailURL.caption = check.address();
    else
        c.lblFailURL.caption = check.verdict() == CheckVerdict::Off ? "NONE" : "PERFORMING INITIAL CHECKS";
}

}  // namespace

void DrawSources(const Station& station, ConsoleModel& console) {
    DrawOnAir(station.onAir, console);
    console.lblChain.caption = ChainRow(ChainOf(station.workingFolder, station.settings(), station.onAir));
    DrawPlayers(station.air, console);
    DrawAir(station, console);
    DrawCheck(station.check, console);
}

std::vector<ChainLink> ChainOf(const std::filesystem::path& folder, const Settings& settings,
                               const OnAirRecord& onAir) {
    std::vector<ChainLink> chain;
    const SourceTable table = ReadSourceTable(folder);
    const bool hearing = settings.StandbyCheck && settings.CheckSource;
    for (const int16_t number : PlayableChain(settings.BackupChain, table)) {
        const SourceEntry& entry = table[static_cast<size_t>(number)];
        using Link = OnAirState::Link;
        const Link heard = hearing ? onAir.state().links[static_cast<size_t>(number)] : Link::Unheard;
        const std::string_view state = onAir.CurrentSource() == number && !onAir.lastResortOnAir() ? "on air"
                                       : heard == Link::Heard                                      ? "standby"
                                       : heard == Link::Failing                                    ? "failing"
                                       : heard == Link::Held                                       ? "held"
                                                             : "unheard";
        chain.push_back({number, entry.name, state});
    }
    return chain;
}

std::string ChainRow(const std::vector<ChainLink>& chain) {
    std::string row;
    for (const ChainLink& link : chain)
        row += (row.empty() ? "" : " > ") + std::to_string(link.source) + " " + link.name + " (" +
               std::string(link.state) + ")";
    return row.empty() ? "none" : row;
}

}  // namespace bf
