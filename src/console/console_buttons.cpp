#include "console/console_buttons.h"

#include "core/station.h"
#include "core/station_log.h"
#include "core/timer_names.h"
#include "schedule/event_tick.h"
#include "sources/on_air.h"

namespace bf {

void cmdAutoManual_Click(Station& station) {
    Button& mode = station.console.cmdAutoManual;
    if (mode.caption != "AUTOMATIC") {
        mode.caption = "AUTOMATIC";
        mode.backColour = Colour::Green;
        ResumeSchedule(station);
        station.timers.start(TimerName::CheckAndDoEvents);
    } else {
        mode.caption = "MANUAL";
        mode.backColour = Colour::Red;
        station.timers.stop(TimerName::CheckAndDoEvents);
    }
}

void cmdFullScreen_Click(Station& station) {
    StationState& s = station.state;
    WindowModel& w = station.console.window;
    s.MinMax = s.MinMax == 0 ? 1 : 0;
    station.console.cmdFullScreen.caption = s.MinMax == 0 ? "FULL SCREEN" : "NORMAL";
    if (station.settings().HideTaskbar == 1) w.sizableBorder = s.MinMax == 0;
    w.maximized = s.MinMax == 1;
}

namespace {

// A station without a desktop editor (a kiosk session, no program for text
// files) says so, instead of leaving the operator clicking.
void OpenInEditor(Station& station, const std::string& bareName) {
    if (!station.processes.openInEditor(station.file(bareName).string()))
        AddToAirLog(station, "  SYS - CANNOT OPEN EDITOR FOR " + bareName);
}

}  // namespace

void cmdViewEvents_Click(Station& station) {
    OpenInEditor(station, "sourceevents.ini");
}

void cmdViewSource_Click(Station& station) {
    OpenInEditor(station, "sourcelist.ini");
}

void Form_Unload(Station& station) {
    AddToAirLog(station, "  SYS - SYSTEM SHUTDOWN (WINDOW CLOSED) - THE PLAYERS STAY ON AIR",
                LogPriority::Notice);
    station.quit();
}

void cmdTerminate_Click(Station& station) {
    StopAllPlayers(station);
    AddToAirLog(station, "  SYS - SYSTEM SHUTDOWN (EXIT AND STOP) - DEAD AIR", LogPriority::Notice);
    station.quit();
}

}  // namespace bf
