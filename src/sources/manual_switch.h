#pragma once

#include <string_view>

namespace bf {

struct Station;

// Ends a failover and switches to the source with that number (with the
// overlap and the source list report), then runs the source's command when
// it has one. "Force Switch Now" stays disabled meanwhile. Used by the
// button and by the remote API's set-source. A number without a playable
// source is refused (see SwitchSource) and the failover stays: false.
bool ForceSwitch(Station& station, std::string_view number);
// "Force Switch Now": ForceSwitch to the first character of the list's text.
void cmdForceSwitch_Click(Station& station);
void cmdForceSource_Click(Station& station);

}  // namespace bf
