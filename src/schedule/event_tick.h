#pragma once

namespace bf {

struct Station;

// Once a second in automatic mode: airs the schedule's entry that fell due
// since the last tick, then makes the switches a failover, a return or a
// restart asks for, and on the first tick puts the latest past entry's
// source on air (source 9 with an empty schedule).
void tmrCheckAndDoEvents_Timer(Station& station);

// Automatic mode resumes: entries that fell due while it was off do not air;
// the source on air holds until the next entry.
void ResumeSchedule(Station& station);

}  // namespace bf
