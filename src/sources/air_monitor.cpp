#include "sources/air_monitor.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "core/monitor_line.h"
#include "core/station.h"
#include "core/station_log.h"
#include "core/stream_address.h"
#include "core/text_decode.h"
#include "core/text_file.h"
#include "sources/air_hearing.h"
#include "sources/health_check.h"
#include "sources/player_control.h"
#include "sources/watchdog.h"

namespace bf {

namespace {

// The level of a line that tells none: no sound measured.
constexpr double kNoLevel = -120;

// Bytes a monitor may leave without a line end before the rest is dropped
// (a title line is the longest).
constexpr size_t kLongestLine = 4200;
// What the log says of a monitor's reason.
constexpr size_t kLongestReason = 120;

double Now(const Station& station) {
    return station.clock.monotonicSeconds();
}

StreamWatch* Find(AirState& air, std::string_view address) {
    const auto it = std::ranges::find(air.watches, address, &StreamWatch::address);
    return it == air.watches.end() ? nullptr : &*it;
}

// Whether the titles of the source on air come from its monitor: the player
// opens it through FFmpeg or as a playlist, or its codec carries its titles
// in the stream (Vorbis, Opus, FLAC), which MPlayer does not tell. Nullopt
// while its player has not yet named its codec.
std::optional<bool> TitlesFromMonitor(Station& station) {
    const int slot = station.onAir.CurrentMplayer();
    if (slot < 1 || slot > 2 || station.onAir.lastResortOnAir()) return false;
    PlayerProgress& player = station.air.players[static_cast<size_t>(slot)];
    if (player.titlesFromMonitor) return player.titlesFromMonitor;
    std::optional<bool>& fromMonitor = player.codecTitlesFromMonitor;
    if (player.codecOf != station.onAir.since()) fromMonitor.reset();
    player.codecOf = station.onAir.since();
    if (fromMonitor) return fromMonitor;
    // MPlayer names its codec once, near the start of its log.
    constexpr std::string_view kCodec = "Selected audio codec: [";
    const std::optional<std::string> head = ReadFileHead(station.file(PlayerFilesOf(slot).log), 16 * 1024);
    const size_t at = head ? head->find(kCodec) : std::string::npos;
    if (at == std::string::npos) return std::nullopt;
    const std::string_view codec =
        std::string_view(*head).substr(at + kCodec.size(), head->find(']', at) - at - kCodec.size());
    fromMonitor =
        codec.find("vorbis") != std::string_view::npos || codec.find("opus") != std::string_view::npos ||
        codec.find("flac") != std::string_view::npos || codec.find("speex") != std::string_view::npos;
    return fromMonitor;
}

// How often a standby's monitor decodes a sample with SilenceSeconds set:
// a silence is said within SilenceSeconds and this period.
double StandbySamplePeriod(int silenceSeconds) {
    return std::clamp(silenceSeconds / 2.0, 2.0, 30.0);
}

struct Wanted {
    std::string address;
    double samplePeriod = 0;  // a standby link only, heard by samples
};

// The streams to listen to: the one under test, during a failover the
// backup's too, which may fail in turn, and the standby links'. Without the health check only a
// source titled by its monitor is listened to, for its titles.
std::vector<Wanted> WantedAddresses(Station& station) {
    std::vector<Wanted> wanted;
    const OnAirRecord& onAir = station.onAir;
    if (!onAir.everOnAir()) return wanted;
    if (!station.settings().CheckSource) {
        const std::string address = StreamAddress(onAir.source().url);
        if (!address.empty() && !onAir.lastResortOnAir() && TitlesFromMonitor(station) == true)
            wanted.push_back({address});
        return wanted;
    }
    const std::string tested = StreamAddress(onAir.underTest().url);
    if (!tested.empty()) wanted.push_back({tested});
    std::vector<Wanted> others;
    if (onAir.failover() != FailoverState::Normal && onAir.failover() != FailoverState::Suspect)
        others.push_back({StreamAddress(onAir.backup().url)});
    // The standby links of the chain, each by a monitor of its own.
    const int silence = station.settings().SilenceSeconds;
    for (const AirSource& link : StandbyLinks(station.workingFolder, station.settings(), onAir))
        others.push_back({StreamAddress(link.url), silence > 0 ? StandbySamplePeriod(silence) : 0});
    for (const Wanted& other : others)
        if (!other.address.empty() &&
            std::ranges::find(wanted, other.address, &Wanted::address) == wanted.end())
            wanted.push_back(other);
    return wanted;
}

// A monitor's byte count and levels.
void TakeCount(Station& station, StreamWatch& watch, const MonitorLine& line) {
    const double level = line.rms.value_or(kNoLevel);
    const double now = Now(station);
    // Between a standby's samples the bytes alone are told.
    const bool levels = line.rms || watch.samplePeriod <= 0;
    if (line.bytes > watch.bytes) {
        // A stall breaks the flow; a new connection starts a new one.
        if (line.bytes > 0 && (watch.flowingSince == 0 || now - watch.moved > kStallSeconds))
            watch.flowingSince = now;
        watch.moved = now;
    }
    watch.bytes = line.bytes;
    if (levels) watch.level = level;
    // The level is that of the half second before the line; a monitor that
    // tells none hears no silence.
    if (!levels) {
    } else if (level >= station.settings().SilenceLevel || !line.rms) {
        watch.quietSince = 0;
    } else {
        if (watch.quietSince == 0) watch.quietSince = now - kLevelSpanSeconds;
        watch.quietHeard = now;
    }
    // One channel quiet while the other plays: a lost channel.
    for (size_t c = 0; c < 2; ++c) {
        const std::optional<double> mine = c == 0 ? line.left : line.right;
        const std::optional<double> other = c == 0 ? line.right : line.left;
        const int16_t floor = station.settings().SilenceLevel;
        if (!mine || !other || *mine >= floor || *other < floor)
            watch.channelQuietSince[c] = 0;
        else if (watch.channelQuietSince[c] == 0)
            watch.channelQuietSince[c] = now - kLevelSpanSeconds;
    }
    // Audio came: the stream is there, and heard.
    if (line.bytes > 0) {
        watch.ended.clear();
        watch.ends = 0;
        watch.deaf.clear();
        watch.deafLogged = false;
    }
}

void TakeLine(Station& station, StreamWatch& watch, std::string_view text) {
    const std::optional<MonitorLine> line = ParseMonitorLine(text);
    if (!line) return;
    watch.heard = Now(station);
    switch (line->kind) {
        case MonitorLine::Kind::Title:
            // The first title after it connected is the title of the moment.
            watch.titles.push_back({line->text, watch.titleRead, 0});
            if (watch.titles.size() > kMonitorTitlesKept + kMonitorPaidTitlesKept) {
                watch.titles.erase(watch.titles.begin());
                ++station.air.onAirTitles.dropped;
            }
            watch.titleRead = true;
            break;
        case MonitorLine::Kind::Entry:
            // The monitor heard the address as a playlist: the player is to
            // read it as one too.
            NotePlaylist(station.air.playlists, watch.address);
            if (station.air.playlistEntries.size() < kPlaylistEntriesKept ||
                station.air.playlistEntries.contains(watch.address))
                station.air.playlistEntries[watch.address] = std::string(CutAtCharacter(line->text, 2048));
            break;
        case MonitorLine::Kind::StreamGone:
            watch.lastWords = std::string(CutAtCharacter(line->text, kLongestReason));
            break;
        case MonitorLine::Kind::CannotRead:
            watch.deaf =
                "it cannot read the stream (" + std::string(CutAtCharacter(line->text, kLongestReason)) + ")";
            break;
        case MonitorLine::Kind::Count:
            TakeCount(station, watch, *line);
            break;
    }
}

void TakeOutput(Station& station, StreamWatch& watch) {
    std::string text = watch.pending + station.processes.readOutput(*watch.monitor);
    size_t from = 0;
    for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', from)) {
        TakeLine(station, watch, std::string_view(text).substr(from, end - from));
        from = end + 1;
    }
    watch.pending = text.substr(from).substr(0, kLongestLine);
}

void Listen(Station& station, StreamWatch& watch) {
    const double now = Now(station);
    bool reconnect = false;
    if (watch.monitor) {
        TakeOutput(station, watch);
        if (station.processes.stillRunning(*watch.monitor)) {
            if (now - std::max(watch.monitorStarted, watch.heard) < kMonitorMuteSeconds) return;
            watch.lastWords = "its monitor said nothing for " +
                              std::to_string(static_cast<int>(kMonitorMuteSeconds)) + " s";
        } else {
            // Its last words may have come after the read above.
            TakeOutput(station, watch);
        }
        station.processes.stopProgram(*watch.monitor);
        watch.monitor.reset();
        watch.endedAt = now;
        // A closed connection may be the server's whim: the monitor connects
        // again at once, and only a second failure in a row calls the stream
        // dead. A stream that still moved is given a few seconds for it.
        if (!watch.lastWords.empty()) {
            watch.ended = watch.lastWords;
            watch.ends = std::min(watch.ends + 1, 3);
            reconnect = watch.ends == 1;
        }
        if (watch.deaf.empty() && watch.moved != 0 && now - watch.moved <= kStallSeconds)
            watch.graceUntil = now + kReconnectSeconds;
        if (!watch.deaf.empty() && !watch.deafLogged) {
            watch.deafLogged = true;
            AddToAirLog(station,
                        "  SYS - STREAM MONITOR CANNOT HEAR " +
                            std::string(CutAtCharacter(watch.address, 120)) + ": " + watch.deaf +
                            " - ITS STALLS AND SILENCE GO UNHEARD",
                        LogPriority::Warning);
        }
    }
    if (watch.monitor) return;
    const double wait = watch.deaf.empty() ? kMonitorRestartSeconds : kDeafRetrySeconds;
    if (!reconnect && now - watch.endedAt < wait) return;
    // A new monitor starts from a connection of its own: its byte count
    // starts again, its stall does not.
    // Decoding the audio costs most of the monitor's time: it is asked for
    // only when the station listens for silence.
    std::vector<std::string> arguments{watch.address};
    watch.samplePeriod = station.settings().SilenceSeconds > 0 ? watch.sampleWanted : 0;
    if (station.settings().SilenceSeconds <= 0)
        arguments.insert(arguments.begin(), "--no-levels");
    else if (watch.samplePeriod > 0)
        arguments.insert(arguments.begin(),
                         {"--sample-every", std::to_string(std::lround(watch.samplePeriod))});
    watch.monitor = station.processes.startProgram(station.options.monitorProgram, arguments, true);
    watch.monitorStarted = now;
    watch.bytes = -1;
    watch.flowingSince = 0;
    watch.pending.clear();
    watch.lastWords.clear();
    watch.titleRead = false;
    if (watch.monitor) {
        station.air.monitorStarts = true;
        return;
    }
    watch.deaf =
        "the monitor " + std::string(CutAtCharacter(station.options.monitorProgram, 80)) + " cannot start";
    watch.endedAt = now;
    if (!station.air.monitorMissingLogged)
        AddToAirLog(station,
                    "  SYS - STREAM MONITOR " +
                        std::string(CutAtCharacter(station.options.monitorProgram, 80)) +
                        " CANNOT START - STALLS AND SILENCE GO UNHEARD",
                    LogPriority::Error);
    station.air.monitorMissingLogged = true;
    watch.deafLogged = true;
}

bool Paid(const ToldTitle& title) {
    return title.text.starts_with("$ ");
}

// Keeps the titles waiting for the reader within their bound: the oldest
// unpaid one goes first; paid ones (billed) only past their own bound.
void Bound(MonitorTitles& titles) {
    while (titles.told.size() > kMonitorTitlesKept) {
        const size_t paid = static_cast<size_t>(std::ranges::count_if(titles.told, Paid));
        auto drop = std::ranges::find_if(titles.told, [](const ToldTitle& t) { return !Paid(t); });
        if (drop == titles.told.end()) {
            if (paid <= kMonitorPaidTitlesKept) return;
            drop = titles.told.begin();
        }
        titles.told.erase(drop);
        ++titles.dropped;
    }
}

// The titles of the source on air wait for the title reader when they come
// from its monitor; those of another stream, or of one the player titles,
// are dropped.
void PassTitles(Station& station) {
    MonitorTitles& titles = station.air.onAirTitles;
    const std::string address = StreamAddress(station.onAir.source().url);
    if (titles.address != address) {
        titles.address = address;
        titles.told.clear();
    }
    // What the reader has taken goes.
    const uint64_t taken = station.metadata.monitorTitles.next;
    while (!titles.told.empty() && titles.told.front().number < taken) titles.told.pop_front();
    const std::optional<bool> fromMonitor = TitlesFromMonitor(station);
    for (StreamWatch& watch : station.air.watches) {
        // Until the player names its codec, the titles wait.
        if (!fromMonitor && watch.address == address) continue;
        if (fromMonitor == true && watch.address == address) {
            for (ToldTitle& told : watch.titles) {
                told.number = titles.next++;
                titles.told.push_back(std::move(told));
            }
        }
        watch.titles.clear();
    }
    Bound(titles);
}

// A few hung restarts in a row are made at once; then the next waits until
// the oldest of them is kHungWindowSeconds old.
bool MayRestartHung(Station& station, const std::string& name) {
    AirState& air = station.air;
    const double now = Now(station);
    std::erase_if(air.hungRestarts, [&](double at) { return now - at >= kHungWindowSeconds; });
    if (air.hungRestarts.size() < kHungRestarts) {
        air.hungRestarts.push_back(now);
        air.hungRestartsHeldLogged = false;
        return true;
    }
    if (!air.hungRestartsHeldLogged)
        AddToAirLog(station,
                    "  SYS - PLAYER " + name + " HUNG AGAIN - " + std::to_string(kHungRestarts) +
                        " RESTARTS IN " + std::to_string(static_cast<int>(kHungWindowSeconds / 60)) +
                        " MIN, THE NEXT WAITS",
                    LogPriority::Error);
    air.hungRestartsHeldLogged = true;
    return false;
}

// A player that plays but whose sound output stands still while its stream
// flows, or that never starts to play, is hung: it is started again.
// MPlayer's export filter counts the audio blocks it passes on in
// mplayerN.export, a 64-bit count after 8 bytes.
void WatchPlayer(Station& station) {
    const OnAirRecord& onAir = station.onAir;
    const int slot = onAir.CurrentMplayer();
    if (slot < 1 || slot > 2 || onAir.restartPending()) return;
    PlayerProgress& progress = station.air.players[static_cast<size_t>(slot)];
    const double now = Now(station);
    if (progress.switchedAt != onAir.since()) {
        progress.switchedAt = onAir.since();
        progress.since = now;
        progress.playing = false;
        progress.blocks.reset();
        progress.moved = now;
    }
    // Only a stream that flows tells that the player, not the stream, is
    // stuck: one that flows steadily, not the burst a stalled server hands
    // the monitor's new connection.
    const std::string name = PlayerName(slot);
    const Ears ears = EarsOf(station);
    const bool streamMoves =
        onAir.source().number < 0 ||
        (ears.onAir().sound == AirSound::Moving && ears.flowingFor(onAir.source().url) >= kSteadySeconds);
    std::string why;
    const std::optional<std::string> head = ReadFileHead(station.file(PlayerFilesOf(slot).audioCount), 16);
    if (!progress.playing && !PlayerHasStarted(station.workingFolder, slot)) {
        if (now - progress.since < kNeverPlayedSeconds || !streamMoves) return;
        why = "  SYS - PLAYER " + name + " HUNG (IT HAS NOT PLAYED IN " +
              std::to_string(static_cast<int>(kNeverPlayedSeconds)) + " S) - RESTARTING";
    } else {
        // The count means something once the player plays (then the start
        // of its log is read no more).
        progress.playing = true;
        if (!head || head->size() < 16) {
            progress.blocks.reset();
            progress.moved = now;
            return;
        }
        uint64_t blocks = 0;
        std::memcpy(&blocks, head->data() + 8, sizeof blocks);
        if (progress.blocks != blocks) {
            progress.blocks = blocks;
            progress.moved = now;
            return;
        }
        if (now - progress.moved < kHungSeconds || !streamMoves) return;
        why = "  SYS - PLAYER " + name + " HUNG (ITS SOUND STOOD STILL FOR " +
              std::to_string(static_cast<int>(kHungSeconds)) + " S AT BLOCK " + std::to_string(blocks) +
              ") - RESTARTING";
    }
    // A player that has gone is no hung one: the watchdog restarts it.
    if (station.processes.isRunning(name) != true) return;
    if (!MayRestartHung(station, name)) return;
    progress.since = now;
    progress.moved = now;
    RestartPlayer(station, why);
}

// A stall or silence of the source on air is told once as it begins; the
// sound moving again makes the next one news.
void TellTrouble(Station& station) {
    const Ears ears = EarsOf(station);
    if (!ears.listening() || station.onAir.lastResortOnAir()) return;
    const AirReading heard = ears.onAir();
    const int trouble = heard.sound == AirSound::Stalled || heard.sound == AirSound::Dead ? 1
                        : heard.sound == AirSound::Silent                                 ? 2
                                                                                          : 0;
    if (heard.sound == AirSound::Unknown || trouble == station.air.troubleTold) return;
    station.air.troubleTold = trouble;
    if (trouble != 0)
        PostEvent(station, &StationListener::airTrouble,
                  AirTrouble{station.onAir.source(), trouble == 2, heard.why});
}

// A channel of the source on air silent for SilenceSeconds while the other
// plays is said once, and once when it is heard again: a warning, not a
// reason to leave the source.
void TellChannels(Station& station) {
    AirState& air = station.air;
    const AirSource& source = station.onAir.source();
    if (air.channelSource != source.number || station.onAir.lastResortOnAir()) {
        air.channelSilentTold = {};
        air.channelSource = station.onAir.lastResortOnAir() ? int16_t{-1} : source.number;
    }
    const StreamWatch* watch = Find(air, StreamAddress(source.url));
    const int16_t seconds = station.settings().SilenceSeconds;
    for (size_t c = 0; c < 2; ++c) {
        const double since = watch && seconds > 0 ? watch->channelQuietSince[c] : 0;
        const bool silent = since != 0 && Now(station) - since >= seconds;
        if (silent == air.channelSilentTold[c] || air.channelSource < 0) continue;
        air.channelSilentTold[c] = silent;
        AddToAirLog(station,
                    "  SYS - SOURCE " + std::to_string(source.number) + " " + source.name + ": " +
                        (c == 0 ? "LEFT" : "RIGHT") + (silent ? " CHANNEL SILENT" : " CHANNEL HEARD AGAIN"),
                    silent ? LogPriority::Warning : LogPriority::Info);
        PostEvent(station, &StationListener::channelSilence,
                  ChannelSilence{source, static_cast<int>(c), silent});
    }
}

}  // namespace

void tmrAirMonitor_Timer(Station& station) {
    DeliveryScope scope(station.events, *station.listener);
    AirState& air = station.air;
    const std::vector<Wanted> wanted = WantedAddresses(station);
    std::erase_if(air.watches, [&](StreamWatch& watch) {
        if (std::ranges::find(wanted, watch.address, &Wanted::address) != wanted.end()) return false;
        if (watch.monitor) station.processes.stopProgram(*watch.monitor);
        return true;
    });
    for (const Wanted& want : wanted) {
        StreamWatch* watch = Find(air, want.address);
        if (!watch) {
            watch = &air.watches.emplace_back();
            watch->address = want.address;
            watch->watchedSince = Now(station);
            watch->endedAt = -kMonitorRestartSeconds;
        }
        watch->sampleWanted = want.samplePeriod;
        // A standby that goes on air is heard whole at once: its monitor
        // starts again (one on air that becomes a standby decodes on).
        if (watch->monitor && watch->samplePeriod > 0 && want.samplePeriod <= 0) {
            station.processes.stopProgram(*watch->monitor);
            watch->monitor.reset();
            watch->endedAt = -kMonitorRestartSeconds;
            // Its samples' quiet says nothing of the whole stream's.
            watch->quietSince = watch->quietHeard = 0;
            watch->channelQuietSince = {};
        }
    }
    for (StreamWatch& watch : air.watches) Listen(station, watch);
    PassTitles(station);
    if (!station.settings().CheckSource) return;
    TellTrouble(station);
    TellChannels(station);
    WatchPlayer(station);
    CheckByEar(station);
}

void StopAirMonitors(Station& station) {
    for (StreamWatch& watch : station.air.watches)
        if (watch.monitor) station.processes.stopProgram(*watch.monitor);
    station.air.watches.clear();
}

}  // namespace bf
