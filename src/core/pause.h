#pragma once

#include <string_view>

namespace bf {

struct Station;

// Blocks the whole program for the given number of seconds (a number or a
// numeric text): no timer, click or socket event runs meanwhile. A pause that
// spans midnight still ends after the given time.
void Pause(Station& station, double seconds);
void Pause(Station& station, std::string_view seconds);

}  // namespace bf
