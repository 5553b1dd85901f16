#pragma once

namespace bf {

struct Station;

void tmrCheckAndDoEvents_Timer(Station& station);

}  // namespace bf
