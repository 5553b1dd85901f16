#pragma once

namespace bf {

struct Station;

// The main window's load handler: the startup sequence.
void Startup(Station& station);

}  // namespace bf
