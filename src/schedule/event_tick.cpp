#include "schedule/event_tick.h"

#include <cmath>
#include <string>
#include <string_view>

#include "core/number_parse.h"
#include "core/station.h"
#include "sources/health_check.h"
#include "sources/player_control.h"

namespace bf {

namespace {

double NumberOf(std::string_view text) {
    return std::nearbyint(ParseLeadingNumber(text));
}

// The source that the latest past entry of today names, or -1 when its
// action is not a digit (also for "X XXXXXX X", before any entry was found).
int LastSource(const std::string& lastEvent) {
    if (lastEvent.empty()) return -1;
    const char c = lastEvent.back();
    return c >= '0' && c <= '9' ? c - '0' : -1;
}

// Whether NextEvent has come due: its weekday is today, its HHMM is the
// clock's minute and the clock has reached its second. It stays due for the
// rest of that minute.
bool ScheduleEntryDue(const std::string& nextEvent, const LocalTime& clock) {
    if (nextEvent.size() < 10) return false;
    const char today = static_cast<char>('0' + clock.weekday);
    if (nextEvent[0] != today) return false;
    const std::string_view entry(nextEvent);
    return NumberOf(entry.substr(2, 4)) == clock.hour * 100 + clock.minute &&
           clock.second >= NumberOf(entry.substr(6, 2));
}

}  // namespace

void tmrCheckAndDoEvents_Timer(Station& station) {
    StationState& s = station.state;
    const LocalTime clock = station.clock.now();

    // Which source belongs on air. Each rule below overrides the ones before
    // it: with nothing on air, today's latest past entry or else source 9;
    // then a restart or return that the watchdog or the health check asked
    // for; then the backup during a failover; and a due schedule entry over
    // everything, except during a failover: then its source becomes the one
    // to return to, and the backup stays on air until that source answers.
    int target = s.CurrentSource;
    SwitchCause cause = SwitchCause::Schedule;
    const int lastSource = LastSource(s.LastEvent);
    if (target == -1 && lastSource != -1) target = lastSource;
    if (target == -1) target = 9;
    if (s.WasPlaying != -1) {
        target = s.WasPlaying;
        s.WasPlaying = -1;
        cause = station.counters.returnPending ? SwitchCause::Return : SwitchCause::Restart;
    }
    if (s.SilenceFlag == 1) {
        s.WasPlaying = s.CurrentSource;
        target = 0;
        cause = SwitchCause::Failover;
    }
    if (ScheduleEntryDue(s.NextEvent, clock)) {
        const auto entrySource = static_cast<int16_t>(NumberOf(std::string_view(s.NextEvent).substr(9, 1)));
        if (s.SilenceFlag == 1)
            ReturnAfterFailoverTo(station, entrySource);
        else
            target = entrySource;
    }

    if (target != s.CurrentSource) {
        station.counters.nextSwitchCause = cause;
        const int16_t before = s.CurrentSource;
        // Handlers that run during the switch's report see the new source.
        s.CurrentSource = static_cast<int16_t>(target);
        // The switch looks the source up by one character; the state keeps
        // the whole number (a number above 9 can come from the management
        // server), so it is put back after the switch.
        const std::string text = std::to_string(target);
        const bool refused = !SwitchSource(station, std::string_view(text).substr(text.size() - 1));
        s.CurrentSource = refused ? before : static_cast<int16_t>(target);
    }

    const std::string number = std::to_string(s.CurrentSource);
    station.console.lblSourceNumber.caption = number;
    station.console.lblSourceDisp.caption = number;
}

}  // namespace bf
