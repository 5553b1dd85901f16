#pragma once

namespace bf {

struct Station;

void tmrGetMetadata_Timer(Station& station);

}  // namespace bf
