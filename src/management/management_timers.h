#pragma once

namespace bf {

struct Station;

void tmrManagementDownload_Timer(Station& station);
void tmrCheckForChanges_Timer(Station& station);

}  // namespace bf
