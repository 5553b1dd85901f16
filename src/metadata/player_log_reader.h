#pragma once

namespace bf {

struct Station;

// The metadata tick: reads the active player's log on from where the last
// tick stopped (a fresh log, of a player started anew, from its start), hands
// each title line to the title intake (TakeTitle) and each stream header
// line's value to station.metadata.headers, cuts the log in place once it has
// passed 1 MiB, keeping what is on air, then produces the output files. A
// long log (a title flood) is read a step at a time, each at a round of the
// event loop (tmrGetMetadataMore), so that no reading holds the station's
// answers up for long; the output files follow once it is read to its end.
void tmrGetMetadata_Timer(Station& station);
void tmrGetMetadataMore_Timer(Station& station);

}  // namespace bf
