#include "sources/watchdog.h"

#include <optional>

#include "core/player_files.h"
#include "core/station.h"
#include "core/station_log.h"
#include "core/text_file.h"
#include "core/time_format.h"
#include "schedule/schedule_file.h"
#include "sources/air_hearing.h"
#include "sources/on_air.h"

namespace bf {

namespace {

constexpr double kMegabyte = 1024.0 * 1024.0;

// The daily refresh falls due when the wall clock passes its time, once a
// day: a look after it, the one before on an earlier day or before it.
void WatchDailyTime(AirState& air, int16_t at, const WallMoment& now) {
    const int second = at * 60;
    if (at < 0) {
        air.dailyRefreshDue = false;
    } else if (air.refreshLook && now.day != air.refreshDay && now.second >= second &&
               (air.refreshLook->first < now.day || air.refreshLook->second < second)) {
        air.dailyRefreshDue = true;
        air.refreshDay = now.day;
    }
    air.refreshLook = std::make_pair(now.day, now.second);
}

// Whether a schedule entry comes within the quiet stretch before it.
bool EntrySoon(const Station& station, const LocalTime& now) {
    if (station.schedule.mode != Mode::Automatic) return false;
    const std::optional<ScheduleOccurrence> next = NextEntry(station.schedule.entries, now);
    if (!next) return false;
    const WallMoment at = WallMomentOf(now);
    const int64_t seconds = (next->at.day - at.day) * 86400 + next->at.second - at.second;
    return seconds <= kQuietBeforeEntrySeconds;
}

// The player on air, refreshed when it is due and the failover policy
// finds a quiet moment.
void RefreshWhenDue(Station& station) {
    const Settings& s = station.settings();
    AirState& air = station.air;
    const LocalTime now = station.clock.now();
    WatchDailyTime(air, s.PlayerRefreshAt, WallMomentOf(now));
    if (s.PlayerRefreshHours <= 0 && s.PlayerMemoryLimitMB <= 0 && !air.dailyRefreshDue) return;
    const int16_t slot = station.onAir.CurrentMplayer();
    if ((slot != 1 && slot != 2) || station.onAir.restartPending()) return;
    const std::optional<ImageFigures> figures = station.processes.figuresOf(PlayerName(slot));
    if (!figures) return;
    const double monotonic = station.clock.monotonicSeconds();
    const double age = station.clock.bootSeconds() - figures->startedAfterBoot;
    const double megabytes = figures->residentBytes / kMegabyte;
    std::optional<RefreshReason> reason;
    if (air.dailyRefreshDue)
        reason = RefreshReason::Time;
    else if (s.PlayerRefreshHours > 0 && age >= s.PlayerRefreshHours * 3600)
        reason = RefreshReason::Age;
    else if (s.PlayerMemoryLimitMB > 0 && megabytes > s.PlayerMemoryLimitMB &&
             (air.memoryRefreshAt == 0 || monotonic - air.memoryRefreshAt >= kMemoryRefreshSeconds))
        reason = RefreshReason::Memory;
    if (!reason) return;
    // The player a refresh could not replace (its successor did not play)
    // plays on, and is tried again a while later.
    if (air.refreshTriedSlot == slot && monotonic - air.refreshTriedAt < kRefreshRetrySeconds) return;
    if (!Observe(station, air::Refresh{*reason, age / 3600, megabytes, EntrySoon(station, now)}).taken)
        return;
    air.refreshTriedSlot = slot;
    air.refreshTriedAt = monotonic;
    if (*reason == RefreshReason::Time) air.dailyRefreshDue = false;
    if (*reason == RefreshReason::Memory) air.memoryRefreshAt = monotonic;
}

}  // namespace

void RestartPlayer(Station& station, std::string_view why, bool stopAll) {
    const int16_t source = station.onAir.source().number;
    if (station.onAir.restartPending() || !station.onAir.everOnAir()) return;
    AddToAirLog(station, std::string(why), LogPriority::Warning);
    Observe(station, air::PlayerGone{stopAll});

    // The request above stands even when the restart log cannot be written.
    const LocalTime now = station.clock.now();
    const std::string line = "RESTART " + FormatDateMDY(now) + " " + FormatTime(now) +
                             " SOURCE:" + std::to_string(source) + "\r\n";
    AppendToFile(station.file("error.log"), line);
}

void tmrCheckMplayerOK_Timer(Station& station) {
    const std::optional<bool> slot1 = station.processes.isRunning(PlayerName(1));
    const std::optional<bool> slot2 = station.processes.isRunning(PlayerName(2));

    // An unreadable process table leaves what was seen before.
    if (slot1) station.air.players[1].seenRunning = slot1;
    if (slot2) station.air.players[2].seenRunning = slot2;

    // Only a process table that says both players are gone asks for a
    // restart; an unreadable one leaves the decision to the next tick.
    if (slot1 && slot2 && !*slot1 && !*slot2) {
        RestartPlayer(station, "  SYS - RESTARTING MPLAYER - POSSIBLE NETWORK ISSUE", true);
        return;
    }
    RefreshWhenDue(station);
}

bool PlayerOnAirEnded(Processes& processes, const OnAirRecord& onAir, const Ears& ears) {
    if (!onAir.everOnAir() || onAir.restartPending()) return false;
    const int16_t slot = onAir.CurrentMplayer();
    if (slot != 1 && slot != 2) return false;
    const std::string name = PlayerName(slot);
    // One not known (adopted, or named by itself) is found by the watchdog's
    // next look, and watched from then on.
    const std::optional<bool> runs = processes.foundStillRuns(name);
    if (runs != false) return false;
    const std::string& url = onAir.source().url;
    return !ears.listening() || !ears.hears(url) || ears.flowingFor(url) >= kSteadySeconds;
}

}  // namespace bf
