#include "schedule/event_tick.h"

#include <algorithm>
#include <string>

#include "core/station.h"
#include "core/timer_names.h"
#include "schedule/next_event.h"
#include "schedule/schedule_file.h"
#include "sources/on_air.h"

namespace bf {

namespace {

// Source 9 goes on air at the start when the schedule has no entry.
constexpr int16_t kStartWithoutSchedule = 9;

int64_t SecondsOf(const WallMoment& m) {
    return m.day * 86400 + m.second;
}

// Aired occurrences are remembered for a week (the same entry next week is
// another occurrence) and, once the clock went back, for two hours ahead:
// the repeated autumn hour and a corrected clock. A clock set back further
// was wrong, and what aired by it does not hold the schedule back.
void ForgetOldAirings(ScheduleState& schedule, const WallMoment& now) {
    const int64_t at = SecondsOf(now);
    std::erase_if(schedule.aired, [at](const WallMoment& m) {
        const int64_t s = SecondsOf(m);
        return s < at - 8 * 86400 || s > at + 2 * 3600;
    });
}

}  // namespace

void tmrCheckAndDoEvents_Timer(Station& station) {
    DeliveryScope scope(station.events, *station.listener);
    ScheduleState& schedule = station.schedule;
    const LocalTime now = station.clock.now();
    const WallMoment moment = WallMomentOf(now);
    const std::optional<ScheduleOccurrence> latest = LatestPastEntry(schedule.entries, now);

    // An entry airs once, when it becomes the latest past entry: after the
    // last tick and by this one (on the first tick, whenever it was). A clock
    // that went back shows no entry after the last tick, and one that went
    // forward the latest of those it skipped.
    const bool due = latest && (!schedule.lastTick || latest->at > *schedule.lastTick) &&
                     std::ranges::find(schedule.aired, latest->at) == schedule.aired.end();
    schedule.lastTick = moment;
    ForgetOldAirings(schedule, moment);
    if (due) {
        schedule.aired.push_back(latest->at);
        Observe(station, air::Choice{std::to_string(latest->entry.source), SwitchCause::Schedule});
        ShowNextAndLastEvent(station);
    }

    Observe(station, air::Tick{std::to_string(ScheduledSource(station.schedule, station.clock.now()))});
}

int16_t ScheduledSource(const ScheduleState& schedule, const LocalTime& now) {
    const std::optional<ScheduleOccurrence> latest = LatestPastEntry(schedule.entries, now);
    return latest ? latest->entry.source : kStartWithoutSchedule;
}

void ResumeSchedule(Station& station) {
    station.schedule.lastTick = WallMomentOf(station.clock.now());
}

void SetMode(Station& station, Mode mode) {
    if (station.schedule.mode == mode) return;
    station.schedule.mode = mode;
    if (mode == Mode::Automatic) {
        ResumeSchedule(station);
        station.timers.start(TimerName::CheckAndDoEvents);
    } else {
        station.timers.stop(TimerName::CheckAndDoEvents);
    }
}

bool IsAutomatic(const ScheduleState& schedule) {
    return schedule.mode == Mode::Automatic;
}

std::string_view ModeName(Mode mode) {
    return mode == Mode::Automatic ? "AUTOMATIC" : "MANUAL";
}

}  // namespace bf
