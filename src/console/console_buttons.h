#pragma once

namespace bf {

struct Station;

void cmdAutoManual_Click(Station& station);
void cmdFullScreen_Click(Station& station);
void cmdViewEvents_Click(Station& station);
void cmdViewSource_Click(Station& station);

// Closing the window ends the program and leaves the players running.
void Form_Unload(Station& station);

// Stops both player slots, then ends the program.
void cmdTerminate_Click(Station& station);

}  // namespace bf
