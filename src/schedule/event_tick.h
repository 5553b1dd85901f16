#pragma once

#include <cstdint>
#include <string_view>

#include "core/schedule_state.h"
#include "platform/clock.h"

namespace bf {

struct Station;

// Once a second in automatic mode: airs the schedule's entry that fell due
// since the last tick, then makes the switches a failover, a return or a
// restart asks for, and on the first tick puts the latest past entry's
// source on air (source 9 with an empty schedule).
void tmrCheckAndDoEvents_Timer(Station& station);

// The source the schedule puts on air now: the latest past entry's, source 9
// with an empty schedule.
int16_t ScheduledSource(const ScheduleState& schedule, const LocalTime& now);

// Automatic mode resumes: entries that fell due while it was off do not air;
// the source on air holds until the next entry.
void ResumeSchedule(Station& station);

// Changes the mode: automatic resumes the schedule (ResumeSchedule) and runs
// the event tick; manual stops the tick, so that only the operator, the API
// and the management server switch. The mode it already has changes nothing.
void SetMode(Station& station, Mode mode);

bool IsAutomatic(const ScheduleState& schedule);

// "AUTOMATIC" or "MANUAL", as the mode button and the status show it.
std::string_view ModeName(Mode mode);

}  // namespace bf
