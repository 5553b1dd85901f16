#include "core/station_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <stdexcept>

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

TEST_F(StationLogTest, EveryLineIsAppendedToStationLogAndHandedToTheSink) {
    t.folder.write("station.log", "earlier run\r\n");
    AddToAirLog(*t, "  SYS - SYSTEM STARTUP");
    AddToAirLog(*t, "  USR - X");
    EXPECT_EQ(t.folder.read("station.log"),
              "earlier run\r\n" + kStartupLine + " 2026-12-31 23:59:59  USR - X\r\n");
    EXPECT_EQ(t.logged, (std::vector<std::string>{"2026-12-31 23:59:59  SYS - SYSTEM STARTUP",
                                                  "2026-12-31 23:59:59  USR - X"}));
}

TEST_F(StationLogTest, StationLogMovesToDotOneWhenTheNextLineWouldPassTheLimit) {
    const std::string full(kStationLogFileLimit - kStartupLine.size(), 'a');
    t.folder.write("station.log", full);
    t.folder.write("station.log.1", "oldest");
    AddToAirLog(*t, "  SYS - SYSTEM STARTUP");  // exactly at the limit: stays
    EXPECT_EQ(t.folder.read("station.log"), full + kStartupLine);
    AddToAirLog(*t, "  SYS - SYSTEM STARTUP");
    EXPECT_EQ(t.folder.read("station.log.1"), full + kStartupLine);
    EXPECT_EQ(t.folder.read("station.log"), kStartupLine);
}

TEST_F(StationLogTest, AStationLogThatCannotBeWrittenOrAFailingSinkLeaveTheConsoleLogWhole) {
    const std::function<void(const std::filesystem::path&)> blockers[] = {
        [](const auto& p) { std::filesystem::create_directory(p); },
        [](const auto& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0644), 0); }};  // no reader: must not wait for one
    for (const auto& block : blockers) {
        TestStation s;
        s.clock.set(2026, 12, 31, 5, 23, 59, 59);
        block(s.folder.path() / "station.log");
        s->logSink = [](std::string_view) { throw std::runtime_error("sink failed"); };
        AddToAirLog(*s, "  SYS - SYSTEM STARTUP");
        EXPECT_EQ(s.console().txtAIR, kStartupLine);
    }
}

}  // namespace
}  // namespace bf::test
