#pragma once

namespace bf {

struct Station;

// Works out NextEvent and LastEvent from sourceevents.ini and shows them on
// lblNextEvent and lblLastEvent with the day, time, source number and name.
void tmrLoadEventsAndCalculate_Timer(Station& station);

}  // namespace bf
