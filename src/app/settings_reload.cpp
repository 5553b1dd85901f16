#include "app/settings_reload.h"

#include <memory>
#include <string>
#include <vector>

#include "apiserver/api_server.h"
#include "app/timer_table.h"
#include "core/api_key.h"
#include "core/settings.h"
#include "core/station.h"
#include "core/text_file.h"
#include "core/timer_names.h"
#include "metadata/billing_reporter.h"
#include "schedule/event_tick.h"
#include "sources/air_monitor.h"
#include "sources/health_check.h"
#include "sources/on_air.h"
#include "views/console_view.h"

namespace bf {

namespace {

std::string Joined(const std::vector<std::string>& keys) {
    std::string text;
    for (const std::string& key : keys) text += (text.empty() ? "" : ", ") + key;
    return text;
}

void Run(Station& station, std::string_view timer, bool on) {
    if (on)
        station.timers.start(timer);
    else
        station.timers.stop(timer);
}

}  // namespace

void ReadSettingsAgain(Station& station, std::string_view why) {
    DeliveryScope scope(station.events, *station.listener);
    const std::string prefix = "  SYS - SETTINGS READ AGAIN (" + std::string(why) + ")";
    if (!ReadWholeFile(station.file("brackenfield.ini"))) {
        AddToAirLog(station, prefix + ": brackenfield.ini CANNOT BE READ - THE SETTINGS STAY AS THEY WERE",
                    LogPriority::Warning);
        return;
    }
    const std::shared_ptr<const Settings> before = station.sharedSettings();
    // The settings are taken as the file has them: nothing of the old ones is
    // kept over what closed a feature. The API's listener opens at a start
    // only, and answers while the settings open the API (core/api_key).
    LoadSettings(station);
    const Settings& now = station.settings();
    ShowFeaturesAtStart(station);  // the labels of the features turned on or off
    JudgeApiStatus(station.api, station.settings());
    const std::vector<std::string> changed = ChangedKeys(*before, now);
    AddToAirLog(station, prefix + (changed.empty() ? ": NOTHING CHANGED" : ": CHANGED " + Joined(changed)));
    if (ApiOpen(now) && !ApiOpen(*before) && !station.api.created)
        AddToAirLog(station,
                    prefix +
                        ": APIallowed TAKES EFFECT AT THE NEXT START, AS DO THE PORTS AND ADDRESSES "
                        "OF THE COMMAND LINE",
                    LogPriority::Warning);
    if (!now.APIallowed && before->APIallowed && station.api.created)
        AddToAirLog(station, prefix + ": APIallowed IS OFF - EVERY API REQUEST IS REFUSED",
                    LogPriority::Warning);

    // Features that run on timers follow their keys; everything else reads
    // the settings where it uses them.
    Run(station, TimerName::ManagementDownload, now.ManagementUpdate > 0);
    Run(station, TimerName::CheckForChanges, now.CheckForChanges == 1);
    Run(station, TimerName::AirUpdate, now.AIRenable);
    Run(station, TimerName::Weather, now.MetaWeather);
    if (now.Tallyway && !before->Tallyway) LoadPendingReports(station);
    Run(station, TimerName::CheckFile, now.Tallyway);
    // The stream monitors decode the audio only for silence detection: they
    // start again (at the air monitor's next tick) asked for levels or not.
    if ((now.SilenceSeconds > 0) != (before->SilenceSeconds > 0)) StopAirMonitors(station);
    if (now.CheckSource != before->CheckSource || now.FastFailover != before->FastFailover) {
        DefineTimer(station, TimerName::SourceCheck, SourceCheckPeriodMs(now));
        Run(station, TimerName::SourceCheck, now.CheckSource);
        ResetHealthCheck(station.check, now.CheckSource);
    }
    // The check turned off during a failover ends it: the failover would
    // never end without it. A backup chain without a link to play is said.
    Observe(station, air::Reload{std::to_string(ScheduledSource(station.schedule, station.clock.now()))});
}

}  // namespace bf
