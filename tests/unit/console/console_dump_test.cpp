#include "console/console_dump.h"

#include <gtest/gtest.h>

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
    for (const auto& item : DumpItems(*t)) names.push_back(item.first);
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
    EXPECT_EQ(
        Items(*t, "txtAIR lblDebug window.sizableBorder CurrentSource SystemRuntime api.row.1 api.created"),
        "txtAIR= 2026-12-06 12:00:00  SYS - SYSTEM STARTUP\\r\\n lblDebug=C:\\\\path\\tx\xe9 "
        "window.sizableBorder=0 CurrentSource=-1 SystemRuntime=93784 api.row.1=Slot 1 busy api.created=1");
}

}  // namespace
}  // namespace bf::test
