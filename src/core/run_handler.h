#pragma once

#include <functional>
#include <string_view>

namespace bf {

struct Station;

// The one boundary where a timer tick, a button click or a socket event is
// run: a failure inside the handler loses the handler's remaining steps,
// leaves one station log line naming the handler, and the program carries
// on with the next event. Nothing thrown crosses the event loop.
void RunHandler(Station& station, std::string_view name, const std::function<void()>& handler);

}  // namespace bf
