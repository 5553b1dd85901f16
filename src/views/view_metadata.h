#pragma once

namespace bf {

struct Station;
struct ConsoleModel;

// The metadata part's labels drawn from its owners' records: the received
// title, the stream's header lines, the output lines and their indicators,
// the last paid airing, the billing reporter, TuneIn AIR and the weather. A
// label whose record holds nothing yet, or whose feature is off, keeps what
// the startup or the settings put there.
void DrawMetadata(const Station& station, ConsoleModel& console);

}  // namespace bf
