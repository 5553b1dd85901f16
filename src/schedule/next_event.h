#pragma once

#include <string>

#include "core/schedule_state.h"

namespace bf {

struct Station;

// Reads sourceevents.ini afresh into the station's schedule (a file that
// cannot be read leaves the schedule as it was), then shows the next and the
// last entry.
void tmrLoadEventsAndCalculate_Timer(Station& station);

// Works out the latest past and the next entry of the schedule as read, with
// their sources' names, for lblLastEvent and lblNextEvent.
void ShowNextAndLastEvent(Station& station);

// "Next: Mon 07:00:00  source 2 Morning Show" (the name when the source has
// one), or "No Event Next".
std::string NextEventText(const ScheduleState& schedule);

// "Last: ..." likewise, or "No Previous Event".
std::string LastEventText(const ScheduleState& schedule);

}  // namespace bf
