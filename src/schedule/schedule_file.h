#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/finding.h"
#include "core/schedule_state.h"
#include "platform/clock.h"
#include "sources/source_list.h"

namespace bf {

struct Station;

// A line of sourceevents.ini that is no entry, and why.
struct ScheduleProblem {
    int line = 0;
    std::string message;
};

struct ParsedSchedule {
    std::vector<ScheduleEntry> entries;
    std::vector<ScheduleProblem> problems;
};

// Reads the schedule's text: a line "D HHMMSS N" (weekday 1 Sunday .. 7
// Saturday, a blank, the time as six digits, any separator, the source digit)
// is an entry; blank lines and lines that start with ";" are comments. Every
// other line, and an entry whose weekday or time cannot be, is a problem.
ParsedSchedule ParseSchedule(std::string_view text);

// The problems of the schedule's text as findings, and its entries that name
// a source without a playable URL in `sources`.
std::vector<Finding> CheckScheduleText(std::string_view text, const SourceTable& sources);

// The schedule file read afresh; nullopt when it cannot be read.
std::optional<ParsedSchedule> ReadScheduleFile(const Station& station);

// The latest entry whose time has come by `now`, over the week before it
// (the same weekday a week ago included); of entries at the same time the
// first in the file. Empty without entries.
std::optional<ScheduleOccurrence> LatestPastEntry(const std::vector<ScheduleEntry>& entries,
                                                  const LocalTime& now);

// The first entry after `now`, within the coming week.
std::optional<ScheduleOccurrence> NextEntry(const std::vector<ScheduleEntry>& entries, const LocalTime& now);

// `now` as a wall-clock moment.
WallMoment WallMomentOf(const LocalTime& now);

}  // namespace bf
