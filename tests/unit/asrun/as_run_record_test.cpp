#include "asrun/as_run_record.h"

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "test_station.h"

namespace bf {
namespace {

using test::TempFolder;

// Titles are the stream server's words: they never break a row, never turn
// into a formula, and keep their bytes.
TEST(AsRunRecord, AFieldIsQuotedAsRfc4180WantsAndNeverReadAsAFormula) {
    const std::pair<std::string, std::string> cases[] = {
        {"Artist - Title", "Artist - Title"},
        {"Crosby, Stills & Nash", "\"Crosby, Stills & Nash\""},
        {"12\" Mix", "\"12\"\" Mix\""},
        {"line\r\nbreak\ttab", "line  break tab"},
        {"=HYPERLINK(\"http://x\")", "\"'=HYPERLINK(\"\"http://x\"\")\""},
        {"+1", "'+1"},
        {"-2", "'-2"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"Caf\xe9 \xc3\xa9", "Caf\xe9 \xc3\xa9"},
        {"", ""},
    };
    for (const auto& [text, field] : cases) EXPECT_EQ(AsRunRecord::Field(text), field) << text;
}

LocalTime At(double epoch) {
    return LocalTimeAt(epoch);
}

// One file a day with its header once, rows appended as they come, days
// beyond the kept month dropped when a new day starts, and a day full of
// titles still takes the switches.
TEST(AsRunRecord, WritesADayAFileDropsDaysPastTheMonthAndBoundsADaysTitles) {
    setenv("TZ", "UTC", 1);
    tzset();
    TempFolder folder;
    constexpr double kDay = 86400;
    const double monday = 1796601600;  // 2026-12-07 00:00 UTC
    {
        AsRunRecord old(folder.path());
        ASSERT_TRUE(old.add({At(monday - 31 * kDay), AsRunEvent::OnAir, 1, "One", "schedule", ""}));
        ASSERT_TRUE(old.add({At(monday - 30 * kDay), AsRunEvent::OnAir, 1, "One", "schedule", ""}));
    }
    AsRunRecord record(folder.path());
    ASSERT_TRUE(record.add({At(monday + 3723), AsRunEvent::OnAir, 2, "Two", "api", ""}));
    ASSERT_TRUE(record.add({At(monday + 3724), AsRunEvent::Failover, 2, "Two", "", "Connection refused"}));
    ASSERT_TRUE(record.add({At(monday + 3725), AsRunEvent::LastResort, -1, "", "last resort", ""}));
    EXPECT_EQ(*record.day("2026-12-07"),
              "time,epoch,event,source,name,cause,detail\r\n"
              "2026-12-07 01:02:03,1796605323,on air,2,Two,api,\r\n"
              "2026-12-07 01:02:04,1796605324,failover,2,Two,,Connection refused\r\n"
              "2026-12-07 01:02:05,1796605325,last resort,,,last resort,\r\n");
    EXPECT_FALSE(record.day("2026-11-06"));  // 31 days before: dropped
    EXPECT_TRUE(record.day("2026-11-07"));
    EXPECT_FALSE(record.day("../brackenfield.ini"));

    const std::string title(1000, 't');
    for (int i = 0; i < 2100 && record.add({At(monday + 7200), AsRunEvent::Title, 2, "Two", "", title});
         ++i) {
    }
    const size_t full = record.day("2026-12-07")->size();
    EXPECT_LE(full, AsRunRecord::kTitleBytesPerDay);
    EXPECT_GT(full, AsRunRecord::kTitleBytesPerDay - 1100);
    EXPECT_TRUE(record.add({At(monday + 7201), AsRunEvent::OnAir, 1, "One", "schedule", ""}));
    unsetenv("TZ");
    tzset();
}

}  // namespace
}  // namespace bf
