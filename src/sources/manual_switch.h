#pragma once

#include <string_view>

#include "core/on_air_record.h"

namespace bf {

struct Station;

// The operator's or the remote API's switch to the source with that number:
// it goes on air at once, or during a failover becomes the source to return
// to; then the source's command runs when it has one. A number without a
// playable source is refused: false.
// `by` names the browser console's user who asked.
bool ForceSwitch(Station& station, std::string_view number, SwitchCause cause, std::string_view by = {});

// "Force Switch Now": ForceSwitch to the first character of the list's text.
void cmdForceSwitch_Click(Station& station);

// "FORCE SWITCH FROM BACKUP": ends a failover and restarts the source on air
// afresh on slot 1, and re-arms the health check and the watchdog.
void cmdForceSource_Click(Station& station);

}  // namespace bf
