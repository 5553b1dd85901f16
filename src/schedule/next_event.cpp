#include "schedule/next_event.h"

#include <array>
#include <string>
#include <string_view>

#include "core/station.h"
#include "core/time_format.h"
#include "schedule/schedule_file.h"
#include "sources/source_list.h"

namespace bf {

namespace {

// "Mon 07:00:00  source 2 Morning Show" after the prefix, the source's name
// as the source list gave it when the entry was worked out; `none` without
// an entry.
std::string EntryText(std::string_view prefix, const std::optional<ScheduleOccurrence>& occurrence,
                      const std::string& name, std::string_view none) {
    if (!occurrence) return std::string(none);
    static constexpr std::array<std::string_view, 7> kDays = {"Sun", "Mon", "Tue", "Wed",
                                                              "Thu", "Fri", "Sat"};
    const ScheduleEntry& e = occurrence->entry;
    std::string text(prefix);
    text += kDays[static_cast<size_t>(e.weekday - 1)];
    text += " " + TwoDigits(e.secondOfDay / 3600) + ":" + TwoDigits(e.secondOfDay / 60 % 60) + ":" +
            TwoDigits(e.secondOfDay % 60) + "  source " + std::to_string(e.source);
    if (!name.empty()) text += " " + name;
    return text;
}

// The source's name as the source list gives it now.
std::string NameOf(const Station& station, const std::optional<ScheduleOccurrence>& occurrence) {
    return occurrence ? FindSource(station.workingFolder, std::to_string(occurrence->entry.source)).name
                      : std::string();
}

}  // namespace

void ShowNextAndLastEvent(Station& station) {
    ScheduleState& schedule = station.schedule;
    const LocalTime now = station.clock.now();
    schedule.last = LatestPastEntry(schedule.entries, now);
    schedule.next = NextEntry(schedule.entries, now);
    schedule.nextName = NameOf(station, schedule.next);
    schedule.lastName = NameOf(station, schedule.last);
}

std::string NextEventText(const ScheduleState& schedule) {
    return EntryText("Next: ", schedule.next, schedule.nextName, "No Event Next");
}

std::string LastEventText(const ScheduleState& schedule) {
    return EntryText("Last: ", schedule.last, schedule.lastName, "No Previous Event");
}

void tmrLoadEventsAndCalculate_Timer(Station& station) {
    if (std::optional<ParsedSchedule> read = ReadScheduleFile(station))
        station.schedule.entries = std::move(read->entries);
    ShowNextAndLastEvent(station);
}

}  // namespace bf
