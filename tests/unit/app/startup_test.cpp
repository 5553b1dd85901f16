#include "app/startup.h"

#include <gtest/gtest.h>

#include "console/console_dump.h"
#include "test_station.h"

namespace bf::test {
namespace {

TEST(Startup, EmptyFolderGivesTheDocumentedStartingState) {
    TestStation t;
    t.clock.set(2026, 12, 31, 5, 23, 59, 59);
    for (const char* stale : {"metadata.txt", "metaextra.txt", "mplayer.log"}) t.folder.write(stale, "old");
    Startup(*t);

    const std::string folder = t.folder.path().string();
    EXPECT_EQ(t.state().SystemStart, "12-31-2026-23:59:59");
    EXPECT_EQ(t.state().StartupFlag, 1);
    EXPECT_EQ(t.state().DefaultStrapline, folder);
    EXPECT_EQ(t.console().comboSourceList.items.size(), 10u);
    EXPECT_EQ(t.console().comboSourceList.items.at(9), "9 Select Source number 9");
    // clang-format off
    const std::map<std::string, std::string> expected = {
        {"CurrentMplayer", "0"}, {"CurrentSource", "-1"}, {"WasPlaying", "-1"}, {"NextEvent", "X XXXXXX X"},
        {"LastEvent", "X XXXXXX X"}, {"txtAIR", " 2026-12-31 23:59:59  SYS - SYSTEM STARTUP\\r\\n"},
        {"lblTraffic", "2026-12-31 23:59:59  NO BILLING DATA"}, {"lblMetadataOutput", folder},
        {"lblRemoteStatus", "2026-12-31 23:59:59  NO REMOTE API CALLS MADE"}, {"lblWeather", ""},
        {"lblWeatherText", ""}, {"lblMplayer1", ""}, {"lblDebug", ""}, {"lblFailText", "DISABLED"},
        {"lblFailURL", "NONE"}, {"lblFailCheckTime", "NONE"}, {"lblLastCheck", "Disabled"},
        {"lblTuneInAir", "Disabled"}, {"lblConfigurationStatus", "Disabled"}, {"lblAPIstatus", "Disabled"},
        {"lblTimestamp", "None"}, {"lblFilterSystem", "SYSTEM API FILTER OFF"}, {"cmdAutoManual", "AUTOMATIC"},
        {"comboSourceList", "Select Source for Forced Manual Switch"}};
    // clang-format on
    const auto items = DumpItems(*t);
    const std::map<std::string, std::string> shown(items.begin(), items.end());
    for (const auto& [name, value] : expected) EXPECT_EQ(shown.at(name), value) << name;
    EXPECT_EQ(t.apiWindowsOpened, 0);
    // Stale players are killed and stale outputs removed; nothing is started.
    EXPECT_EQ(t.processes.log, (std::vector<std::string>{"kill mplayer1", "kill mplayer2"}));
    for (const char* stale : {"metadata.txt", "metaextra.txt", "mplayer.log"})
        EXPECT_FALSE(t.folder.exists(stale)) << stale;

    // clang-format off
    const std::map<std::string, std::pair<int, bool>> timers = {
        {"tmrUptimeDisplayUpdate", {1000, true}}, {"tmrCounter", {1000, true}}, {"tmrClockandEventCheck", {100, true}},
        {"tmrUpdateDisplay", {250, true}}, {"tmrGetMetadata", {5000, true}}, {"tmrLoadEventsAndCalculate", {10000, true}},
        {"tmrCheckAndDoEvents", {1000, true}}, {"tmrCheckMplayerOK", {15000, true}},
        {"tmrManagementDownload", {60000, false}}, {"tmrCheckForChanges", {60000, false}}, {"tmrAirUpdate", {5000, false}},
        {"tmrWeather", {1000, false}}, {"tmrSourceCheck", {15000, false}}, {"tmrCheckFile", {1000, false}}};
    // clang-format on
    EXPECT_EQ(t.timers.timers.size(), timers.size());
    for (const auto& [name, timer] : timers) {
        EXPECT_EQ(t.timers.periodMs(name), timer.first) << name;
        EXPECT_EQ(t.timers.running(name), timer.second) << name;
    }
}

TEST(Startup, SettingsTurnTheirFeaturesOn) {
    TestStation t;
    t.folder.write("brackenfield.ini",
                   "[Brackenfield]\r\nManagementUpdate=5\r\nCheckForChanges=1.4\r\nAPIallowed=1\r\n"
                   "AIRenable=1\r\nMetaWeather=1\r\nCheckSource=1\r\nTallyway=1\r\nDefaultStrapline=Radio\r\n"
                   "FastFailover=1\r\n");
    Startup(*t);
    EXPECT_EQ(t.timers.periodMs("tmrSourceCheck"), 1000);
    for (const char* on : {"tmrManagementDownload", "tmrCheckForChanges", "tmrAirUpdate", "tmrWeather",
                           "tmrSourceCheck", "tmrCheckFile"})
        EXPECT_TRUE(t.timers.running(on)) << on;
    EXPECT_EQ(t.apiWindowsOpened, 1);
    EXPECT_EQ(
        Items(*t, "lblConfigurationStatus lblAPIstatus lblTuneInAir lblWeather lblWeatherText lblLastCheck"),
        "lblConfigurationStatus=Enabled lblAPIstatus=Enabled lblTuneInAir=Enabled lblWeather=NO WEATHER "
        "lblWeatherText=NO WEATHER DATA lblLastCheck=None");
    EXPECT_EQ(Items(*t, "lblFailText lblFailURL lblFailCheckTime lblMetadataOutput"),
              "lblFailText=WAITING lblFailURL=PERFORMING INITIAL CHECKS lblFailCheckTime=NONE "
              "lblMetadataOutput=Radio");
}

// What the settings decide at startup: the console, the running timers and
// the numbers, with the folder's path written as "<folder>".
std::string StartupOutcome(const std::string& ini, bool writeFile = true) {
    TestStation t;
    if (writeFile) t.folder.write("brackenfield.ini", ini);
    Startup(*t);
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

TEST(Startup, PollingNeedsExactlyOneAfterRounding) {
    for (const auto& [value, on] : std::vector<std::pair<std::string, bool>>{
             {"1.5", false}, {"2", false}, {"0.5", false}, {"0.51", true}, {"abc", false}}) {
        TestStation t;
        t.folder.write("brackenfield.ini", "[Brackenfield]\r\nCheckForChanges=" + value + "\r\n");
        Startup(*t);
        EXPECT_EQ(t.timers.running("tmrCheckForChanges"), on) << value;
    }
}

TEST(Shutdown, ClosingLeavesThePlayersAndTerminateStopsBothFirst) {
    TestStation t;
    Form_Unload(*t);
    EXPECT_EQ(t.quits, 1);
    EXPECT_TRUE(t.processes.kills.empty());
    t.processes.onCall = [&](const std::string&) { EXPECT_EQ(t.quits, 1) << "killed before the end"; };
    cmdTerminate_Click(*t);
    EXPECT_EQ(t.processes.kills, (std::vector<std::string>{"mplayer1", "mplayer2"}));
    EXPECT_EQ(t.quits, 2);
}

}  // namespace
}  // namespace bf::test
