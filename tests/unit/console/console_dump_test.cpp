#include "console/console_dump.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "core/station_log.h"
#include "test_station.h"

namespace bf::test {
namespace {

using Items = std::vector<std::pair<std::string, std::string>>;

// Reads the dump back as a test rig would; fails on a line without a tab.
Items ParseDump(const std::string& dump) {
    Items items;
    size_t start = 0;
    while (start < dump.size()) {
        const size_t end = dump.find('\n', start);
        EXPECT_NE(end, std::string::npos) << "last line without LF";
        if (end == std::string::npos) break;
        const std::string line = dump.substr(start, end - start);
        const size_t tab = line.find('\t');
        EXPECT_NE(tab, std::string::npos) << line;
        if (tab != std::string::npos) items.emplace_back(line.substr(0, tab), line.substr(tab + 1));
        start = end + 1;
    }
    return items;
}

struct EscapeCase {
    std::string raw;
    std::string escaped;
};

class EscapeDumpValueTest : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(EscapeDumpValueTest, KeepsEveryValueOnOneLine) {
    EXPECT_EQ(EscapeDumpValue(GetParam().raw), GetParam().escaped);
}

INSTANTIATE_TEST_SUITE_P(Values, EscapeDumpValueTest,
                         ::testing::Values(EscapeCase{"plain text", "plain text"}, EscapeCase{"", ""},
                                           EscapeCase{"a\\b", "a\\\\b"}, EscapeCase{"line\r\n", "line\\r\\n"},
                                           EscapeCase{"a\tb", "a\\tb"}, EscapeCase{"\\r", "\\\\r"},
                                           EscapeCase{"Caf\xe9 \x01", "Caf\xe9 \x01"}));

TEST(DumpConsole, ListsLabelsButtonsControlsStateAndApiRowsInOrder) {
    TestStation t;
    t.station->api.rows = {"Slot 0 free", "Slot 1 busy"};
    const Items items = ParseDump(DumpConsole(*t));

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
    std::vector<std::string> names;
    for (const auto& item : items) names.push_back(item.first);
    EXPECT_EQ(names, expected);
}

TEST(DumpConsole, WritesValuesEscapedAndNumbersInDecimal) {
    TestStation t;
    AddToAirLog(*t, "  SYS - SYSTEM STARTUP");
    t.console().lblDebug.caption = "C:\\path\tx";
    t.console().window.sizableBorder = false;
    t.state().CurrentSource = -1;
    t.state().SystemRuntime = 93784;
    t.station->api.created = true;
    Items items = ParseDump(DumpConsole(*t));
    auto value = [&](const std::string& name) {
        for (const auto& item : items)
            if (item.first == name) return item.second;
        return std::string("<absent>");
    };
    EXPECT_EQ(value("txtAIR"), " 2026-12-06 12:00:00  SYS - SYSTEM STARTUP\\r\\n");
    EXPECT_EQ(value("lblDebug"), "C:\\\\path\\tx");
    EXPECT_EQ(value("cmdAutoManual"), "AUTOMATIC");
    EXPECT_EQ(value("comboSourceList"), "Select Source for Forced Manual Switch");
    EXPECT_EQ(value("window.maximized"), "0");
    EXPECT_EQ(value("window.sizableBorder"), "0");
    EXPECT_EQ(value("CurrentSource"), "-1");
    EXPECT_EQ(value("SystemRuntime"), "93784");
    EXPECT_EQ(value("NextEvent"), "X XXXXXX X");
    EXPECT_EQ(value("api.created"), "1");
}

}  // namespace
}  // namespace bf::test
