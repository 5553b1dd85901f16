#pragma once

namespace bf {

struct Station;

void tmrLoadEventsAndCalculate_Timer(Station& station);

}  // namespace bf
