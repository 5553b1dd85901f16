#include "core/pause.h"

#include "core/number_parse.h"
#include "core/station.h"

namespace bf {

void Pause(Station& station, double seconds) {
    if (!(seconds > 0)) return;  // also catches NaN
    // Sleeping for the whole time at once (rather than polling the time of
    // day) keeps a pause over midnight exact and uses no processor time.
    station.clock.sleep(seconds);
}

void Pause(Station& station, std::string_view seconds) {
    Pause(station, ParseLeadingNumber(seconds));
}

}  // namespace bf
