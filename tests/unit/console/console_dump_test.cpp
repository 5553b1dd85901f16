#include "console/console_dump.h"

#include <gtest/gtest.h>

#include <set>

#include "core/station_log.h"
#include "core/text_file.h"
#include "test_station.h"

namespace bf::test {
namespace {

TEST(DumpConsole, ListsEachItemOnceOnItsOwnLineWithItsEscapedValue) {
    TestStation t;
    AddToAirLog(*t, "  SYS - SYSTEM STARTUP");
    t.console().lblDebug.caption = "C:\\path\tx\xe9";
    t.console().window.sizableBorder = false;
    t.state().CurrentSource = -1;
    t->api.rows = {"Slot 0 free", "Slot 1 busy"};
    t->api.created = true;
    const std::string dump = DumpConsole(*t);
    std::set<std::string> names;
    for (const std::string& line : SplitLines(dump)) names.insert(line.substr(0, line.find('\t')));
    EXPECT_EQ(names.size(), CountOf(dump, "\n")) << "a name twice";
    EXPECT_EQ(
        Items(*t, "txtAIR lblDebug cmdTerminate window.sizableBorder CurrentSource api.row.1 api.created"),
        "txtAIR= 2026-12-06 12:00:00  SYS - SYSTEM STARTUP\\r\\n lblDebug=C:\\\\path\\tx\xe9 "
        "cmdTerminate=             EXIT AND STOP            (DEAD AIR) window.sizableBorder=0 "
        "CurrentSource=-1 api.row.1=Slot 1 busy api.created=1");
}

}  // namespace
}  // namespace bf::test
