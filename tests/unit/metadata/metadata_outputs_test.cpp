#include "metadata/metadata_outputs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "test_station.h"

namespace bf {
namespace {

using test::TestStation;

class MetadataOutputsTest : public ::testing::Test {
protected:
    MetadataOutputsTest() {
        t.state().DefaultStrapline = "Station One";
        t.state().ExtraMetaNowPlaying = "OFF";
    }
    void produce(const std::string& rx) {
        t.state().RXmetadata = rx;
        ProduceMetadataOutputs(*t);
    }
    std::string metadata() const { return t.folder.read("metadata.txt"); }
    std::string extra() const { return t.folder.read("metaextra.txt"); }
    static bool Lit(const Label& l) { return l.foreColour == Colour::White && l.backColour == Colour::Red; }
    static bool Dimmed(const Label& l) {
        return l.foreColour == Colour::DimText && l.backColour == Colour::DimBackground;
    }
    TestStation t;
};

TEST_F(MetadataOutputsTest, ShortTextGivesTheDefaultStrapline) {
    produce("Hello");
    EXPECT_EQ(metadata(), "Station One\r\n");
    produce("Six!!!");
    EXPECT_EQ(metadata(), "Station One\r\n");
    produce("Seven!!");
    EXPECT_EQ(metadata(), "Seven!!\r\n");
    EXPECT_EQ(t.console().lblMetadataOutput.caption, "Seven!!");
}

TEST_F(MetadataOutputsTest, EmptyStraplineGivesEmptyLines) {
    t.state().DefaultStrapline.clear();
    produce("");
    EXPECT_EQ(metadata(), "\r\n");
    EXPECT_EQ(extra(), "\r\n");
}

TEST_F(MetadataOutputsTest, LeadingSeparatorIsDropped) {
    produce(" - Song Title");
    EXPECT_EQ(metadata(), "Song Title\r\n");
    EXPECT_EQ(extra(), "Song Title\r\n");
}

TEST_F(MetadataOutputsTest, BytesReachTheFilesUnchanged) {
    const std::string title = "Caf\xc3\xa9 \xc9t\xe9 - \xff\x80 Song";
    produce(title);
    EXPECT_EQ(metadata(), title + "\r\n");
    EXPECT_EQ(extra(), title + "\r\n");
}

struct PrefixCase {
    std::string nowPlaying;
    std::string noPrefixWhen;
    std::string extra;
};
class ExtraPrefixTest : public MetadataOutputsTest, public ::testing::WithParamInterface<PrefixCase> {};

TEST_P(ExtraPrefixTest, PrefixesTheExtraLineUnlessTheTextContainsTheExclusion) {
    t.state().ExtraMetaNowPlaying = GetParam().nowPlaying;
    t.state().DoNotPrefixWhenContains = GetParam().noPrefixWhen;
    produce("Artist - Song");
    EXPECT_EQ(extra(), GetParam().extra + "\r\n");
    EXPECT_EQ(metadata(), "Artist - Song\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Settings, ExtraPrefixTest,
    ::testing::Values(PrefixCase{"Now playing:", "", "Now playing: Artist - Song"},
                      PrefixCase{"Now playing:", "Song", "Artist - Song"},
                      PrefixCase{"Now playing:", "S", "Now playing: Artist - Song"},
                      PrefixCase{"Now playing:", "Jingle", "Now playing: Artist - Song"},
                      // 13 bytes of text: an exclusion of 10 is tested, one of 11 is not.
                      PrefixCase{"Now playing:", "rtist - So", "Artist - Song"},
                      PrefixCase{"Now playing:", "Artist - So", "Now playing: Artist - Song"},
                      PrefixCase{"Now playing:", "song", "Now playing: Artist - Song"},
                      PrefixCase{"OFF", "", "Artist - Song"},
                      PrefixCase{"off", "", "off Artist - Song"}));

TEST_F(MetadataOutputsTest, TrafficMarkerIsFilteredFromMetadataOnlyWhenAsked) {
    t.state().FilterSystem = "1";
    produce("!!*SYS*!!*TA1*!!");
    EXPECT_EQ(metadata(), "Station One\r\n");
    EXPECT_EQ(extra(), "!!*SYS*!!*TA1*!!\r\n");
    EXPECT_TRUE(Lit(t.console().lblRDSactive));
    EXPECT_TRUE(Lit(t.console().lblAPIactive));

    t.state().FilterSystem = "0";
    produce("!!*SYS*!!*TA1*!!");
    EXPECT_EQ(metadata(), "!!*SYS*!!*TA1*!!\r\n");
    EXPECT_EQ(extra(), "!!*SYS*!!*TA1*!!\r\n");

    produce("Artist - Song");
    EXPECT_TRUE(Dimmed(t.console().lblRDSactive));
    EXPECT_TRUE(Dimmed(t.console().lblAPIactive));
}

TEST_F(MetadataOutputsTest, LowerCaseCommandPassesThroughTheExtraLineUnchanged) {
    t.state().FilterSystem = "1";
    t.state().ExtraMetaNowPlaying = "Now:";
    t.state().MetaWeather = "1";
    t.state().TimerCount = 100;
    t.console().lblWeatherText.caption = "The temperature in London is 10 degrees.";
    produce(" - !!*sys*!! restart");
    EXPECT_EQ(metadata(), "Station One\r\n");
    EXPECT_EQ(extra(), " - !!*sys*!! restart\r\n");
    EXPECT_TRUE(Lit(t.console().lblAPIactive));
    EXPECT_TRUE(Dimmed(t.console().lblRDSactive));
}

TEST_F(MetadataOutputsTest, MarkerFoldsOnlyAsciiLetters) {
    EXPECT_TRUE(ContainsNoCase("x!!*SyS*!!y", "!!*SYS*!!"));
    EXPECT_FALSE(ContainsNoCase("!!*SYS*!", "!!*SYS*!!"));
    EXPECT_FALSE(ContainsNoCase("caf\xc9", "caf\xe9"));  // Latin-1 É and é stay different
}

TEST_F(MetadataOutputsTest, LongExtraLineIsCutOnTheLabelOnly) {
    const std::string line(70, 'e');
    produce(line);
    EXPECT_EQ(t.console().lblMetadataExtra.caption, line.substr(0, 64));
    EXPECT_EQ(extra(), line + "\r\n");
}

struct WeatherCase {
    std::string metaWeather;
    std::string caption;
    int16_t timerCount;
    bool shown;
};
class WeatherWindowTest : public MetadataOutputsTest, public ::testing::WithParamInterface<WeatherCase> {};

TEST_P(WeatherWindowTest, WeatherTakesTheExtraLineInTheSecondHalfMinute) {
    t.state().MetaWeather = GetParam().metaWeather;
    t.state().TimerCount = GetParam().timerCount;
    t.state().ExtraMetaNowPlaying = "Now:";
    t.console().lblWeatherText.caption = GetParam().caption;
    produce("Artist - Song");
    EXPECT_EQ(extra(), (GetParam().shown ? GetParam().caption : "Now: Artist - Song") + "\r\n");
    EXPECT_EQ(metadata(), "Artist - Song\r\n");
}

INSTANTIATE_TEST_SUITE_P(Window, WeatherWindowTest,
                         ::testing::Values(WeatherCase{"1", "Sunny and 20", 60, false},
                                           WeatherCase{"1", "Sunny and 20", 61, true},
                                           WeatherCase{"1", "Sunny and 20", 120, true},
                                           WeatherCase{"1", "NO WEATHER", 61, false},    // 10 bytes
                                           WeatherCase{"1", "NO WEATHER!", 61, true},   // 11 bytes
                                           WeatherCase{"0", "Sunny and 20", 61, false}));

TEST_F(MetadataOutputsTest, NewPaidItemWritesTallywayAndTraffic) {
    t.clock.set(2026, 12, 31, 5, 23, 59, 59);
    WriteBillingOutputs(*t, "$ Advert");
    EXPECT_EQ(t.folder.read("tallyway.txt"), "20261231-235959\r\n$ Advert\r\n");
    EXPECT_EQ(t.console().lblTraffic.caption, "2026-12-31 23:59:59  PAY - $ Advert");
    EXPECT_EQ(t.console().txtAIR, " 2026-12-31 23:59:59  PAY - $ Advert\r\n");
    EXPECT_EQ(t.state().TallywayTT, "20261231-235959");
    EXPECT_EQ(t.state().TallywayMM, "$ Advert");
}

TEST_F(MetadataOutputsTest, UnwritableFileIsSkippedAndTheRestIsWritten) {
    std::filesystem::create_directory(t.folder.path() / "metadata.txt");
    produce("Artist - Song");
    EXPECT_TRUE(std::filesystem::is_directory(t.folder.path() / "metadata.txt"));
    EXPECT_EQ(t.console().lblMetadataOutput.caption, "Artist - Song");
    EXPECT_EQ(extra(), "Artist - Song\r\n");
}

TEST_F(MetadataOutputsTest, RewritesLeaveNoTemporaryFilesBehind) {
    t.folder.write("metadata.txt", "old\r\n");
    produce("Artist - Song");
    WriteBillingOutputs(*t, "$ Advert");
    produce("Next Song Here");
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(t.folder.path())) names.insert(e.path().filename());
    EXPECT_EQ(names, (std::set<std::string>{"metadata.txt", "metaextra.txt", "tallyway.txt"}));
    EXPECT_EQ(metadata(), "Next Song Here\r\n");
}

}  // namespace
}  // namespace bf
