#pragma once

#include <string_view>

namespace bf {

struct Station;

// A write of one of the station's files (`name`, bare) has ended: `written`,
// or failed with errno as the failed write left it. Trouble (a full disk, a
// folder turned read-only, a file nobody may write) is told once, at warning
// priority, with the first file and why ("  SYS - CANNOT WRITE metadata.txt:
// No space left on device"), and its end once ("  SYS - FILES ARE WRITTEN
// AGAIN"): when every file that failed has been written since, a full or
// read-only disk ending with the first write that works. Every failed write
// is counted. Returns `written`.
bool NoteFileWrite(Station& station, std::string_view name, bool written);

}  // namespace bf
