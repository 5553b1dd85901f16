#pragma once

namespace bf {

struct Station;

void tmrCheckFile_Timer(Station& station);

}  // namespace bf
