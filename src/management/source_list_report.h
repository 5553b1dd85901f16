#pragma once

namespace bf {

struct Station;

// Sends the ten slots of sourcelist.ini to the management server, one
// request each, marking CurrentSource active; what of an older report still
// waits for its turn on Inet1 gives way. Off while ManagementUpdate is below
// 1.
void ReportSourceList(Station& station);

// Runs once (it stops its own timer): the report asked for by a switch.
void tmrReportSourceList_Timer(Station& station);

}  // namespace bf
