#pragma once

#include <array>
#include <string_view>

#include "console/display_timers.h"
#include "core/timer_names.h"
#include "management/management_timers.h"
#include "management/source_list_report.h"
#include "metadata/air_update.h"
#include "metadata/billing_reporter.h"
#include "metadata/player_log_reader.h"
#include "metadata/weather.h"
#include "schedule/event_tick.h"
#include "schedule/next_event.h"
#include "sources/air_hearing.h"
#include "sources/air_monitor.h"
#include "sources/health_check.h"
#include "sources/on_air.h"
#include "sources/watchdog.h"

namespace bf {

struct Station;

// The watchdog's look between its looks: at once when the player on air has
// ended (sources/watchdog.h).
void tmrPlayerEnd_Timer(Station& station);

// One timer of the main window: its name, its period and what each tick runs.
struct TimerSpec {
    std::string_view name;
    int periodMs;
    void (*handler)(Station&);
};

// Every timer of the main window. The startup decides which of them run.
inline constexpr std::array<TimerSpec, 17> kMainWindowTimers{{
    {TimerName::UptimeDisplayUpdate, 1000, tmrUptimeDisplayUpdate_Timer},
    {TimerName::Counter, 1000, tmrCounter_Timer},
    {TimerName::GetMetadata, 5000, tmrGetMetadata_Timer},
    {TimerName::GetMetadataMore, 1, tmrGetMetadataMore_Timer},
    {TimerName::LoadEventsAndCalculate, 10000, tmrLoadEventsAndCalculate_Timer},
    {TimerName::CheckAndDoEvents, 1000, tmrCheckAndDoEvents_Timer},
    {TimerName::CheckMplayerOK, 15000, tmrCheckMplayerOK_Timer},
    {TimerName::PlayerEnd, 1000, tmrPlayerEnd_Timer},
    {TimerName::ManagementDownload, 60000, tmrManagementDownload_Timer},
    {TimerName::CheckForChanges, 60000, tmrCheckForChanges_Timer},
    {TimerName::AirUpdate, 5000, tmrAirUpdate_Timer},
    {TimerName::Weather, 1000, tmrWeather_Timer},
    {TimerName::SourceCheck, kSourceCheckPeriodMs, tmrSourceCheck_Timer},
    {TimerName::CheckFile, 1000, tmrCheckFile_Timer},
    {TimerName::SwitchOverlap, kOverlapTickMs, tmrSwitchOverlap_Timer},
    {TimerName::ReportSourceList, 1, tmrReportSourceList_Timer},
    {TimerName::AirMonitor, kAirMonitorTickMs, tmrAirMonitor_Timer},
}};

// The period of a main-window timer; 0 for a name not in the table.
constexpr int PeriodOf(std::string_view name) {
    for (const TimerSpec& timer : kMainWindowTimers)
        if (timer.name == name) return timer.periodMs;
    return 0;
}

// Defines every timer of the table, stopped. Each tick runs its handler
// through RunHandler, so a failing tick leaves a station log line naming
// the handler and the next tick runs as usual.
void DefineTimers(Station& station);

// Defines one timer of the table again with another period (the health
// check's with FastFailover).
void DefineTimer(Station& station, std::string_view name, int periodMs);

}  // namespace bf
