#include "schedule/schedule_file.h"

#include <algorithm>
#include <chrono>

#include "core/station.h"
#include "core/text_file.h"

namespace bf {

namespace {

// A schedule is a week of switches; a file far larger than that is no
// schedule, and is not read into memory.
constexpr size_t kScheduleFileLimit = 1024 * 1024;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int Digits(std::string_view text) {
    int value = 0;
    for (const char c : text) value = value * 10 + (c - '0');
    return value;
}

std::optional<ScheduleEntry> EntryOf(std::string_view line, int number, std::string& problem) {
    if (line.size() != 10 || line[1] != ' ') {
        problem = "not a schedule entry (\"D HHMMSS N\": weekday, time, source)";
        return std::nullopt;
    }
    const std::string_view time = line.substr(2, 6);
    bool digits = IsDigit(line[0]) && IsDigit(line[9]);
    for (const char c : time) digits = digits && IsDigit(c);
    if (!digits) {
        problem = "not a schedule entry (\"D HHMMSS N\": weekday, time, source)";
        return std::nullopt;
    }
    const int weekday = line[0] - '0';
    if (weekday < 1 || weekday > 7) {
        problem = "weekday " + std::string(1, line[0]) + " is not 1 (Sunday) to 7 (Saturday)";
        return std::nullopt;
    }
    const int hours = Digits(time.substr(0, 2));
    const int minutes = Digits(time.substr(2, 2));
    const int seconds = Digits(time.substr(4, 2));
    if (hours > 23 || minutes > 59 || seconds > 59) {
        problem = "time " + std::string(time.substr(0, 2)) + ":" + std::string(time.substr(2, 2)) + ":" +
                  std::string(time.substr(4, 2)) + " is no time of day";
        return std::nullopt;
    }
    return ScheduleEntry{weekday, hours * 3600 + minutes * 60 + seconds, static_cast<int16_t>(line[9] - '0'),
                         number};
}

int64_t DayOf(const LocalTime& t) {
    using namespace std::chrono;
    const year_month_day date{year{t.year}, month{static_cast<unsigned>(t.month)},
                              day{static_cast<unsigned>(t.day)}};
    return sys_days{date}.time_since_epoch().count();
}

}  // namespace

ParsedSchedule ParseSchedule(std::string_view text) {
    ParsedSchedule parsed;
    int number = 0;
    ForEachLine(text, [&](std::string_view line) {
        ++number;
        if (line.empty() || line.front() == ';') return;
        std::string problem;
        if (const std::optional<ScheduleEntry> entry = EntryOf(line, number, problem))
            parsed.entries.push_back(*entry);
        else
            parsed.problems.push_back({number, std::move(problem)});
    });
    return parsed;
}

std::vector<Finding> CheckScheduleText(std::string_view text, const SourceTable& sources) {
    const ParsedSchedule parsed = ParseSchedule(text);
    std::vector<Finding> findings;
    for (const ScheduleProblem& p : parsed.problems)
        findings.push_back({"sourceevents.ini", p.line, p.message});
    for (const ScheduleEntry& e : parsed.entries) {
        if (sources[static_cast<size_t>(e.source)].url.size() >= kShortestUrl) continue;
        findings.push_back({"sourceevents.ini", e.line,
                            "the entry names source " + std::to_string(e.source) +
                                ", which has no playable URL in sourcelist.ini: it will not air"});
    }
    std::ranges::sort(findings, {}, &Finding::line);
    return findings;
}

std::optional<ParsedSchedule> ReadScheduleFile(const Station& station) {
    const std::optional<std::string> text =
        ReadFileHead(station.file("sourceevents.ini"), kScheduleFileLimit + 1);
    if (!text || text->size() > kScheduleFileLimit) return std::nullopt;
    return ParseSchedule(*text);
}

WallMoment WallMomentOf(const LocalTime& now) {
    return {DayOf(now), now.hour * 3600 + now.minute * 60 + now.second};
}

std::optional<ScheduleOccurrence> LatestPastEntry(const std::vector<ScheduleEntry>& entries,
                                                  const LocalTime& now) {
    const WallMoment today = WallMomentOf(now);
    std::optional<ScheduleOccurrence> latest;
    for (const ScheduleEntry& e : entries) {
        int daysBack = (now.weekday - e.weekday + 7) % 7;
        if (daysBack == 0 && e.secondOfDay > today.second) daysBack = 7;
        const WallMoment at{today.day - daysBack, e.secondOfDay};
        if (!latest || at > latest->at) latest = ScheduleOccurrence{e, at};
    }
    return latest;
}

std::optional<ScheduleOccurrence> NextEntry(const std::vector<ScheduleEntry>& entries, const LocalTime& now) {
    const WallMoment today = WallMomentOf(now);
    std::optional<ScheduleOccurrence> next;
    for (const ScheduleEntry& e : entries) {
        int daysAhead = (e.weekday - now.weekday + 7) % 7;
        if (daysAhead == 0 && e.secondOfDay <= today.second) daysAhead = 7;
        const WallMoment at{today.day + daysAhead, e.secondOfDay};
        if (!next || at < next->at) next = ScheduleOccurrence{e, at};
    }
    return next;
}

}  // namespace bf
