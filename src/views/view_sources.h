#pragma once

namespace bf {

struct Station;
struct ConsoleModel;

// Draws the labels of what is on air, the players, the air as heard and the
// health check from their owners' records. A record with nothing to tell yet
// leaves its labels as they are.
void DrawSources(const Station& station, ConsoleModel& console);

}  // namespace bf
