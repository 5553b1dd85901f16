#include "app/startup.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/timer_table.h"
#include "console/console_dump.h"
#include "test_station.h"

namespace bf::test {
namespace {

TEST(Startup, StartingStateIsStampedAndLeavesNoStalePlayerOrOutput) {
    TestStation t;
    t.clock.set(2026, 12, 31, 5, 23, 59, 59);
    for (const char* stale : {"metadata.txt", "metaextra.txt", "mplayer.log"}) t.folder.write(stale, "old");
    Startup(*t);

    EXPECT_EQ(t.state().SystemStart, "12-31-2026-23:59:59");
    EXPECT_EQ(t.console().txtAIR,
              " 2026-12-31 23:59:59  SYS - SETTINGS FILE brackenfield.ini MISSING - DEFAULTS IN USE\r\n"
              " 2026-12-31 23:59:59  SYS - SYSTEM STARTUP\r\n");
    EXPECT_EQ(Items(*t, "lblTraffic lblRemoteStatus lblMplayer1 lblSilence lblDebug"),
              "lblTraffic=2026-12-31 23:59:59  NO BILLING DATA lblRemoteStatus=2026-12-31 23:59:59  NO "
              "REMOTE API CALLS MADE lblMplayer1= lblSilence= lblDebug=");
    // A missing strapline puts nothing on air, not the folder's path.
    EXPECT_EQ(t.console().lblMetadataOutput.caption, "");
    EXPECT_EQ(t.console().comboSourceList.items.size(), 10u);
    EXPECT_EQ(t.console().comboSourceList.items.at(9), "9 Select Source number 9");
    EXPECT_EQ(t.processes.log, (std::vector<std::string>{"kill mplayer1", "kill mplayer2"}));
    for (const char* stale : {"metadata.txt", "metaextra.txt", "mplayer.log"})
        EXPECT_FALSE(t.folder.exists(stale)) << stale;
}

// The optional features: the setting that turns each on, its timer (none
// for the API window) and the console items it sets, off and on.
struct Feature {
    const char* setting;
    std::string_view timer;
    const char* items;
    const char* off;
    const char* on;
};
const Feature kFeatures[] = {
    {"ManagementUpdate=5", TimerName::ManagementDownload, "lblConfigurationStatus",
     "lblConfigurationStatus=Disabled", "lblConfigurationStatus=Enabled"},
    {"CheckForChanges=1.4", TimerName::CheckForChanges, "", "", ""},
    {"APIallowed=1\r\nAPIKey=k", {}, "lblAPIstatus", "lblAPIstatus=Disabled", "lblAPIstatus=Enabled"},
    {"AIRenable=1", TimerName::AirUpdate, "lblTuneInAir", "lblTuneInAir=Disabled", "lblTuneInAir=Enabled"},
    {"MetaWeather=1", TimerName::Weather, "lblWeather lblWeatherText",
     "lblWeather= lblWeatherText=", "lblWeather=NO WEATHER lblWeatherText=NO WEATHER DATA"},
    {"CheckSource=1", TimerName::SourceCheck, "lblFailText lblFailURL lblFailCheckTime",
     "lblFailText=DISABLED lblFailURL=NONE lblFailCheckTime=NONE",
     "lblFailText=WAITING lblFailURL=PERFORMING INITIAL CHECKS lblFailCheckTime=NONE"},
    {"Tallyway=1", TimerName::CheckFile, "lblLastCheck", "lblLastCheck=Disabled", "lblLastCheck=None"},
};

TEST(Startup, EachSettingTurnsOnItsOwnFeatureAndTheOtherTimersAlwaysRun) {
    // First with no settings file, then with each setting alone.
    for (int chosen = -1; chosen < std::ssize(kFeatures); ++chosen) {
        TestStation t;
        const std::string with = chosen < 0 ? "no settings" : kFeatures[chosen].setting;
        if (chosen >= 0) t.folder.write("brackenfield.ini", "[Brackenfield]\r\n" + with);
        Startup(*t);
        for (int i = 0; i < std::ssize(kFeatures); ++i) {
            const Feature& f = kFeatures[i];
            EXPECT_EQ(Items(*t, f.items), i == chosen ? f.on : f.off) << with;
            if (f.timer.empty())
                EXPECT_EQ(t.apiWindowsOpened, i == chosen) << with;
            else
                EXPECT_EQ(t.timers.running(f.timer), i == chosen) << f.timer << " with " << with;
        }
        for (const TimerSpec& timer : kMainWindowTimers) {
            const bool optional = std::ranges::count(kFeatures, timer.name, &Feature::timer) > 0;
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

// What the settings decide at startup: the console, the running timers and
// the numbers, with the folder's path written as "<folder>".
std::string StartupOutcome(const std::string& ini, bool writeFile = true) {
    TestStation t;
    if (writeFile) t.folder.write("brackenfield.ini", ini);
    Startup(*t);
    t.console().txtAIR.clear();  // what the station log says of the file is the settings test's
    std::string out = DumpConsole(*t) + "HideTaskbar " + std::to_string(t.state().HideTaskbar) + " api " +
                      std::to_string(t.apiWindowsOpened) + " timers";
    for (const auto& [name, timer] : t.timers.timers) out += timer.running ? " " + name : "";
    const std::string folder = t.folder.path().string();
    for (size_t at = out.find(folder); at != std::string::npos; at = out.find(folder))
        out.replace(at, folder.size(), "<folder>");
    return out;
}

TEST(Startup, AnyBadSettingsFileStartsLikeAMissingOne) {
    std::string binary;
    for (int i = 0; i < 4096; ++i) binary.push_back(static_cast<char>((i * 7919) % 256));
    const std::string missing = StartupOutcome("", false);
    for (const std::string& ini :
         {std::string(), std::string("[Brackenfield]\r\n"), std::string("[Brackenfield]"), binary,
          std::string("Brackenfield\nCheckSource=1\n"), std::string("[Other]\nAPIallowed=1\nCheckSource=1\n"),
          std::string("[Brackenfield]\nCheckSource=yes\nAPIallowed=01\nAIRenable=on\nMetaWeather=1.0\n"
                      "Tallyway= 1x\nFilterSystem=true\nHideTaskbar=1.0\nManagementUpdate=-3\n")})
        EXPECT_EQ(StartupOutcome(ini), missing) << ini;
}

}  // namespace
}  // namespace bf::test
