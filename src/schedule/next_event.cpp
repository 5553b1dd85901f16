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
// as the source list gives it now; `none` without an entry.
std::string EntryCaption(const Station& station, std::string_view prefix,
                         const std::optional<ScheduleOccurrence>& occurrence, std::string_view none) {
    if (!occurrence) return std::string(none);
    static constexpr std::array<std::string_view, 7> kDays = {"Sun", "Mon", "Tue", "Wed",
                                                              "Thu", "Fri", "Sat"};
    const ScheduleEntry& e = occurrence->entry;
    const std::string digit = std::to_string(e.source);
    std::string text(prefix);
    text += kDays[static_cast<size_t>(e.weekday - 1)];
    text += " " + TwoDigits(e.secondOfDay / 3600) + ":" + TwoDigits(e.secondOfDay / 60 % 60) + ":" +
            TwoDigits(e.secondOfDay % 60) + "  source " + digit;
    const std::string name = FindSource(station, digit).name;
    if (!name.empty()) text += " " + name;
    return text;
}

}  // namespace

void ShowNextAndLastEvent(Station& station) {
    ScheduleState& schedule = station.schedule;
    const LocalTime now = station.clock.now();
    schedule.last = LatestPastEntry(schedule.entries, now);
    schedule.next = NextEntry(schedule.entries, now);
    station.console.lblNextEvent.caption = EntryCaption(station, "Next: ", schedule.next, "No Event Next");
    station.console.lblLastEvent.caption =
        EntryCaption(station, "Last: ", schedule.last, "No Previous Event");
}

void tmrLoadEventsAndCalculate_Timer(Station& station) {
    if (std::optional<ParsedSchedule> read = ReadScheduleFile(station))
        station.schedule.entries = std::move(read->entries);
    ShowNextAndLastEvent(station);
}

}  // namespace bf
