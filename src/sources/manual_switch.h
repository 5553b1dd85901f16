#pragma once

namespace bf {

struct Station;

void cmdForceSwitch_Click(Station& station);
void cmdForceSource_Click(Station& station);

}  // namespace bf
