#include "core/settings.h"

#include <gtest/gtest.h>

#include "core/startup.h"
#include "test_station.h"

namespace bf::test {
namespace {

TEST(ReadSetting, MissingFileOrKeyReadsAsWorkingFolderPath) {
    TestStation t;
    const std::string folder = t.folder.path().string();
    EXPECT_EQ(ReadSetting(*t, "DefaultStrapline"), folder.substr(0, 119));
    t.folder.write("brackenfield.ini", "[Brackenfield]\r\nOther=1\r\n");
    EXPECT_EQ(ReadSetting(*t, "DefaultStrapline"), folder.substr(0, 119));
}

TEST(ReadSetting, FindsKeysOfTheSectionWhateverTheLetterCaseAndLineEnds) {
    TestStation t;
    t.folder.write("brackenfield.ini",
                   "DefaultStrapline=outside any section\n"
                   "[Other]\r\nDefaultStrapline=other section\r\n"
                   "[bRACKENFIELD]\nDEFAULTstrapline =  Radio One  \rEmpty=\r\n"
                   "Quoted=\"in quotes\"\r\nDup=first\r\nDup=second\n"
                   "; Comment=x\r\nNul=ab\0cd\r\n"
                   "[After]\r\nAfter=no\r\n");
    EXPECT_EQ(ReadSetting(*t, "DefaultStrapline"), "Radio One");
    EXPECT_EQ(ReadSetting(*t, "empty"), "");
    EXPECT_EQ(ReadSetting(*t, "Quoted"), "in quotes");
    EXPECT_EQ(ReadSetting(*t, "Dup"), "first");
    EXPECT_EQ(ReadSetting(*t, "; Comment"), t.folder.path().string().substr(0, 119));
    EXPECT_EQ(ReadSetting(*t, "After"), t.folder.path().string().substr(0, 119));
}

TEST(ReadSetting, CutsValuesTo119BytesAndAtNul) {
    TestStation t;
    std::string ini = "[Brackenfield]\r\nLong=" + std::string(200, 'x') + "\r\nNul=";
    ini += std::string("ab\0cd", 5);
    ini += "\r\n";
    t.folder.write("brackenfield.ini", ini);
    EXPECT_EQ(ReadSetting(*t, "Long"), std::string(119, 'x'));
    EXPECT_EQ(ReadSetting(*t, "Nul"), "ab");
}

TEST(LoadSettings, OnOffIsOnlyExactlyOneAndNumbersUseTheLeadingParse) {
    TestStation t;
    t.folder.write("brackenfield.ini",
                   "[Brackenfield]\r\nCheckSource=yes\r\nFilterSystem=1\r\nCheckForChanges=1.4\r\n"
                   "ManagementUpdate=-5\r\nHideTaskbar=1\r\nMetaURL=http://billing/\r\nAPIKey=k\r\n"
                   "AIRpartnerKey=pk\r\n");
    const std::string tallyway = LoadSettings(*t);
    EXPECT_EQ(t.state().CheckSource, "yes");
    EXPECT_EQ(t.state().CheckForChanges, 1);
    EXPECT_EQ(t.state().ManagementUpdate, -5);
    EXPECT_EQ(t.state().HideTaskbar, 1);
    EXPECT_EQ(t.state().URLbase, "http://billing/");
    EXPECT_EQ(t.state().APIkey, "k");
    EXPECT_EQ(t.state().AIRpartnerkey, "pk");
    EXPECT_EQ(t.console().lblFilterSystem.caption, "SYSTEM API FILTER ON");
    EXPECT_EQ(tallyway, t.folder.path().string().substr(0, 119));
}

// Whatever the settings file holds, the startup completes with the documented
// values of a missing file for every key it cannot read.
class StartupWithBadSettings : public ::testing::TestWithParam<std::string> {};

TEST_P(StartupWithBadSettings, CompletesWithEverythingOff) {
    TestStation t;
    if (GetParam() != "<none>") t.folder.write("brackenfield.ini", GetParam());
    Startup(*t);
    const std::string folder = t.folder.path().string().substr(0, 119);
    EXPECT_EQ(t.state().DefaultStrapline, folder);
    EXPECT_EQ(t.console().lblMetadataOutput.caption, folder);
    EXPECT_EQ(t.state().ManagementUpdate, 0);
    EXPECT_EQ(t.state().HideTaskbar, 0);
    EXPECT_EQ(t.console().lblFailText.caption, "DISABLED");
    EXPECT_EQ(t.console().lblConfigurationStatus.caption, "Disabled");
    EXPECT_EQ(t.console().lblAPIstatus.caption, "Disabled");
    EXPECT_EQ(t.console().lblLastCheck.caption, "Disabled");
    EXPECT_EQ(t.console().lblFilterSystem.caption, "SYSTEM API FILTER OFF");
    EXPECT_FALSE(t.timers.running("tmrSourceCheck"));
    EXPECT_EQ(t.apiWindowsOpened, 0);
}

std::string Binary() {
    std::string s;
    for (int i = 0; i < 4096; ++i) s.push_back(static_cast<char>((i * 7919) % 256));
    return s;
}

INSTANTIATE_TEST_SUITE_P(Files, StartupWithBadSettings,
                         ::testing::Values(std::string("<none>"), std::string(""),
                                           std::string("[Brackenfield]\r\n"), std::string("[Brackenfield]"),
                                           Binary(), std::string("Brackenfield\nCheckSource=1\n"),
                                           std::string("[Other]\nAPIallowed=1\nCheckSource=1\n")));

TEST(StartupSettings, QuotedDuplicatedAndOtherCaseKeysWorkWithAnyLineEnds) {
    for (const std::string eol : {"\n", "\r\n", "\r"}) {
        TestStation t;
        t.folder.write("brackenfield.ini", "[brackenfield]" + eol + "checksource=\"1\"" + eol + "CheckSource=0" +
                                               eol + "DefaultStrapline=" + std::string(200, 's') + eol);
        Startup(*t);
        EXPECT_EQ(t.state().CheckSource, "1");
        EXPECT_TRUE(t.timers.running("tmrSourceCheck"));
        EXPECT_EQ(t.state().DefaultStrapline, std::string(119, 's'));
    }
}

}  // namespace
}  // namespace bf::test
