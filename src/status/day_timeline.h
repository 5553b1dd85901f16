#pragma once

#include <string>
#include <string_view>

#include "asrun/as_run_record.h"
#include "platform/clock.h"

namespace bf {

// The day at a glance, a section of the status page: a picture of what was
// on air over the last 24 hours or a day the as-run record keeps, drawn by
// the page's script from /asrun.csv (a band of colour per stretch on air,
// the titles, failovers, the last resort, stalls and silences marked, now
// marked), with what was on air at a point of it told beneath. The server
// gives the script the station's clock and the local days with their
// midnights (the next one too: the page loads itself again then, for the new
// day); without the record the picture says that it has nothing.
std::string DayTimeline(const AsRunRecord& record, const LocalTime& now);

// The section's style and script, served with the page's own (/page.css,
// /page.js): the page runs no inline script.
std::string_view DayTimelineStyle();
std::string_view DayTimelineScript();

}  // namespace bf
