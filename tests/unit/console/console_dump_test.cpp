#include "console/console_dump.h"

#include <gtest/gtest.h>

#include <set>

#include "core/station_log.h"
#include "test_station.h"

namespace bf::test {
namespace {

TEST(DumpConsole, ListsEachItemOnceOnItsOwnLineWithItsEscapedValue) {
    TestStation t;
    AddToAirLog(*t, "  SYS - SYSTEM STARTUP");
    t.console().lblDebug.caption = "C:\\path\tx\xe9";
    t.console().window.sizableBorder = false;
    t.state().CurrentSource = -1;
    t.station->api.rows = {"Slot 0 free", "Slot 1 busy"};
    t.station->api.created = true;

    const std::string dump = DumpConsole(*t);
    std::set<std::string> names;
    for (const auto& item : DumpItems(*t)) names.insert(item.first);
    // 50 labels, 7 buttons, the source list, the log, 2 window flags, 15 state fields, 2 API rows and
    // the API window's flag; a value that broke its line would add a line.
    EXPECT_EQ(names.size(), 79u);
    EXPECT_EQ(CountOf(dump, "\n"), 79u);
    EXPECT_EQ(dump.back(), '\n');
    EXPECT_EQ(
        Items(*t, "txtAIR lblDebug cmdTerminate window.sizableBorder CurrentSource api.row.1 api.created"),
        "txtAIR= 2026-12-06 12:00:00  SYS - SYSTEM STARTUP\\r\\n lblDebug=C:\\\\path\\tx\xe9 "
        "cmdTerminate=             EXIT AND STOP            (DEAD AIR) window.sizableBorder=0 "
        "CurrentSource=-1 api.row.1=Slot 1 busy api.created=1");
}

}  // namespace
}  // namespace bf::test
