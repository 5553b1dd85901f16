#pragma once

namespace bf {

struct Station;

// The main window's load handler: the startup sequence.
void Startup(Station& station);

// Closing the window ends the program and leaves the players running.
void Form_Unload(Station& station);

// Stops both player slots, then ends the program.
void cmdTerminate_Click(Station& station);

}  // namespace bf
