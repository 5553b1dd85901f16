#include "views/console_view.h"

#include "apiserver/api_server.h"
#include "core/station.h"
#include "core/time_format.h"
#include "metadata/weather.h"
#include "schedule/event_tick.h"
#include "schedule/next_event.h"
#include "views/uptime_text.h"
#include "views/view_management.h"
#include "views/view_metadata.h"
#include "views/view_sources.h"

namespace bf {

namespace {

void Draw(std::string& shown, const std::string& text) {
    if (shown != text) shown = text;
}

// The clock, the start and the uptime, the version, the window's buttons.
void DrawSystem(const Station& station, ConsoleModel& c) {
    const StationState& s = station.state;
    const LocalTime now = station.clock.now();
    Draw(c.lblClock.caption, FormatTime(now));
    Draw(c.lblDate.caption, FormatDateYMD(now));
    Draw(c.lblBooted.caption, BootedText(s));
    Draw(c.lblUptime.caption, UptimeText(s));
    Draw(c.lblVersion.caption, std::string("Brackenfield ") + BF_VERSION);
    Draw(c.cmdFullScreen.caption, s.MinMax == 0 ? "FULL SCREEN" : "NORMAL");
    if (station.settings().FilterSystem) Draw(c.lblFilterSystem.caption, "SYSTEM API FILTER ON");
}

void DrawOnAir(const Station& station, ConsoleModel& c) {
    const int16_t slot = station.onAir.CurrentMplayer();
    Draw(c.lblMplayer.caption, slot == 0 ? "None" : std::to_string(slot));
    Draw(c.lblStatus.caption, std::string(OnAirText(station.onAir)));
    c.lblStatus.backColour = OnAirColour(station.onAir);
    c.lblStatus2.backColour = OnAirColour(station.onAir);
    // The number on air, once the event tick has run.
    if (station.schedule.lastTick) {
        const std::string number = std::to_string(station.onAir.CurrentSource());
        Draw(c.lblSourceNumber.caption, number);
        Draw(c.lblSourceDisp.caption, number);
    }
}

void DrawSchedule(const Station& station, ConsoleModel& c) {
    const Mode mode = station.schedule.mode;
    Draw(c.cmdAutoManual.caption, std::string(ModeName(mode)));
    c.cmdAutoManual.backColour = mode == Mode::Automatic ? Colour::Green : Colour::Red;
    Draw(c.lblNextEvent.caption, NextEventText(station.schedule));
    Draw(c.lblLastEvent.caption, LastEventText(station.schedule));
}

void DrawApi(const Station& station, ConsoleModel& c) {
    Draw(c.lblAPIstatus.caption, ApiStatusText(station));
    Draw(c.lblRemoteStatus.caption, LastRequestText(station));
}

}  // namespace

std::string_view OnAirText(const OnAirRecord& onAir) {
    return onAir.CurrentMplayer() != 0 ? "ON AIR" : "NO SOURCE";
}

uint32_t OnAirColour(const OnAirRecord& onAir) {
    return onAir.CurrentMplayer() != 0 ? Colour::Green : Colour::Red;
}

void DrawConsole(const Station& station, ConsoleModel& c) {
    DrawSystem(station, c);
    DrawOnAir(station, c);
    DrawSchedule(station, c);
    DrawApi(station, c);
    Draw(c.txtAIR, station.log.text());
    DrawSources(station, c);
    DrawMetadata(station, c);
    DrawManagement(station, c);
}

DrawnLabels::DrawnLabels(const Station& station) : model_(station.console) {
    DrawConsole(station, model_);
}

const std::string& DrawnLabels::text(Label ConsoleModel::*label) const {
    return (model_.*label).caption;
}

std::optional<uint32_t> DrawnLabels::backColour(Label ConsoleModel::*label) const {
    return (model_.*label).backColour;
}

void ShowConsoleAtStart(Station& station) {
    ConsoleModel& c = station.console;
    for (Label* l : {&c.lblTimestamp, &c.lblSentTime, &c.lblArtist, &c.lblTitle, &c.lblResponse})
        l->caption = "None";
    c.lblLastCheck.caption = "Disabled";  // until the settings turn the billing reporter on
    for (Label* l : {&c.lblMplayer1, &c.lblMplayer2, &c.lblSilence, &c.lblDebug}) l->caption.clear();
    c.lblTraffic.caption = StampedStatus(station, "  NO BILLING DATA");
    // Without the weather the labels stay empty, or name the keys it lacks.
    c.lblWeather.caption.clear();
    c.lblWeatherText.caption.clear();
}

void ShowFeaturesAtStart(Station& station) {
    ConsoleModel& c = station.console;
    c.lblMetadataOutput.caption = station.settings().DefaultStrapline;
    if (station.settings().ManagementUpdate > 0) c.lblConfigurationStatus.caption = "Enabled";
    if (station.settings().AIRenable) c.lblTuneInAir.caption = "Enabled";
    if (station.settings().MetaWeather) {
        c.lblWeather.caption = "NO WEATHER";
        c.lblWeatherText.caption = std::string(kNoWeatherData);
    }
    if (station.settings().Tallyway) c.lblLastCheck.caption = "None";
    // A feature its settings turn on stays off without its keys, and says so.
    const Settings::Lacking& lacking = station.settings().lacking;
    for (const auto& [lacks, label] : {std::pair{&lacking.air, &ConsoleModel::lblTuneInAir},
                                       std::pair{&lacking.management, &ConsoleModel::lblConfigurationStatus},
                                       std::pair{&lacking.billing, &ConsoleModel::lblLastCheck},
                                       std::pair{&lacking.weather, &ConsoleModel::lblWeather}})
        if (!lacks->empty()) (c.*label).caption = "Disabled - no " + *lacks + " set";
}

}  // namespace bf
