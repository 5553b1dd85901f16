#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace bf {

// One line of the weekly schedule: on `weekday` (1 Sunday .. 7 Saturday) at
// `secondOfDay` the source `source` goes on air. `line` is its line number
// in sourceevents.ini, from 1.
struct ScheduleEntry {
    int weekday = 1;
    int secondOfDay = 0;
    int16_t source = 0;
    int line = 0;
    bool operator==(const ScheduleEntry&) const = default;
};

// A moment of the local wall clock: its date as days since 1970-01-01 and
// the second of that day. Wall-clock moments repeat in the autumn hour and
// skip in the spring one; the schedule reads them as they come.
struct WallMoment {
    int64_t day = 0;
    int second = 0;
    auto operator<=>(const WallMoment&) const = default;
};

// The entry as its schedule line shows it ("2 070000 3"); "X XXXXXX X" for
// none.
inline std::string EntryForm(const std::optional<ScheduleEntry>& entry) {
    if (!entry) return "X XXXXXX X";
    const int s = entry->secondOfDay;
    const int hhmmss = s / 3600 * 10000 + s / 60 % 60 * 100 + s % 60;
    std::string time = std::to_string(hhmmss);
    return std::to_string(entry->weekday) + " " + std::string(6 - time.size(), '0') + time + " " +
           std::to_string(entry->source);
}

// An entry on the date it falls on.
struct ScheduleOccurrence {
    ScheduleEntry entry;
    WallMoment at;
    bool operator==(const ScheduleOccurrence&) const = default;
};

// Who chooses the source: the schedule (with the failover's switches made
// at once), or the operator alone.
enum class Mode { Automatic, Manual };

// The schedule as the station last read it, and what of it has aired.
struct ScheduleState {
    // Changed only through SetMode (schedule/event_tick).
    Mode mode = Mode::Automatic;
    std::vector<ScheduleEntry> entries;
    // The wall clock of the last event tick: an entry airs when it falls due
    // after one tick and by the next. Empty before the first tick; when
    // automatic mode resumes it is that moment, so that only entries due
    // after it air.
    std::optional<WallMoment> lastTick;
    // Occurrences that have aired, so that none airs twice when the clock
    // goes back (the autumn hour, a corrected clock).
    std::vector<WallMoment> aired;
    // The latest past and the next entry, with their sources' names as the
    // source list gave them when they were worked out.
    std::optional<ScheduleOccurrence> last;
    std::optional<ScheduleOccurrence> next;
    std::string lastName;
    std::string nextName;
};

}  // namespace bf
