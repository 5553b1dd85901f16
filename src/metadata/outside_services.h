#pragma once

namespace bf {

struct Station;

void tmrCheckFile_Timer(Station& station);
void tmrWeather_Timer(Station& station);

}  // namespace bf
