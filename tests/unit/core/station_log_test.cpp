#include "core/station_log.h"

#include <gtest/gtest.h>

#include "test_station.h"

namespace bf::test {
namespace {

const std::string kStartupLine = " 2026-12-31 23:59:59  SYS - SYSTEM STARTUP\r\n";  // 44 bytes

struct StationLogTest : ::testing::Test {
    TestStation t;
    StationLogTest() { t.clock.set(2026, 12, 31, 5, 23, 59, 59); }
};

TEST_F(StationLogTest, AddsAStampedLineOnTopWithCrLf) {
    AddToAirLog(*t, "  SYS - SYSTEM STARTUP");
    EXPECT_EQ(t.console().txtAIR, kStartupLine);
    t.clock.set(2027, 1, 2, 7, 7, 8, 9);
    AddToAirLog(*t, "X");  // no blanks of its own: none is added
    EXPECT_EQ(t.console().txtAIR, " 2027-01-02 07:08:09X\r\n" + kStartupLine);
    EXPECT_EQ(StampedStatus(*t, "  NO BILLING DATA"), "2027-01-02 07:08:09  NO BILLING DATA");
}

TEST_F(StationLogTest, CutsToTwoThousandOnlyWhenLongerThan2048) {
    t.console().txtAIR = std::string(2004, 'a');  // 2004 + 44 = 2048: kept whole
    AddToAirLog(*t, "  SYS - SYSTEM STARTUP");
    EXPECT_EQ(t.console().txtAIR, kStartupLine + std::string(2004, 'a'));
    t.console().txtAIR = std::string(2010, 'b');  // 2054: cut to 2000, the new line on top
    AddToAirLog(*t, "  SYS - SYSTEM STARTUP");
    EXPECT_EQ(t.console().txtAIR, kStartupLine + std::string(2000 - 44, 'b'));
}

}  // namespace
}  // namespace bf::test
