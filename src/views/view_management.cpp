#include "views/view_management.h"

#include <string>

#include "core/station.h"
#include "core/time_format.h"

namespace bf {

void DrawManagement(const Station& station, ConsoleModel& c) {
    const ManagementState& m = station.management;
    // Turned off, the label stays as it was, or as the settings put it.
    if (!m.status || station.settings().ManagementUpdate < 1) return;
    const LocalTime at = m.statusAt.value_or(LocalTime{});
    const std::string when = FormatTime(at) + " " + FormatDateYDM(at);
    switch (*m.status) {
        case ConfigStatus::Countdown:
            c.lblConfigurationStatus.caption =
                "Countdown till config update: " +
                std::to_string(station.settings().ManagementUpdate - m.counter);
            break;
        case ConfigStatus::InProgress:
            c.lblConfigurationStatus.caption = "Config update in progress...";
            break;
        case ConfigStatus::Updated:
            c.lblConfigurationStatus.caption = "Config updated " + when;
            break;
        case ConfigStatus::Failed:
            c.lblConfigurationStatus.caption = "Config update failed " + when;
            break;
    }
}

}  // namespace bf
