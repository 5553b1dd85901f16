#include "app/startup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "app/timer_table.h"
#include "test_station.h"

namespace bf::test {
namespace {

TEST(Startup, StartingStateIsStampedAndLeavesNoStalePlayerOrOutput) {
    TestStation t;
    t.clock.set(2026, 12, 31, 5, 23, 59, 59);
    for (const char* name : {"metadata.txt", "metaextra.txt", "mplayer.log"}) t.folder.write(name, "old");
    Startup(*t);
    EXPECT_EQ(t.console().txtAIR,
              " 2026-12-31 23:59:59  SYS - SETTINGS FILE brackenfield.ini MISSING - DEFAULTS IN USE\r\n"
              " 2026-12-31 23:59:59  SYS - SYSTEM STARTUP\r\n");
    // A missing strapline puts nothing on air, not the folder's path.
    EXPECT_EQ(Items(*t, "lblTraffic lblRemoteStatus lblMplayer1 lblMetadataOutput"),
              "lblTraffic=2026-12-31 23:59:59  NO BILLING DATA lblRemoteStatus=2026-12-31 23:59:59  NO "
              "REMOTE API CALLS MADE lblMplayer1= lblMetadataOutput=");
    EXPECT_EQ(t.console().comboSourceList.items.size(), 10u);
    EXPECT_EQ(t.console().comboSourceList.items.at(9), "9 Select Source number 9");
    EXPECT_EQ(t.processes.log, (std::vector<std::string>{"kill mplayer1", "kill mplayer2"}));
    EXPECT_EQ(t.folder.read("metadata.txt") + t.folder.read("metaextra.txt") + t.folder.read("mplayer.log"),
              "<missing><missing><missing>");
}

// The optional features: the setting that turns each on and the timer it
// starts, or for the API its window and for the filter its label.
struct Feature {
    const char* setting;
    std::string_view shownBy;
};
const Feature kFeatures[] = {
    {"ManagementUpdate=5", TimerName::ManagementDownload},
    {"CheckForChanges=1.4", TimerName::CheckForChanges},
    {"APIallowed=1\r\nAPIKey=k", "API window"},
    {"AIRenable=1", TimerName::AirUpdate},
    {"MetaWeather=1", TimerName::Weather},
    {"CheckSource=1", TimerName::SourceCheck},
    {"Tallyway=1", TimerName::CheckFile},
    {"FilterSystem=1", "lblFilterSystem"}};

TEST(Startup, EachSettingTurnsOnItsOwnFeatureOnlyAtOneAndTheOtherTimersAlwaysRun) {
    // First with a value near each setting's on (all stay off), then with each setting alone.
    const std::string nearMisses =
        "ManagementUpdate=-3\nCheckForChanges=1.5\nAPIallowed=01\nAPIKey=k\nAIRenable=on\nMetaWeather=1.0\n"
        "CheckSource=yes\nTallyway= 1x\nFilterSystem=true\n";
    for (int chosen = -1; chosen < std::ssize(kFeatures); ++chosen) {
        TestStation t;
        const std::string with = chosen < 0 ? nearMisses : kFeatures[chosen].setting;
        t.folder.write("brackenfield.ini", "[Brackenfield]\r\n" + with);
        Startup(*t);
        for (int i = 0; i < std::ssize(kFeatures); ++i) {
            const Feature& f = kFeatures[i];
            const bool on = f.shownBy == "API window"        ? t.apiWindowsOpened > 0
                            : f.shownBy == "lblFilterSystem" ? t.console().lblFilterSystem.caption.ends_with(" ON")
                                                             : t.timers.running(f.shownBy);
            EXPECT_EQ(on, i == chosen) << f.setting << " with " << with;
        }
        for (const TimerSpec& timer : kMainWindowTimers) {
            const bool optional = std::ranges::count(kFeatures, timer.name, &Feature::shownBy) > 0;
            EXPECT_TRUE(optional || t.timers.running(timer.name)) << timer.name << " with " << with;
        }
    }
}

TEST(Startup, FastFailoverChecksEverySecond) {
    for (const auto& [ini, periodMs] : {std::pair{"", 15000}, {"FastFailover=1\r\n", 1000}}) {
        TestStation t;
        t.folder.write("brackenfield.ini", std::string("[Brackenfield]\r\nCheckSource=1\r\n") + ini);
        Startup(*t);
        EXPECT_EQ(t.timers.periodMs(TimerName::SourceCheck), periodMs) << ini;
    }
}

TEST(TimerTable, AFailingTickIsLoggedWithItsHandlerAndTheNextTickRuns) {
    TestStation t;
    t.InetTestURL.onFetch = [](const std::string&) { throw std::runtime_error("no sockets"); };
    EXPECT_NO_THROW(t.timers.fire(TimerName::SourceCheck));
    EXPECT_EQ(t.console().txtAIR, " 2026-12-06 12:00:00  SYS - tmrSourceCheck_Timer FAILED: no sockets\r\n");
    t.InetTestURL.onFetch = nullptr;
    t.timers.fire(TimerName::SourceCheck);
    EXPECT_EQ(t.InetTestURL.headerRequests.size(), 2u);
}

}  // namespace
}  // namespace bf::test
