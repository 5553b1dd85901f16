#include "console/console_dump.h"

#include <gtest/gtest.h>

#include <map>

#include "core/station_log.h"
#include "test_station.h"

namespace bf::test {
namespace {

TEST(DumpConsole, ListsEveryItemInOrderOnePerLineWithItsEscapedValue) {
    TestStation t;
    AddToAirLog(*t, "  SYS - SYSTEM STARTUP");
    t.console().lblDebug.caption = "C:\\path\tx\xe9";
    t.console().window.sizableBorder = false;
    t.state().CurrentSource = -1;
    t.state().SystemRuntime = 93784;
    t.station->api.rows = {"Slot 0 free", "Slot 1 busy"};
    t.station->api.created = true;

    EXPECT_EQ(DumpConsole(*t).back(), '\n');
    std::vector<std::string> names;
    std::map<std::string, std::string> values;
    for (const auto& [name, value] : DumpItems(*t)) {
        names.push_back(name);
        values[name] = value;
    }
    std::vector<std::string> expected;
    for (const auto& named : ConsoleModel::labels()) expected.push_back(named.name);
    for (const auto& named : ConsoleModel::buttons()) expected.push_back(named.name);
    for (const char* name :
         {"comboSourceList",  "txtAIR",        "window.maximized", "window.sizableBorder", "CurrentMplayer",
          "CurrentSource",    "WasPlaying",    "SilenceFlag",      "LinkFailCount",        "LinkSource",
          "LinkStoredSource", "NextEvent",     "LastEvent",        "RXmetadata",           "PreviousMetadata",
          "TimerCount",       "SystemRuntime", "TallywayTT",       "TallywayMM",           "api.row.0",
          "api.row.1",        "api.created"})
        expected.push_back(name);
    EXPECT_EQ(names, expected);
    EXPECT_EQ(values["txtAIR"], " 2026-12-06 12:00:00  SYS - SYSTEM STARTUP\\r\\n");
    EXPECT_EQ(values["lblDebug"], "C:\\\\path\\tx\xe9");
    EXPECT_EQ(values["cmdAutoManual"], "AUTOMATIC");
    EXPECT_EQ(values["comboSourceList"], "Select Source for Forced Manual Switch");
    EXPECT_EQ(values["window.sizableBorder"], "0");
    EXPECT_EQ(values["CurrentSource"], "-1");
    EXPECT_EQ(values["SystemRuntime"], "93784");
    EXPECT_EQ(values["NextEvent"], "X XXXXXX X");
    EXPECT_EQ(values["api.row.1"], "Slot 1 busy");
    EXPECT_EQ(values["api.created"], "1");
}

}  // namespace
}  // namespace bf::test
