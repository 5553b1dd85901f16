#include "sources/on_air.h"

#include <string>
#include <type_traits>

#include "core/player_files.h"
#include "core/station.h"
#include "core/text_decode.h"
#include "core/text_file.h"
#include "core/timer_names.h"
#include "sources/air_hearing.h"
#include "sources/last_resort.h"
#include "sources/player_control.h"
#include "sources/source_list.h"

namespace bf {

// The one writer of the on-air record.
struct OnAirWriter {
    static void Write(Station& station, OnAirState next) { station.onAir.s_ = std::move(next); }
};

namespace {

air::Context ContextOf(const Station& station) {
    const Settings& s = station.settings();
    air::Context c;
    c.now = station.clock.monotonicSeconds();
    c.epoch = station.clock.now().epoch;
    c.automatic = station.schedule.mode == Mode::Automatic;
    c.checking = s.CheckSource;
    c.fast = s.FastFailover;
    c.lastResortFile = s.LastResortFile;
    c.lastResortPlays = [&station] {
        return ReadLastResort(station.workingFolder, station.settings().LastResortFile, 1).plays();
    };
    c.returnHoldSeconds = s.ReturnHoldSeconds;
    // A chain set without a word that is a source is set, and empty: the
    // policy falls back to source 0 and says so.
    const BackupChain chain = ParseBackupChain(s.BackupChain);
    c.chainSet = s.BackupChain.find_first_not_of(" \t") != std::string::npos;
    if (chain.named || !c.chainSet)
        c.chain = chain.links;
    else
        c.chain.clear();
    c.standbyCheck = s.StandbyCheck && s.CheckSource;
    c.playable = [&station](std::string_view number) -> std::optional<AirSource> {
        if (number.size() != 1 || number[0] < '0' || number[0] > '9') return std::nullopt;
        SourceEntry entry = FindSource(station.workingFolder, number);
        if (entry.url.size() < kShortestUrl) return std::nullopt;
        return AirSource{static_cast<int16_t>(number[0] - '0'), std::move(entry.name), std::move(entry.url)};
    };
    return c;
}

// Events reach the listeners in the order they were decided, after the
// record is written; so do the lines the policy says.
void Post(Station& station, const air::Told& told) {
    std::visit(
        [&station](const auto& event) {
            using Event = std::decay_t<decltype(event)>;
            station.events.post(*station.listener, [event](StationListener& listener) {
                if constexpr (std::is_same_v<Event, SwitchEvent>) listener.switched(event);
                if constexpr (std::is_same_v<Event, FailoverEvent>) listener.failoverStarted(event);
                if constexpr (std::is_same_v<Event, AirSource>) listener.returned(event);
                if constexpr (std::is_same_v<Event, RestartEvent>) listener.playerRestarted(event);
                if constexpr (std::is_same_v<Event, LastResortEvent>) listener.lastResort(event);
                if constexpr (std::is_same_v<Event, StandbyEvent>) listener.standby(event);
                if constexpr (std::is_same_v<Event, RefreshEvent>) listener.playerRefreshed(event);
                if constexpr (std::is_same_v<Event, RestartsHeld>) listener.restartsHeld(event);
            });
        },
        told.event);
}

// Whether the slot's player stands in (a failover: for the selected
// source's number) or plays what was chosen (none), as the record decided
// now says it; a player the record has off air is no stand-in.
std::optional<int16_t> RoleOf(const Station& station, int slot) {
    const OnAirState& state = station.onAir.state();
    const std::optional<AirSource> of = slot == state.onAir.slot ? air::StandsInFor(state) : std::nullopt;
    return of ? std::optional<int16_t>(of->number) : std::nullopt;
}

void CarryOut(Station& station, const air::Command& command) {
    if (const auto* start = std::get_if<air::StartPlayer>(&command)) {
        StartPlayer(station, start->slot, start->input, start->kind, RoleOf(station, start->slot));
    } else if (const auto* stop = std::get_if<air::StopPlayer>(&command)) {
        if (stop->slot == 0)
            StopPlayers(station.processes);
        else
            StopPlayer(station.processes, stop->slot);
    } else if (const auto* say = std::get_if<air::Say>(&command)) {
        station.events.post(*station.listener,
                            [&station, line = say->line, priority = say->priority](StationListener&) {
                                AddToAirLog(station, line, priority);
                            });
    } else if (std::holds_alternative<air::ClearOutputs>(command)) {
        RemoveFile(station.file("mplayer.log"));
        // Kept on air across starts, the now-playing files are replaced, never removed.
        if (!station.settings().KeepAirOnStart)
            for (const char* name : {"metadata.txt", "metaextra.txt"}) RemoveFile(station.file(name));
    } else if (const auto* told = std::get_if<air::Told>(&command)) {
        Post(station, *told);
    }
}

// The last line the slot's player wrote: often why it could not play.
std::string LastLine(const Station& station, int slot) {
    const std::optional<std::string> tail = ReadFileTail(station.file(PlayerFilesOf(slot).log), 2048);
    std::string last;
    if (tail)
        ForEachLine(*tail, [&](std::string_view line) {
            if (line.find_first_not_of(" \t") != std::string_view::npos) last = line;
        });
    return last.empty() ? "nothing in its log" : last;
}

}  // namespace

Observed Observe(Station& station, const air::Observation& observation) {
    DeliveryScope scope(station.events, *station.listener);
    air::Decision decision = air::Decide(station.onAir.state(), observation, ContextOf(station));
    OnAirWriter::Write(station, std::move(decision.next));
    // A switch the browser console chose tells who chose it.
    if (const auto* choice = std::get_if<air::Choice>(&observation))
        for (air::Command& command : decision.commands)
            if (auto* told = std::get_if<air::Told>(&command))
                if (auto* event = std::get_if<SwitchEvent>(&told->event);
                    event && event->cause == choice->cause)
                    event->by = choice->by;
    for (const air::Command& command : decision.commands) CarryOut(station, command);
    // A player on air may begin or end standing in without a start of its
    // own; one that plays what nobody wrote down has no role to tell.
    const OnAirStretch& onAir = station.onAir.state().onAir;
    if (onAir.source.number >= 0 || onAir.lastResort)
        NotePlayerRole(station.workingFolder, station.air, onAir.slot, RoleOf(station, onAir.slot));
    // The overlap looks at a new player until it plays or cannot.
    if (station.onAir.state().successor)
        station.timers.start(TimerName::SwitchOverlap);
    else
        station.timers.stop(TimerName::SwitchOverlap);
    return {decision.taken, decision.judged};
}

void tmrSwitchOverlap_Timer(Station& station) {
    const std::optional<Successor>& successor = station.onAir.state().successor;
    if (!successor) {
        station.timers.stop(TimerName::SwitchOverlap);
        return;
    }
    const int slot = station.onAir.CurrentMplayer();
    air::SuccessorSeen seen;
    seen.plays = PlayerHasStarted(station.workingFolder, slot);
    const double elapsed = station.clock.monotonicSeconds() - successor->started;
    if (!seen.plays && elapsed >= air::kOverlapSeconds) {
        seen.running = station.processes.isRunning(PlayerName(slot));
        // What the policy weighs once the new player has ended or had its time.
        if (seen.running == false || elapsed >= air::kOverlapLongestSeconds) {
            const int old = successor->previous.slot;
            if (old != 0) seen.oldRunning = station.processes.isRunning(PlayerName(old));
            const std::string last = LastLine(station, slot);
            seen.readingPlaylist = last.starts_with("Playlist ") && last.ends_with(": reading");
            seen.lastLine = std::string(CutAtCharacter(last, 100));
            const AirSound heard = EarsOf(station).hear(station.onAir.source().url).sound;
            seen.streamFails = heard == AirSound::Dead || heard == AirSound::Stalled;
        }
    }
    Observe(station, seen);
}

}  // namespace bf
