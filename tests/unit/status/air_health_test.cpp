#include "status/air_health.h"

#include <gtest/gtest.h>

#include <functional>

#include "core/stream_address.h"
#include "schedule/event_tick.h"
#include "sources/health_check.h"
#include "sources/on_air.h"
#include "status/process_readings.h"
#include "test_station.h"

namespace bf::test {
namespace {

// Source 3 on air on slot 1 and heard moving, the health check on; each case
// changes one thing.
struct HeardStation : TestStation {
    HeardStation() {
        folder.write("sourcelist.ini",
                     "0n:Backup\r\n0u:http://backup/\r\n3n:Breakfast\r\n3u:http://three/\r\n");
        settings().CheckSource = true;
        settings().SilenceSeconds = 10;
        settings().LastResortFile = "loop.mp3";
        onAir(3);
        station->air.monitorStarts = true;
        for (const char* url : {"http://three/", "http://backup/"}) {
            StreamWatch& watch = station->air.watches.emplace_back();
            watch.address = StreamAddress(url);
            watch.monitor = ProgramHandle{1, 1};
            watch.moved = clock.monotonicSeconds();
        }
    }
    StreamWatch& three() { return station->air.watches[0]; }
    // The source's health check fails `times` in a row, then the event tick switches.
    Station& failed(int times) {
        for (int i = 0; i < times; ++i)
            Observe(
                *station,
                air::Verdict{station->onAir.underTest(), air::Verdict::Kind::Failed, "refused", false, {}});
        tmrCheckAndDoEvents_Timer(*station);
        return *station;
    }
};

TEST(AirHealthTest, HealthyOnlyWhileASourcePlaysAndIsHeardAndManualModeWithAFailingSourceIsNot) {
    const std::string three = "source 3 Breakfast";
    const std::tuple<std::string, std::function<void(HeardStation&)>, bool, std::string> cases[] = {
        {"heard", [](HeardStation&) {}, true, three + " plays and is heard"},
        {"not listened to", [](HeardStation& t) { t.settings().CheckSource = false; }, true,
         three + " plays (not listened to: the health check is off)"},
        {"first failure", [](HeardStation& t) { t.failed(1); }, true, three + " plays and is heard"},
        {"manual, first failure", [](HeardStation& t) { SetMode(t.failed(1), Mode::Manual); }, false,
         "manual mode and " + three + " fails its health check: nothing fails over or back"},
        {"nothing on air", [](HeardStation& t) { t.station->onAir = OnAirRecord(); }, false,
         "nothing on air yet"},
        {"player gone", [](HeardStation& t) { t.processes.running.clear(); }, false,
         "no player plays " + three},
        {"stalled", [](HeardStation& t) { t.three().moved -= 5; }, false,
         three + " is stalled: no audio for 5 s"},
        {"dead", [](HeardStation& t) { t.three().ended = "refused", t.three().ends = 2; }, false,
         three + " has no stream: refused"},
        {"silent", [](HeardStation& t) { t.three().quietSince = t.clock.monotonicSeconds() - 12; }, false,
         three + " is silent for 12 s"},
        {"backup heard", [](HeardStation& t) { t.failed(2); }, true,
         "source 0 Backup plays and is heard, standing in for " + three},
        {"last resort",
         [](HeardStation& t) {
             t.folder.write("sourcelist.ini", "3n:Breakfast\r\n3u:http://three/\r\n");  // no backup
             t.failed(2);
         },
         false, "the last resort file plays"}};
    for (const auto& [name, change, healthy, reason] : cases) {
        SCOPED_TRACE(name);
        HeardStation t;
        change(t);
        const AirHealth health = JudgeAirHealth(*t, ProcessReadingsCache().Read(*t));
        EXPECT_EQ(std::tuple(health.healthy, health.reason), std::tuple(healthy, reason));
    }
}

}  // namespace
}  // namespace bf::test
