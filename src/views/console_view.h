#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/console_model.h"

namespace bf {

struct Station;
class OnAirRecord;

// The console drawn from the station's owners: every caption, colour and the
// station log's text box that the owners' records decide. The window draws
// it at most ten times a second, the console dump before every dump; nothing
// else writes a caption, and no logic reads one.
void DrawConsole(const Station& station, ConsoleModel& console);

// The console's labels as drawn now from the owners, for another view of
// the same facts (the status page), which shows what the console shows.
class DrawnLabels {
public:
    explicit DrawnLabels(const Station& station);
    const std::string& text(Label ConsoleModel::*label) const;
    std::optional<uint32_t> backColour(Label ConsoleModel::*label) const;

private:
    ConsoleModel model_;
};

// The on-air indicator: "ON AIR" (green) once a player has been started,
// "NO SOURCE" (red) before.
std::string_view OnAirText(const OnAirRecord& onAir);
uint32_t OnAirColour(const OnAirRecord& onAir);

// The captions a start gives the labels whose owners (the title outputs,
// billing, AIR, weather, the management link) do not yet draw them from
// records of their own: before the settings are read, and after, for the
// features they turn on. Each line goes when its label's owner draws it in
// DrawConsole.
void ShowConsoleAtStart(Station& station);
void ShowFeaturesAtStart(Station& station);

}  // namespace bf
