#include "core/settings.h"

#include <gtest/gtest.h>

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

TEST(StartupSettings, QuotedDuplicatedAndOtherCaseKeysWorkWithAnyLineEnds) {
    for (const std::string eol : {"\n", "\r\n", "\r"}) {
        TestStation t;
        t.folder.write("brackenfield.ini", "[brackenfield]" + eol + "checksource=\"1\"" + eol +
                                               "CheckSource=0" + eol +
                                               "DefaultStrapline=" + std::string(200, 's') + eol);
        Startup(*t);
        EXPECT_TRUE(t.timers.running("tmrSourceCheck"));
        EXPECT_EQ(t.timers.periodMs("tmrSourceCheck"), 15000);
        EXPECT_EQ(t.state().DefaultStrapline, std::string(119, 's'));
    }
}

}  // namespace
}  // namespace bf::test
