#include "core/station_log.h"

#include <gtest/gtest.h>

#include "test_station.h"

namespace bf::test {
namespace {

TEST(StationLog, AddsStampedLineOnTopWithCrLf) {
    TestStation t;
    t.clock.set(2026, 12, 31, 5, 23, 59, 59);
    AddToAirLog(*t, "  SYS - SYSTEM STARTUP");
    EXPECT_EQ(t.console().txtAIR, " 2026-12-31 23:59:59  SYS - SYSTEM STARTUP\r\n");
    EXPECT_EQ(t.console().txtAIR.size(), 44u);
    t.clock.set(2027, 1, 2, 7, 7, 8, 9);
    AddToAirLog(*t, "X");  // no blanks of its own: none is added
    EXPECT_EQ(t.console().txtAIR,
              " 2027-01-02 07:08:09X\r\n 2026-12-31 23:59:59  SYS - SYSTEM STARTUP\r\n");
}

TEST(StationLog, CutsToTwoThousandOnlyWhenLongerThan2048) {
    TestStation t;
    t.clock.set(2026, 12, 31, 5, 23, 59, 59);
    const std::string line = " 2026-12-31 23:59:59  SYS - SYSTEM STARTUP\r\n";

    t.console().txtAIR = std::string(2004, 'a');  // 2004 + 44 = 2048: kept whole
    AddToAirLog(*t, "  SYS - SYSTEM STARTUP");
    EXPECT_EQ(t.console().txtAIR.size(), 2048u);

    t.console().txtAIR = std::string(2010, 'b');  // 2054: cut to 2000, new line on top
    AddToAirLog(*t, "  SYS - SYSTEM STARTUP");
    ASSERT_EQ(t.console().txtAIR.size(), 2000u);
    EXPECT_EQ(t.console().txtAIR.substr(0, 44), line);
    EXPECT_EQ(t.console().txtAIR.back(), 'b');
}

TEST(StationLog, StampedStatusHasNoLeadingBlankAndNoLineEnd) {
    TestStation t;
    t.clock.set(2026, 1, 5, 2, 9, 3, 7);
    EXPECT_EQ(StampedStatus(*t, "  NO BILLING DATA"), "2026-01-05 09:03:07  NO BILLING DATA");
}

}  // namespace
}  // namespace bf::test
