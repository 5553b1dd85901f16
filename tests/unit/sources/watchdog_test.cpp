#include "sources/watchdog.h"

#include <gtest/gtest.h>

#include <sstream>

#include "core/player_files.h"
#include "core/settings.h"
#include "core/timer_names.h"
#include "sources/on_air.h"
#include "test_station.h"

namespace bf::test {
namespace {

// The player on air, looked at again and again as the settings (read from brackenfield.ini, as a reload
// does) and the clocks ask: "L" a look, "+S" S seconds pass, "~S" the wall clock alone steps S seconds,
// "E" the fresh player ends before it plays, "N" a schedule entry 30 s ahead; what each look did: "R" a
// refresh, "-" none. A refresh's new player plays at once, as old as the refresh and as big as the old.
TEST(WatchdogTest, ADuePlayerIsRefreshedOnceAtAQuietMomentByItsOwnClock) {
    // The settings, the player's age in hours and its megabytes, the steps, the looks.
    const std::tuple<std::string, double, double, std::string, std::string> rows[] = {
        {"PlayerRefreshHours=24", 23.99, 100, "L +60 L", "-R"},
        {"PlayerRefreshHours=24", 23.99, 100, "~7200 L", "-"},            // the wall clock ages no player
        {"PlayerRefreshHours=24", 30, 100, "N L +60 L", "-R"},            // not the minute before an entry
        {"PlayerRefreshHours=24", 30, 100, "L E L +597 L +1 L", "R--R"},  // tried again after 10 min
        {"PlayerMemoryLimitMB=400", 1, 412, "L L +1797 L +1 L", "R--R"},  // at most once every 30 min
        {"PlayerMemoryLimitMB=500", 1, 412, "L", "-"},
        // Daily as the wall clock passes the time, once: not again after a step back, again the next day.
        {"PlayerRefreshAt=12:01", 1, 100, "L +59 L +1 L ~-120 L +120 L +86400 L", "--R--R"},
        {"PlayerRefreshAt=12:01\r\nPlayerRefreshHours=abc", 30, 100, "L ~7200 L", "-R"},  // a step over it
    };
    for (const auto& [settings, hours, megabytes, steps, looks] : rows) {
        SCOPED_TRACE(settings + " " + steps);
        TestStation ts;
        ts.folder.write("sourcelist.ini", "1n:One\r\n1u:http://one.example/a\r\n");
        ts.folder.write("brackenfield.ini", "[Brackenfield]\r\n" + settings + "\r\n");
        LoadSettings(*ts);
        ts.onAir(1);
        const auto player = [&](double age) {
            ts.processes.figures[PlayerName(ts->onAir.CurrentMplayer())] = {
                megabytes * 1024 * 1024, ts.clock.bootSeconds() - age * 3600, 2};
        };
        player(hours);
        std::string seen;
        std::istringstream in(steps);
        for (std::string step; in >> step;) {
            if (step != "E" && ts->onAir.overlapSlot() != 0) {
                ts.endOverlap();
                player(0);
            }
            if (step[0] == '+') ts.clock.advance(std::stod(step.substr(1)));
            if (step[0] == '~') ts.clock.step(std::stod(step.substr(1)));
            if (step == "N") ts->schedule.entries = {{1, 12 * 3600 + 30, 1, 1}};
            if (step == "E") {
                ts.processes.running.erase(PlayerName(ts->onAir.CurrentMplayer()));
                ts.clock.advance(air::kOverlapSeconds);
                ts.timers.fire(TimerName::SwitchOverlap);
            }
            if (step != "L") continue;
            const size_t started = ts.processes.starts.size();
            tmrCheckMplayerOK_Timer(*ts);
            seen += ts.processes.starts.size() > started ? "R" : "-";
        }
        EXPECT_EQ(seen, looks);
    }
    // A refresh is no switch: the log says it, the counter counts it, and no switch reaches the reactions
    // (no "SWITCH TO" line, no as-run row, no event command).
    TestStation ts;
    ts.folder.write("sourcelist.ini", "1n:One\r\n1u:http://one.example/a\r\n");
    ts.onAir(1);
    ts.settings().PlayerRefreshHours = 24;
    ts.processes.figures["mplayer1"] = {412.0 * 1024 * 1024, ts.clock.bootSeconds() - 24 * 3600, 2};
    tmrCheckMplayerOK_Timer(*ts);
    ts.endOverlap();
    EXPECT_EQ(ts->log.text(),
              " 2026-12-06 12:00:00  SYS - PLAYER mplayer1 REFRESHED AFTER 24.0 H (412 MB)\r\n");
    EXPECT_EQ(ts.processes.log,
              (std::vector<std::string>{"start mplayer2 http://one.example/a -quiet -noconsolecontrols",
                                        "kill mplayer1"}));
    EXPECT_EQ(ts->counters.playerRefreshes[static_cast<size_t>(RefreshReason::Age)], 1u);
}

}  // namespace
}  // namespace bf::test
