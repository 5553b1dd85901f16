#include "core/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <sstream>

#include "app/startup.h"
#include "test_station.h"

namespace bf::test {
namespace {

TEST(ReadSetting, TakesTheFirstKeyOfTheSectionInAnyLetterCaseCutTo119BytesAndAtNul) {
    TestStation t;
    const std::string folder = t.folder.path().string().substr(0, 119);
    EXPECT_EQ(ReadSetting(*t, "DefaultStrapline"), folder);  // no file
    std::string ini =
        "DefaultStrapline=outside any section\n[Other]\r\nDefaultStrapline=other section\r\n"
        "[bRACKENFIELD]\nDEFAULTstrapline =  Radio One  \rEmpty=\r\nQuoted=\"in quotes\"\r\n"
        "Dup=first\r\nDup=second\n; Comment=x\r\nLong=" +
        std::string(200, 'x') + "\r\nNul=" + std::string("ab\0cd", 5) + "\r\n[After]\r\nAfter=no\r\n";
    t.folder.write("brackenfield.ini", ini);
    const std::pair<const char*, std::string> cases[] = {{"DefaultStrapline", "Radio One"},
                                                         {"empty", ""},
                                                         {"Quoted", "in quotes"},
                                                         {"Dup", "first"},
                                                         {"Long", std::string(119, 'x')},
                                                         {"Nul", "ab"},
                                                         {"; Comment", folder},
                                                         {"After", folder},
                                                         {"Missing", folder}};
    for (const auto& [key, expected] : cases) EXPECT_EQ(ReadSetting(*t, key), expected) << key;
}

TEST(LoadSettings, OnOffIsOnlyExactlyOneAndNumbersUseTheLeadingParse) {
    TestStation t;
    t.folder.write("brackenfield.ini",
                   "[Brackenfield]\r\nCheckSource=yes\r\nFilterSystem=1\r\nCheckForChanges=1.4\r\n"
                   "ManagementUpdate=-5\r\nHideTaskbar=1\r\nMetaURL=http://billing/\r\nAPIKey=k\r\n"
                   "AIRpartnerKey=pk\r\n");
    EXPECT_EQ(LoadSettings(*t), t.folder.path().string());  // Tallyway
    EXPECT_EQ(t.state().CheckSource, "yes");
    EXPECT_EQ(t.state().CheckForChanges, 1);
    EXPECT_EQ(t.state().ManagementUpdate, -5);
    EXPECT_EQ(t.state().HideTaskbar, 1);
    EXPECT_EQ(t.state().URLbase, "http://billing/");
    EXPECT_EQ(t.state().APIkey, "k");
    EXPECT_EQ(t.state().AIRpartnerkey, "pk");
    EXPECT_EQ(t.console().lblFilterSystem.caption, "SYSTEM API FILTER ON");
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

TEST(StartupSettings, MissingKeysTakeSafeDefaultsAndTheStationLogNamesEveryProblem) {
    struct Case {
        const char* name;
        std::optional<std::string> ini;  // "<none>": no file; nullopt: a folder in its place
        std::string strapline, extraPrefix, apiStatus;
        int apiWindows;
        std::string log;  // the lines after the startup line, stamps left out
    };
    const std::string missing = "  SYS - SETTINGS MISSING, DEFAULTS IN USE: ";
    // clang-format off
    const Case cases[] = {
        {"NoFile", "<none>", "", "OFF", "Disabled", 0, "  SYS - SETTINGS FILE brackenfield.ini MISSING - DEFAULTS IN USE|"},
        {"FolderInItsPlace", std::nullopt, "", "OFF", "Disabled", 0, "  SYS - SETTINGS FILE brackenfield.ini UNREADABLE - DEFAULTS IN USE|"},
        {"CompleteAfterAByteOrderMark", "\xEF\xBB\xBF" + Ini("", "APIallowed=1\r\n"), "k", "k", "Enabled", 1, ""},
        {"EmptyValuesAreNotMissing", Ini("", "DefaultStrapline=\r\nExtraMetaNowPlaying=\r\n"), "", "", "Disabled", 0, ""},
        {"ThreeMissingApiClosed", Ini("DefaultStrapline ExtraMetaNowPlaying APIKey", "APIallowed=1\r\n"), "", "OFF",
         "Disabled - no APIKey set", 0, missing + "DefaultStrapline, ExtraMetaNowPlaying, APIKey|  SYS - API CLOSED: NO APIKey IN brackenfield.ini|"},
        {"MissingKeyWithApiOff", Ini("APIKey MetaURL"), "k", "k", "Disabled", 0, missing + "APIKey, MetaURL|"},
        {"EmptyKeyWarnedAndLongValuesCut", Ini("HideTaskbar", "APIallowed=1\r\nAPIKey=\r\nMetaURL=" + std::string(120, 'u') + "\r\nAIRid=" + std::string(119, 'i') + "\r\n"),
         "k", "k", "Enabled - empty APIKey: anyone may call", 1,
         missing + "HideTaskbar - CUT TO 119 BYTES: MetaURL|  SYS - WARNING: APIKey IS EMPTY - ANY CALLER MAY USE THE API|"}};
    // clang-format on
    for (const Case& c : cases) {
        TestStation t;
        if (!c.ini) std::filesystem::create_directory(t.folder.path() / "brackenfield.ini");
        if (c.ini && *c.ini != "<none>") t.folder.write("brackenfield.ini", *c.ini);
        Startup(*t);
        std::string log;
        for (size_t i = 1; i < t.logged.size(); ++i) log += t.logged[i].substr(19) + "|";
        EXPECT_EQ(log, c.log) << c.name;
        EXPECT_EQ(t.state().DefaultStrapline, c.strapline) << c.name;
        EXPECT_EQ(t.state().ExtraMetaNowPlaying, c.extraPrefix) << c.name;
        EXPECT_EQ(t.console().lblAPIstatus.caption, c.apiStatus) << c.name;
        EXPECT_EQ(t.apiWindowsOpened, c.apiWindows) << c.name;
    }
}

}  // namespace
}  // namespace bf::test
