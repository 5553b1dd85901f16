#include "core/outside_services.h"

#include <string>

#include "core/station.h"
#include "core/station_log.h"
#include "core/text_decode.h"

namespace bf {

void NoteServiceOutcome(Station& station, OutsideService service, bool answered, std::string_view why) {
    bool& failing = station.servicesFailing[static_cast<size_t>(service)];
    if (failing == !answered) return;
    failing = !answered;
    const std::string name(kOutsideServiceNames[static_cast<size_t>(service)]);
    if (failing)
        AddToAirLog(station, "  SYS - " + name + " FAILING: " + std::string(CutAtCharacter(why, 80)),
                    LogPriority::Warning);
    else
        AddToAirLog(station, "  SYS - " + name + " ANSWERS AGAIN", LogPriority::Notice);
}

void NoteServiceReply(Station& station, OutsideService service, const HttpResult& reply) {
    if (!reply.ok())
        NoteServiceOutcome(
            station, service, false,
            reply.errorText.empty() ? "error " + std::to_string(reply.error) : reply.errorText);
    else if (reply.statusError())
        NoteServiceOutcome(station, service, false, "HTTP " + std::to_string(reply.status));
    else
        NoteServiceOutcome(station, service, true, {});
}

}  // namespace bf
