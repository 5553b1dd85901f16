#include "app/startup.h"

#include "console/display_timers.h"
#include "core/settings.h"
#include "core/station.h"
#include "core/station_log.h"
#include "core/text_file.h"
#include "core/time_format.h"
#include "management/management_timers.h"
#include "metadata/outside_services.h"
#include "metadata/player_log_reader.h"
#include "schedule/event_tick.h"
#include "schedule/next_event.h"
#include "sources/health_check.h"
#include "sources/player_control.h"
#include "sources/watchdog.h"

namespace bf {

void DefineTimers(Station& station) {
    Station* s = &station;
    auto define = [&](const char* name, int periodMs, void (*handler)(Station&)) {
        station.timers.define(name, periodMs, [s, handler] { handler(*s); });
    };
    define("tmrUptimeDisplayUpdate", 1000, tmrUptimeDisplayUpdate_Timer);
    define("tmrCounter", 1000, tmrCounter_Timer);
    define("tmrClockandEventCheck", 100, tmrClockandEventCheck_Timer);
    define("tmrUpdateDisplay", 250, tmrUpdateDisplay_Timer);
    define("tmrGetMetadata", 5000, tmrGetMetadata_Timer);
    define("tmrLoadEventsAndCalculate", 10000, tmrLoadEventsAndCalculate_Timer);
    define("tmrCheckAndDoEvents", 1000, tmrCheckAndDoEvents_Timer);
    define("tmrCheckMplayerOK", 15000, tmrCheckMplayerOK_Timer);
    define("tmrManagementDownload", 60000, tmrManagementDownload_Timer);
    define("tmrCheckForChanges", 60000, tmrCheckForChanges_Timer);
    define("tmrAirUpdate", 5000, tmrAirUpdate_Timer);
    define("tmrWeather", 1000, tmrWeather_Timer);
    define("tmrSourceCheck", 15000, tmrSourceCheck_Timer);
    define("tmrCheckFile", 1000, tmrCheckFile_Timer);
}

void Startup(Station& station) {
    StationState& s = station.state;
    ConsoleModel& c = station.console;

    // The window exists: its two always-running timers start now and tick
    // for the first time after this sequence.
    DefineTimers(station);
    station.timers.start("tmrUptimeDisplayUpdate");
    station.timers.start("tmrCounter");

    const LocalTime now = station.clock.now();
    s.SystemRuntime = 0;                                              // 1
    s.SystemStart = FormatDateMDY(now) + "-" + FormatTime(now);
    c.window.width = 1041;                                            // 2
    c.window.height = 755;
    c.lblVersion.caption = std::string("Brackenfield ") + BF_VERSION;
    s.MinMax = 0;                                                     // 3
    s.StartupFlag = 1;
    s.LastFileLine1.clear();
    s.LastFileLine2.clear();
    for (Label* l : {&c.lblLastCheck, &c.lblTimestamp, &c.lblSentTime, &c.lblArtist, &c.lblTitle, &c.lblResponse})
        l->caption = "None";                                          // 4
    s.AIRLastArtist.clear();                                          // 5
    s.AIRLastTitle.clear();
    s.PreviousMetadata.clear();
    s.WeatherCounter = 0;
    s.TimerCount = 0;
    for (Label* l : {&c.lblMplayer1, &c.lblMplayer2, &c.lblSilence, &c.lblDebug}) l->caption.clear();  // 6
    c.lblTraffic.caption = StampedStatus(station, "  NO BILLING DATA");  // 7
    c.lblRemoteStatus.caption = StampedStatus(station, "  NO REMOTE API CALLS MADE");
    c.lblWeatherText.caption = "NO WEATHER DATA";
    c.txtAIR.clear();                                                 // 8
    AddToAirLog(station, "  SYS - SYSTEM STARTUP");
    StopPlayer(station, 1);                                           // 9
    StopPlayer(station, 2);
    RemoveFile(station.file("mplayer.log"));
    RemoveFile(station.file("metadata.txt"));
    RemoveFile(station.file("metaextra.txt"));
    const std::string tallyway = LoadSettings(station);               // 10
    s.CurrentMplayer = 0;                                             // 11
    s.CurrentSource = -1;
    s.WasPlaying = -1;
    s.NextEvent = "X XXXXXX X";
    s.LastEvent = "X XXXXXX X";
    s.ManagementCounter = 0;
    s.SilenceFlag = 0;
    c.lblMetadataOutput.caption = s.DefaultStrapline;                 // 12
    c.comboSourceList.items.clear();                                  // 13
    for (char n = '0'; n <= '9'; ++n)
        c.comboSourceList.items.push_back(std::string(1, n) + " Select Source number " + std::string(1, n));
    tmrLoadEventsAndCalculate_Timer(station);                         // 14
    for (const char* t : {"tmrUpdateDisplay", "tmrClockandEventCheck", "tmrGetMetadata",
                          "tmrLoadEventsAndCalculate", "tmrCheckAndDoEvents"})
        station.timers.start(t);                                      // 15
    if (s.ManagementUpdate > 0) {                                     // 16
        station.timers.start("tmrManagementDownload");
        c.lblConfigurationStatus.caption = "Enabled";
    }
    if (s.CheckForChanges == 1) station.timers.start("tmrCheckForChanges");  // 17
    station.timers.start("tmrCheckMplayerOK");                        // 18
    if (s.APIallowed == "1") {                                        // 19
        c.lblAPIstatus.caption = "Enabled";
        station.openApiServer();
    }
    if (s.AIRenable == "1") {                                         // 20
        c.lblTuneInAir.caption = "Enabled";
        station.timers.start("tmrAirUpdate");
    }
    if (s.MetaWeather != "1") {                                       // 21
        c.lblWeather.caption.clear();
        c.lblWeatherText.caption.clear();
    } else {
        station.timers.start("tmrWeather");
        c.lblWeather.caption = "NO WEATHER";
    }
    s.LinkFailCount = 0;                                              // 22
    if (s.CheckSource != "1") {                                       // 23
        c.lblFailText.caption = "DISABLED";
        c.lblFailURL.caption = "NONE";
        c.lblFailCheckTime.caption = "NONE";
    } else {
        c.lblFailText.caption = "WAITING";
        c.lblFailCheckTime.caption = "NONE";
        c.lblFailURL.caption = "PERFORMING INITIAL CHECKS";
        // FastFailover checks every second.
        Station* checked = &station;
        station.timers.define("tmrSourceCheck", SourceCheckPeriodMs(s),
                              [checked] { tmrSourceCheck_Timer(*checked); });
        station.timers.start("tmrSourceCheck");
    }
    if (tallyway == "1") {                                            // 24
        station.timers.start("tmrCheckFile");
        c.lblLastCheck.caption = "None";
    } else {
        c.lblLastCheck.caption = "Disabled";
    }
}

void Form_Unload(Station& station) { station.quit(); }

void cmdTerminate_Click(Station& station) {
    StopPlayer(station, 1);
    StopPlayer(station, 2);
    station.quit();
}

}  // namespace bf
