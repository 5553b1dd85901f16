#include "app/startup.h"

#include "app/timer_table.h"
#include "core/settings.h"
#include "core/station.h"
#include "core/station_log.h"
#include "core/text_file.h"
#include "core/time_format.h"
#include "core/timer_names.h"
#include "schedule/next_event.h"
#include "sources/player_control.h"

namespace bf {

void Startup(Station& station) {
    StationState& s = station.state;
    ConsoleModel& c = station.console;

    // The window exists: its two always-running timers start now and tick
    // for the first time after this sequence.
    DefineTimers(station);
    station.timers.start(TimerName::UptimeDisplayUpdate);
    station.timers.start(TimerName::Counter);

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
    for (std::string_view t : {TimerName::UpdateDisplay, TimerName::ClockandEventCheck,
                               TimerName::GetMetadata, TimerName::LoadEventsAndCalculate,
                               TimerName::CheckAndDoEvents})
        station.timers.start(t);                                      // 15
    if (s.ManagementUpdate > 0) {                                     // 16
        station.timers.start(TimerName::ManagementDownload);
        c.lblConfigurationStatus.caption = "Enabled";
    }
    if (s.CheckForChanges == 1) station.timers.start(TimerName::CheckForChanges);  // 17
    station.timers.start(TimerName::CheckMplayerOK);                        // 18
    if (s.APIallowed == "1") {                                        // 19
        c.lblAPIstatus.caption = "Enabled";
        station.openApiServer();
    }
    if (s.AIRenable == "1") {                                         // 20
        c.lblTuneInAir.caption = "Enabled";
        station.timers.start(TimerName::AirUpdate);
    }
    if (s.MetaWeather != "1") {                                       // 21
        c.lblWeather.caption.clear();
        c.lblWeatherText.caption.clear();
    } else {
        station.timers.start(TimerName::Weather);
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
        station.timers.start(TimerName::SourceCheck);
    }
    if (tallyway == "1") {                                            // 24
        station.timers.start(TimerName::CheckFile);
        c.lblLastCheck.caption = "None";
    } else {
        c.lblLastCheck.caption = "Disabled";
    }
}

}  // namespace bf
