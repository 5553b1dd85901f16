#pragma once

#include <string_view>

namespace bf {

struct Station;

// Reads brackenfield.ini again while the station runs (SIGHUP, `systemctl
// reload`): the new settings take the old ones' place and the features they
// turn on or off start or stop; nothing on air is touched. One station log
// line names the keys that changed, another those that wait for the next
// start. A file that cannot be read leaves the settings as they were.
// `why` names what asked for it, for the log.
void ReadSettingsAgain(Station& station, std::string_view why);

}  // namespace bf
