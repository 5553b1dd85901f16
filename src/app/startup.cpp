#include "app/startup.h"

#include "apiserver/api_server.h"
#include "app/station_check.h"
#include "app/timer_table.h"
#include "core/api_key.h"
#include "core/settings.h"
#include "core/station.h"
#include "core/station_log.h"
#include "core/text_file.h"
#include "core/time_format.h"
#include "core/timer_names.h"
#include "metadata/billing_reporter.h"
#include "metadata/now_playing.h"
#include "schedule/event_tick.h"
#include "schedule/next_event.h"
#include "sources/health_check.h"
#include "sources/on_air.h"
#include "sources/player_adoption.h"
#include "views/console_view.h"

namespace bf {

void Startup(Station& station) {
    StationState& s = station.state;
    ConsoleModel& c = station.console;

    // The window exists: its two always-running timers start now and tick
    // for the first time after this sequence.
    DefineTimers(station);
    station.timers.start(TimerName::UptimeDisplayUpdate);
    station.timers.start(TimerName::Counter);

    // The console's starting state, stamped with the time of this start.
    const LocalTime now = station.clock.now();
    s.SystemRuntime = 0;
    s.SystemStart = FormatDateMDY(now) + "-" + FormatTime(now);
    station.counters.startedAt = now.epoch;
    c.window.width = 1041;
    c.window.height = 755;
    s.MinMax = 0;
    s.TimerCount = 0;
    station.api.lastRequest = Stamped{now, "  NO REMOTE API CALLS MADE"};
    ShowConsoleAtStart(station);
    station.log.clear();
    AddToAirLog(station, "  SYS - SYSTEM STARTUP");

    RemoveFile(station.file("mplayer.log"));
    // Half-written replacements a crash or a power cut left go; the files
    // they were to replace are whole.
    RemoveLeftTemporaries(station.file("."));
    ResumePaidAiring(station);

    // Everything below depends on the settings.
    LoadSettings(station);
    // Outputs a previous run left behind; with KeepAirOnStart they stay and
    // are replaced in place.
    if (!station.settings().KeepAirOnStart) {
        RemoveFile(station.file("metadata.txt"));
        RemoveFile(station.file("metaextra.txt"));
    }
    // What else a start meets: the source list, the schedule, the players.
    for (const Finding& f : CheckStationFiles(station.workingFolder))
        AddToAirLog(station, "  SYS - " + FindingText(f), LogPriority::Warning);
    // And what the station makes of a backup chain without a link to play.
    Observe(station, air::Reload{});
    // Nothing is on air (station.onAir as constructed): the first event
    // tick, one second after its timer starts, chooses the source and starts
    // the first player.
    ShowFeaturesAtStart(station);
    c.comboSourceList.items.clear();
    for (char n = '0'; n <= '9'; ++n)
        c.comboSourceList.items.push_back(std::string(1, n) + " Select Source number " + std::string(1, n));
    // Today's schedule is known before the event tick starts, so that its
    // first tick can put today's latest past entry on air.
    tmrLoadEventsAndCalculate_Timer(station);
    // The players a previous run left behind are stopped, or with
    // KeepAirOnStart kept on air. The stops do not wait: a player still
    // dying when the first source starts does no harm.
    TakeOverLeftoverPlayers(station, ScheduledSource(station.schedule, station.clock.now()));
    for (std::string_view t :
         {TimerName::GetMetadata, TimerName::LoadEventsAndCalculate, TimerName::CheckAndDoEvents})
        station.timers.start(t);

    // The watchdog always runs; the other features when the settings turn them on.
    if (station.settings().ManagementUpdate > 0) station.timers.start(TimerName::ManagementDownload);
    if (station.settings().CheckForChanges == 1) station.timers.start(TimerName::CheckForChanges);
    station.timers.start(TimerName::CheckMplayerOK);
    station.timers.start(TimerName::PlayerEnd);
    if (ApiOpen(station.settings())) station.openApiServer();
    JudgeApiStatus(station.api, station.settings());
    if (station.settings().AIRenable) station.timers.start(TimerName::AirUpdate);
    if (station.settings().MetaWeather) station.timers.start(TimerName::Weather);
    ResetHealthCheck(station.check, station.settings().CheckSource);
    if (station.settings().CheckSource) {
        // FastFailover checks every second.
        DefineTimer(station, TimerName::SourceCheck, SourceCheckPeriodMs(station.settings()));
        station.timers.start(TimerName::SourceCheck);
    }
    // With the health check the stream under test and its player are
    // listened to all the time; without it a source titled by its monitor
    // is, for its titles.
    station.timers.start(TimerName::AirMonitor);
    if (station.settings().Tallyway) {
        LoadPendingReports(station);
        station.timers.start(TimerName::CheckFile);
    }
}

}  // namespace bf
