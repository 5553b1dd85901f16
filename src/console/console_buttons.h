#pragma once

namespace bf {

struct Station;

void cmdAutoManual_Click(Station& station);
void cmdFullScreen_Click(Station& station);
void cmdViewEvents_Click(Station& station);
void cmdViewSource_Click(Station& station);

}  // namespace bf
