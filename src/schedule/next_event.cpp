#include "schedule/next_event.h"

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "core/number_parse.h"
#include "core/station.h"
#include "core/text_file.h"
#include "core/time_format.h"
#include "sources/source_list.h"

namespace bf {

namespace {

constexpr double NoLastTime = -1;
constexpr double NoNextTime = 999999;

struct Candidate {
    double time;
    int weekday = 0;
    char action = ' ';
};

// A schedule field read as a number: the leading-number parse, rounded to a
// whole number (a half to the even neighbour).
double FieldValue(std::string_view field) {
    return std::nearbyint(ParseLeadingNumber(field));
}

// The time as six digits with leading zeros. Only a tomorrow candidate can
// hold a negative time (a junk line such as "2 -00005 1"); it keeps its sign
// in the six characters, so the entry form stays 10 bytes long.
std::string SixDigitTime(double time) {
    char buf[16];
    if (time >= 0) {
        std::snprintf(buf, sizeof buf, "%06lld", static_cast<long long>(std::fmin(time, 999999)));
    } else {
        std::snprintf(buf, sizeof buf, "-%05lld", static_cast<long long>(std::fmin(-time, 99999)));
    }
    return buf;
}

std::string EntryForm(const Candidate& c) {
    std::string entry;
    entry.reserve(10);
    entry += static_cast<char>('0' + c.weekday);
    entry += ' ';
    entry += SixDigitTime(c.time);
    entry += ' ';
    entry += c.action;
    return entry;
}

bool IsScheduleEntry(std::string_view line) {
    return line[0] != ';' && line[1] == ' ';
}

// "Mon 07:00:00  source 2 Morning Show" after the prefix, the source's name
// as the source list gives it now; `none` while no entry has been found.
std::string EntryCaption(const Station& station, std::string_view prefix, const std::string& entry,
                         std::string_view none) {
    if (entry.size() != 10 || entry == "X XXXXXX X") return std::string(none);
    static constexpr std::string_view kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    const int day = entry[0] - '0';
    std::string text(prefix);
    text += day >= 1 && day <= 7 ? kDays[day - 1] : std::string_view(entry).substr(0, 1);
    text += " " + entry.substr(2, 2) + ":" + entry.substr(4, 2) + ":" + entry.substr(6, 2) + "  source ";
    text += entry[9];
    const std::string name = FindSource(station, entry.substr(9, 1)).name;
    if (!name.empty()) text += " " + name;
    return text;
}

void CalculateNextAndLast(Station& station) {
    StationState& s = station.state;

    const LocalTime clock = station.clock.now();
    const int today = clock.weekday;
    const int tomorrow = today == 7 ? 1 : today + 1;
    const double now = clock.hour * 10000 + clock.minute * 100 + clock.second;
    Candidate last{NoLastTime};
    Candidate next{NoNextTime};
    Candidate early{NoNextTime};  // tomorrow's earliest entry

    // While the clock stands in the minute of the pending entry no line
    // counts, so the event tick sees that entry for its whole minute. The
    // result is then "nothing changes", whatever the file holds.
    const std::string clockMinute = TwoDigits(clock.hour) + TwoDigits(clock.minute);
    if (std::string_view(s.NextEvent).substr(std::min<size_t>(2, s.NextEvent.size()), 4) == clockMinute)
        return;

    const std::optional<std::string> content = ReadWholeFile(station.file("sourceevents.ini"));
    if (!content) return;

    ForEachLine(*content, [&](std::string_view line) {
        if (line.size() != 10 || !IsScheduleEntry(line)) return;
        const double weekday = FieldValue(line.substr(0, 1));
        const double time = FieldValue(line.substr(2, 6));
        const Candidate entry{time, static_cast<int>(weekday), line[9]};
        if (weekday == today && time < now && time > last.time) last = entry;
        if (weekday == today && time > now && time < next.time) next = entry;
        if (next.time == NoNextTime && weekday == tomorrow && time < early.time) early = entry;
    });

    if (next.time == NoNextTime && early.time != NoNextTime) next = early;
    if (last.time != NoLastTime) s.LastEvent = EntryForm(last);
    if (next.time != NoNextTime) s.NextEvent = EntryForm(next);
}

}  // namespace

void tmrLoadEventsAndCalculate_Timer(Station& station) {
    CalculateNextAndLast(station);
    const StationState& s = station.state;
    station.console.lblNextEvent.caption = EntryCaption(station, "Next: ", s.NextEvent, "No Event Next");
    station.console.lblLastEvent.caption = EntryCaption(station, "Last: ", s.LastEvent, "No Previous Event");
}

}  // namespace bf
