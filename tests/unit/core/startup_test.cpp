#include "core/startup.h"

#include <gtest/gtest.h>

#include "test_station.h"

namespace bf::test {
namespace {

TEST(Startup, EmptyFolderGivesTheDocumentedStartingState) {
    TestStation t;
    t.clock.set(2026, 12, 31, 5, 23, 59, 59);
    t.folder.write("metadata.txt", "old");
    t.folder.write("metaextra.txt", "old");
    t.folder.write("mplayer.log", "old");
    Startup(*t);

    const StationState& s = t.state();
    const ConsoleModel& c = t.console();
    EXPECT_EQ(s.SystemStart, "12-31-2026-23:59:59");
    EXPECT_EQ(s.CurrentMplayer, 0);
    EXPECT_EQ(s.CurrentSource, -1);
    EXPECT_EQ(s.WasPlaying, -1);
    EXPECT_EQ(s.StartupFlag, 1);
    EXPECT_EQ(s.NextEvent, "X XXXXXX X");
    EXPECT_EQ(s.LastEvent, "X XXXXXX X");
    EXPECT_EQ(c.txtAIR, " 2026-12-31 23:59:59  SYS - SYSTEM STARTUP\r\n");
    EXPECT_EQ(c.lblTraffic.caption, "2026-12-31 23:59:59  NO BILLING DATA");
    EXPECT_EQ(c.lblRemoteStatus.caption, "2026-12-31 23:59:59  NO REMOTE API CALLS MADE");
    EXPECT_EQ(c.lblWeather.caption, "");
    EXPECT_EQ(c.lblWeatherText.caption, "");
    EXPECT_EQ(c.lblMplayer1.caption, "");
    EXPECT_EQ(c.lblDebug.caption, "");
    EXPECT_EQ(c.lblFailText.caption, "DISABLED");
    EXPECT_EQ(c.lblFailURL.caption, "NONE");
    EXPECT_EQ(c.lblFailCheckTime.caption, "NONE");
    EXPECT_EQ(c.lblLastCheck.caption, "Disabled");
    EXPECT_EQ(c.lblTimestamp.caption, "None");
    EXPECT_EQ(c.lblTuneInAir.caption, "Disabled");
    EXPECT_EQ(c.cmdAutoManual.caption, "AUTOMATIC");
    ASSERT_EQ(c.comboSourceList.items.size(), 10u);
    EXPECT_EQ(c.comboSourceList.items[0], "0 Select Source number 0");
    EXPECT_EQ(c.comboSourceList.items[9], "9 Select Source number 9");
    EXPECT_EQ(c.comboSourceList.text, "Select Source for Forced Manual Switch");

    // Stale players are killed and stale outputs removed.
    EXPECT_EQ(t.processes.kills, (std::vector<std::string>{"mplayer1", "mplayer2"}));
    EXPECT_FALSE(t.folder.exists("metadata.txt"));
    EXPECT_FALSE(t.folder.exists("metaextra.txt"));
    EXPECT_FALSE(t.folder.exists("mplayer.log"));
    EXPECT_TRUE(t.processes.starts.empty());
}

TEST(Startup, DefinesEveryTimerAndStartsOnlyWhatTheSettingsAsk) {
    TestStation t;
    Startup(*t);
    const std::map<std::string, int> periods = {
        {"tmrUptimeDisplayUpdate", 1000}, {"tmrCounter", 1000},       {"tmrClockandEventCheck", 100},
        {"tmrUpdateDisplay", 250},        {"tmrGetMetadata", 5000},   {"tmrLoadEventsAndCalculate", 10000},
        {"tmrCheckAndDoEvents", 1000},    {"tmrCheckMplayerOK", 15000}, {"tmrManagementDownload", 60000},
        {"tmrCheckForChanges", 60000},    {"tmrAirUpdate", 5000},     {"tmrWeather", 1000},
        {"tmrSourceCheck", 15000},        {"tmrCheckFile", 1000}};
    EXPECT_EQ(t.timers.timers.size(), periods.size());
    for (const auto& [name, period] : periods) {
        EXPECT_EQ(t.timers.periodMs(name), period) << name;
    }
    for (const char* on : {"tmrUptimeDisplayUpdate", "tmrCounter", "tmrClockandEventCheck", "tmrUpdateDisplay",
                           "tmrGetMetadata", "tmrLoadEventsAndCalculate", "tmrCheckAndDoEvents",
                           "tmrCheckMplayerOK"})
        EXPECT_TRUE(t.timers.running(on)) << on;
    for (const char* off : {"tmrManagementDownload", "tmrCheckForChanges", "tmrAirUpdate", "tmrWeather",
                            "tmrSourceCheck", "tmrCheckFile"})
        EXPECT_FALSE(t.timers.running(off)) << off;
}

TEST(Startup, SettingsTurnTheirFeaturesOn) {
    TestStation t;
    t.folder.write("brackenfield.ini",
                   "[Brackenfield]\r\nManagementUpdate=5\r\nCheckForChanges=1.4\r\nAPIallowed=1\r\n"
                   "AIRenable=1\r\nMetaWeather=1\r\nCheckSource=1\r\nTallyway=1\r\nDefaultStrapline=Radio\r\n");
    Startup(*t);
    const ConsoleModel& c = t.console();
    for (const char* on : {"tmrManagementDownload", "tmrCheckForChanges", "tmrAirUpdate", "tmrWeather",
                           "tmrSourceCheck", "tmrCheckFile"})
        EXPECT_TRUE(t.timers.running(on)) << on;
    EXPECT_EQ(c.lblConfigurationStatus.caption, "Enabled");
    EXPECT_EQ(c.lblAPIstatus.caption, "Enabled");
    EXPECT_EQ(t.apiWindowsOpened, 1);
    EXPECT_EQ(c.lblTuneInAir.caption, "Enabled");
    EXPECT_EQ(c.lblWeather.caption, "NO WEATHER");
    EXPECT_EQ(c.lblWeatherText.caption, "NO WEATHER DATA");
    EXPECT_EQ(c.lblFailText.caption, "WAITING");
    EXPECT_EQ(c.lblFailURL.caption, "PERFORMING INITIAL CHECKS");
    EXPECT_EQ(c.lblFailCheckTime.caption, "NONE");
    EXPECT_EQ(c.lblLastCheck.caption, "None");
    EXPECT_EQ(c.lblMetadataOutput.caption, "Radio");
}

TEST(Startup, PollingNeedsExactlyOneAfterRounding) {
    for (const auto& [value, on] : std::vector<std::pair<std::string, bool>>{
             {"1.5", false}, {"2", false}, {"0.5", false}, {"0.51", true}, {"abc", false}}) {
        TestStation t;
        t.folder.write("brackenfield.ini", "[Brackenfield]\r\nCheckForChanges=" + value + "\r\n");
        Startup(*t);
        EXPECT_EQ(t.timers.running("tmrCheckForChanges"), on) << value;
    }
}

TEST(Shutdown, ClosingLeavesPlayersTerminateStopsBothFirst) {
    TestStation t;
    Startup(*t);
    t.processes.kills.clear();
    Form_Unload(*t);
    EXPECT_EQ(t.quits, 1);
    EXPECT_TRUE(t.processes.kills.empty());

    cmdTerminate_Click(*t);
    EXPECT_EQ(t.processes.kills, (std::vector<std::string>{"mplayer1", "mplayer2"}));
    EXPECT_EQ(t.quits, 2);
}

}  // namespace
}  // namespace bf::test
