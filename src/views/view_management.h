#pragma once

namespace bf {

struct Station;
struct ConsoleModel;

// The management link's label drawn from its record: the countdown to the
// next configuration download, the download under way, or how the last one
// ended. Before the first download tick, and while downloads are off, it
// keeps what the startup or the settings put there.
void DrawManagement(const Station& station, ConsoleModel& console);

}  // namespace bf
