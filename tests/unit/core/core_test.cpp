#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <sstream>
#include <stdexcept>

#include "app/startup.h"
#include "core/number_parse.h"
#include "core/settings.h"
#include "core/station_log.h"
#include "core/text_file.h"
#include "test_station.h"

namespace bf::test {
namespace {

namespace fs = std::filesystem;

TEST(LeadingNumberParse, ReadsTheLeadingNumberRoundedHalfToEvenAndClampedToSixteenBits) {
    // clang-format off
    const std::pair<std::string, int16_t> cases[] = {
        {"1.4", 1}, {"1.5", 2}, {"2.5", 2}, {"-2.5", -2}, {"3.5", 4}, {"0.51", 1}, {".5", 0}, {"5.", 5},
        {"abc", 0}, {"", 0}, {"-5", -5}, {"+7", 7}, {"--5", 0}, {"12abc", 12}, {"1,5", 1}, {"/path/to/folder", 0},
        {"&H10", 16}, {"&h1f", 31}, {"&O17", 15}, {"&O8", 0}, {"&X1", 0},
        {" 1 2\t3\n", 123}, {"- 5", -5}, {"\r5", 0},  // blanks, tabs and LFs are dropped, a CR is not
        {"1e2", 100}, {"1E+2x", 100}, {"15e-1", 2}, {"1e", 1},
        // Outside the 16-bit range a value is clamped, never wrapped.
        {"32767.5", 32767}, {"32768", 32767}, {"-32768", -32768}, {"-40000", -32768}, {"&HFFFFF", 32767},
        {"1e999", 32767}, {"-1e999", -32768}, {"1e-999", 0}, {std::string(400, '9'), 32767}};
    // clang-format on
    for (const auto& [text, expected] : cases) EXPECT_EQ(ParseLeadingInt16(text), expected) << text;
    EXPECT_DOUBLE_EQ(ParseLeadingNumber("0.25s"), 0.25);  // pauses keep the fraction
}

TEST(ReadSetting, TakesTheFirstKeyOfTheSectionInAnyLetterCaseCutTo119BytesAndAtNul) {
    TestStation t;
    const std::string folder = t.folder.path().string().substr(0, 119);
    EXPECT_EQ(ReadSetting(*t, "DefaultStrapline"), folder);  // no file
    t.folder.write("brackenfield.ini",
                   "DefaultStrapline=outside any section\n[Other]\r\nDefaultStrapline=other section\r\n"
                   "[bRACKENFIELD]\nDEFAULTstrapline =  Radio One  \rEmpty=\r\nQuoted=\"in quotes\"\r\n"
                   "Dup=first\r\nDup=second\n; Comment=x\r\nLong=" +
                       std::string(200, 'x') + "\r\nNul=" + std::string("ab\0cd", 5) +
                       "\r\n[After]\r\nAfter=no\r\n");
    // clang-format off
    const std::pair<const char*, std::string> cases[] = {
        {"DefaultStrapline", "Radio One"}, {"empty", ""}, {"Quoted", "in quotes"}, {"Dup", "first"},
        {"Long", std::string(119, 'x')}, {"Nul", "ab"}, {"; Comment", folder}, {"After", folder}};
    // clang-format on
    for (const auto& [key, expected] : cases) EXPECT_EQ(ReadSetting(*t, key), expected) << key;
}

// A complete settings file, every value "k", with the keys named in `drop`
// left out and `first` put before them (the first line of a key wins).
std::string Ini(std::string_view drop, const std::string& first = "") {
    std::string ini = "[Brackenfield]\r\n" + first;
    std::istringstream keys(
        "DefaultStrapline ExtraMetaNowPlaying ManagementUpdate ManagementSendURL ManagementURL ManagementKey "
        "ManagementSwitcher CheckForChanges CheckForChangeURL APIallowed APIKey AIRenable AIRid AIRpartnerid "
        "AIRpartnerKey AIRdefaultTitle AIRdefaultArtist DoNotPrefixWhenContains MetaWeather "
        "MetaOpenWeatherMapKey MetaLocation CheckSource FilterSystem Tallyway MetaURL HideTaskbar");
    for (std::string key; keys >> key;)
        if (drop.find(key) == std::string_view::npos) ini += key + "=k\r\n";
    return ini;
}

// A missing settings file is in the startup test's station log.
TEST(StartupSettings, MissingKeysTakeSafeDefaultsAndTheStationLogNamesEveryProblem) {
    const std::string missing = "  SYS - SETTINGS MISSING, DEFAULTS IN USE: ";
    const std::string longValues =
        "MetaURL=" + std::string(120, 'u') + "\r\nAIRid=" + std::string(119, 'i') + "\r\n";
    // The settings file ("" for a folder in its place); then the strapline, the now-playing prefix, the API's
    // state, HideTaskbar and the station log's lines after the startup line (stamps left out).
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {"", "|OFF|Disabled|0|  SYS - SETTINGS FILE brackenfield.ini UNREADABLE - DEFAULTS IN USE|"},
        {"\xEF\xBB\xBF" + Ini("", "APIallowed=1\r\nHideTaskbar=1\r\n"), "k|k|Enabled|1|"},
        {Ini("", "DefaultStrapline=\r\nExtraMetaNowPlaying=\r\nHideTaskbar=1.0\r\n"), "||Disabled|0|"},
        {Ini("DefaultStrapline ExtraMetaNowPlaying APIKey", "APIallowed=1\r\n"),
         "|OFF|Disabled - no APIKey set|0|" + missing + "DefaultStrapline, ExtraMetaNowPlaying, APIKey|"
         "  SYS - API CLOSED: NO APIKey IN brackenfield.ini|"},
        {Ini("APIKey MetaURL"), "k|k|Disabled|0|" + missing + "APIKey, MetaURL|"},
        {Ini("HideTaskbar", "APIallowed=1\r\nAPIKey=\r\n" + longValues),
         "k|k|Enabled - empty APIKey: anyone may call|0|" + missing + "HideTaskbar - CUT TO 119 BYTES: MetaURL|"
         "  SYS - WARNING: APIKey IS EMPTY - ANY CALLER MAY USE THE API|"}};
    // clang-format on
    for (const auto& [ini, expected] : cases) {
        TestStation t;
        if (ini.empty()) fs::create_directory(t.folder.path() / "brackenfield.ini");
        if (!ini.empty()) t.folder.write("brackenfield.ini", ini);
        Startup(*t);
        std::string got = t.state().DefaultStrapline + "|" + t.state().ExtraMetaNowPlaying + "|" +
                          t.console().lblAPIstatus.caption + "|" + std::to_string(t.state().HideTaskbar) + "|";
        for (size_t i = 1; i < t.logged.size(); ++i) got += t.logged[i].substr(19) + "|";
        EXPECT_EQ(got, expected) << ini;
    }
}

// The stamp itself and the order of lines are in every other test of the station log.
const std::string kStartupLine = " 2026-12-31 23:59:59  SYS - SYSTEM STARTUP\r\n";  // 44 bytes

// A station whose clock shows the time of kStartupLine.
struct LoggingStation : TestStation {
    LoggingStation() { clock.set(2026, 12, 31, 5, 23, 59, 59); }
    void startup() { AddToAirLog(*station, "  SYS - SYSTEM STARTUP"); }
};

TEST(StationLog, TheConsoleLogIsCutAt2048AndStationLogMovedToDotOneAtItsLimit) {
    LoggingStation t;
    t.folder.write("station.log", "earlier run\r\n");
    t.startup();
    EXPECT_EQ(t.folder.read("station.log"), "earlier run\r\n" + kStartupLine);
    EXPECT_EQ(t.logged, std::vector<std::string>{"2026-12-31 23:59:59  SYS - SYSTEM STARTUP"});
    t.console().txtAIR = std::string(2004, 'a');  // 2004 + 44 = 2048: kept whole
    t.startup();
    EXPECT_EQ(t.console().txtAIR, kStartupLine + std::string(2004, 'a'));
    t.console().txtAIR = std::string(2010, 'b');  // 2054: cut to 2000, the new line on top
    t.startup();
    EXPECT_EQ(t.console().txtAIR, kStartupLine + std::string(2000 - 44, 'b'));

    const std::string full(kStationLogFileLimit - kStartupLine.size(), 'a');
    t.folder.write("station.log", full);
    t.folder.write("station.log.1", "oldest");
    t.startup();  // exactly at the limit: stays
    EXPECT_EQ(t.folder.read("station.log"), full + kStartupLine);
    t.startup();
    EXPECT_EQ(t.folder.read("station.log.1") + "|" + t.folder.read("station.log"),
              full + kStartupLine + "|" + kStartupLine);
}

TEST(StationLog, AStationLogThatCannotBeWrittenOrAFailingSinkLeaveTheConsoleLogWhole) {
    const std::function<void(const fs::path&)> blockers[] = {
        [](const auto& p) { fs::create_directory(p); },
        [](const auto& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0644), 0); }};  // no reader: must not wait for one
    for (const auto& block : blockers) {
        LoggingStation t;
        block(t.folder.path() / "station.log");
        t->logSink = [](std::string_view) { throw std::runtime_error("sink failed"); };
        t.startup();
        EXPECT_EQ(t.console().txtAIR, kStartupLine);
    }
}

TEST(TextFiles, SplitLinesEndsLinesAtCrLfLoneCrAndLoneLf) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(SplitLines("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines(std::string("x\0y\n\rb\r\n", 8)), (Lines{std::string("x\0y", 3), "", "b"}));
    EXPECT_TRUE(SplitLines("").empty());
}

TEST(TextFiles, ReadAndWriteBytesAndAFailedReplaceKeepsTheOldContentAndLeavesNoTemporaryFile) {
    TempFolder folder;
    const auto file = folder.path() / "out.txt";
    std::string big(3 * 1024 * 1024 + 17, 'z');
    big[5] = '\0';
    ASSERT_TRUE(ReplaceFile(file, big));
    ASSERT_TRUE(AppendToFile(file, "\xe9\r\n"));
    EXPECT_EQ(ReadWholeFile(file), big + "\xe9\r\n");
    EXPECT_FALSE(ReadWholeFile(folder.path() / "missing").has_value());
    EXPECT_FALSE(ReadWholeFile(folder.path()).has_value());  // a folder

    fs::create_directory(folder.path() / "busy.txt");  // cannot be replaced by a file
    EXPECT_FALSE(ReplaceFile(folder.path() / "busy.txt", "new"));
    EXPECT_TRUE(fs::is_directory(folder.path() / "busy.txt"));
    EXPECT_FALSE(ReplaceFile(folder.path() / "no-such-folder" / "x.txt", "new"));
    folder.write("frozen.txt", "old");
    fs::permissions(folder.path() / "frozen.txt", fs::perms::owner_read | fs::perms::others_read);
    EXPECT_FALSE(ReplaceFile(folder.path() / "frozen.txt", "new")) << "nobody may write it";
    EXPECT_EQ(folder.read("frozen.txt"), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 3);
}

TEST(TextFiles, ReplaceWritesThroughASymlinkAndKeepsThePermissions) {
    TempFolder folder, encoder;
    const fs::path link = folder.path() / "metadata.txt", target = encoder.path() / "now.txt";
    fs::create_symlink(fs::relative(target, folder.path()), link);  // the file is still to be made
    const fs::perms groupRead = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    for (const char* title : {"First\r\n", "Second\r\n"}) {
        ASSERT_TRUE(ReplaceFile(link, title));
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(encoder.read("now.txt"), title);
        EXPECT_EQ(fs::status(target).permissions() == groupRead, title[0] == 'S') << "kept from the first";
        fs::permissions(target, groupRead);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(encoder.path()), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace bf::test
