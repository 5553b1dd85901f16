#include "console/console_buttons.h"

#include "core/station.h"
#include "core/station_log.h"
#include "schedule/event_tick.h"
#include "sources/on_air.h"

namespace bf {

void cmdAutoManual_Click(Station& station) {
    SetMode(station, IsAutomatic(station.schedule) ? Mode::Manual : Mode::Automatic);
}

void cmdFullScreen_Click(Station& station) {
    StationState& s = station.state;
    WindowModel& w = station.console.window;
    s.MinMax = s.MinMax == 0 ? 1 : 0;
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
    Observe(station, air::StopAll{});
    AddToAirLog(station, "  SYS - SYSTEM SHUTDOWN (EXIT AND STOP) - DEAD AIR", LogPriority::Notice);
    station.quit();
}

}  // namespace bf
