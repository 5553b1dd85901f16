#pragma once

namespace bf {

struct Station;

// Sends the ten slots of sourcelist.ini to the management server, one
// request each, marking CurrentSource active. Off while ManagementUpdate is
// below 1.
void ReportSourceList(Station& station);

}  // namespace bf
