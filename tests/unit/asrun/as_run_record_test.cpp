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
        {"\t=1+1", "' =1+1"},  // a control character before it, written as a blank
        {"\r\n @A1", "'   @A1"},
        {"Caf\xe9 \xc3\xa9", "Caf\xe9 \xc3\xa9"},
        {"", ""},
    };
    for (const auto& [text, field] : cases) EXPECT_EQ(AsRunRecord::Field(text), field) << text;
}

LocalTime At(double epoch) {
    return LocalTimeAt(epoch);
}

// One file a day with its header once, rows appended as they come, and a
// day full of titles still takes the switches.
TEST(AsRunRecord, WritesADayAFileAndBoundsADaysTitles) {
    setenv("TZ", "UTC", 1);
    tzset();
    TempFolder folder;
    const double monday = 1796601600;  // 2026-12-07 00:00 UTC
    AsRunRecord record(folder.path());
    // A day begun before the record said who keeps its columns; the next day has them.
    std::filesystem::create_directory(folder.path() / "asrun");
    folder.write("asrun/2026-12-06.csv", std::string(AsRunRecord::kHeaderWithoutBy));
    ASSERT_TRUE(record.add({At(monday - 1), AsRunEvent::OnAir, 1, "One", "web", "", "alice"}));
    EXPECT_EQ(record.day("2026-12-06")->substr(AsRunRecord::kHeaderWithoutBy.size()),
              "2026-12-06 23:59:59,1796601599,on air,1,One,web,\r\n");
    ASSERT_TRUE(record.add({At(monday + 3723), AsRunEvent::OnAir, 2, "Two", "api", "", "api"}));
    ASSERT_TRUE(record.add(
        {At(monday + 3724), AsRunEvent::Failover, 2, "Two", "", "http://u:p@h/: Connection refused"}));
    ASSERT_TRUE(record.add({At(monday + 3725), AsRunEvent::LastResort, -1, "", "last resort", ""}));
    EXPECT_EQ(*record.day("2026-12-07"),
              "time,epoch,event,source,name,cause,detail,by\r\n"
              "2026-12-07 01:02:03,1796605323,on air,2,Two,api,,api\r\n"
              "2026-12-07 01:02:04,1796605324,failover,2,Two,,http://h/: Connection refused,\r\n"
              "2026-12-07 01:02:05,1796605325,last resort,,,last resort,,\r\n");
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

// Days beyond the kept month go when a new day starts; a clock stepped far
// ahead (a bad time server's answer) drops no day, once or again; a day
// after the step, or back, the month counts from it.
TEST(AsRunRecord, DropsDaysPastTheMonthButNotWhenTheClockSteppedFarAhead) {
    setenv("TZ", "UTC", 1);
    tzset();
    TempFolder folder;
    const double monday = 1796601600;  // 2026-12-07 00:00 UTC
    AsRunRecord record(folder.path());
    auto add = [&](int day) {
        return record.add({At(monday + day * 86400.0), AsRunEvent::OnAir, 1, "", "", ""});
    };
    ASSERT_TRUE(add(-40) && add(-30) && add(-29) && add(0));
    // The day, the leap it makes, the days kept.
    const std::tuple<int, std::string, std::string> steps[] = {
        {90, "2026-12-07 2027-03-07", "2026-10-28 2026-11-07 2026-11-08 2026-12-07 2027-03-07 "},
        // Back: a day after the newest before it. 31 days are kept.
        {1, "", "2026-11-08 2026-12-07 2026-12-08 2027-03-07 "},
        {56, "2026-12-08 2027-02-01", "2026-11-08 2026-12-07 2026-12-08 2027-02-01 2027-03-07 "},
        {57, "", "2027-02-01 2027-02-02 2027-03-07 "}};
    for (const auto& [day, leap, kept] : steps) {
        ASSERT_TRUE(add(day));
        const auto leapt = record.takeDateLeap();
        EXPECT_EQ(leapt ? leapt->from + " " + leapt->to : "", leap) << day;
        EXPECT_FALSE(record.takeDateLeap());
        std::string days;
        for (const std::string& date : record.days()) days += date + " ";
        EXPECT_EQ(days, kept) << day;
    }
    unsetenv("TZ");
    tzset();
}

}  // namespace
}  // namespace bf
