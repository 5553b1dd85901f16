#pragma once

namespace bf {

struct Station;

// Reads sourceevents.ini afresh into the station's schedule (a file that
// cannot be read leaves the schedule as it was), then shows the next and the
// last entry.
void tmrLoadEventsAndCalculate_Timer(Station& station);

// Works out the latest past and the next entry of the schedule as read, and
// shows them on lblLastEvent and lblNextEvent with the day, time, source
// number and name.
void ShowNextAndLastEvent(Station& station);

}  // namespace bf
