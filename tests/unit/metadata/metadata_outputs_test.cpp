#include "metadata/metadata_outputs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "test_station.h"

namespace bf::test {
namespace {

namespace fs = std::filesystem;

struct MetadataOutputsTest : ::testing::Test {
    TestStation t;
    MetadataOutputsTest() {
        t.state().DefaultStrapline = "Station One";
        t.state().ExtraMetaNowPlaying = "OFF";
    }
    void produce(const std::string& rx) {
        t.state().RXmetadata = rx;
        ProduceMetadataOutputs(*t);
    }
    // Both files, which always end their line with CR LF.
    std::string files() const { return t.folder.read("metadata.txt") + "|" + t.folder.read("metaextra.txt"); }
    // The traffic and system-command indicators, each "lit" or "dim".
    std::string indicators() {
        auto shade = [](const Label& l) {
            if (l.foreColour == Colour::White && l.backColour == Colour::Red) return "lit";
            return l.foreColour == Colour::DimText && l.backColour == Colour::DimBackground ? "dim" : "?";
        };
        return std::string(shade(t.console().lblRDSactive)) + " " + shade(t.console().lblAPIactive);
    }
};

struct OutputCase {
    std::string rx, metadata, extra;
    std::string nowPlaying = "OFF", noPrefixWhen = "", filter = "0", weather = "0";
    int16_t timerCount = 0;
    std::string weatherText = "";
};

TEST_F(MetadataOutputsTest, WritesTheReceivedTitleOrTheStraplineAndTheExtraLine) {
    const std::string bytes = "Caf\xc3\xa9 \xc9t\xe9 - \xff\x80 Song", cmd = " - !!*sys*!! restart";
    const std::string sun = "Sunny and 20", song = "Artist - Song", traffic = "!!*SYS*!!*TA1*!!";
    // clang-format off
    const OutputCase cases[] = {
        {"Hello", "Station One", "Station One"}, {"Six!!!", "Station One", "Station One"},
        {"Seven!!", "Seven!!", "Seven!!"}, {" - Song Title", "Song Title", "Song Title"}, {bytes, bytes, bytes},
        {song, song, "Now playing: Artist - Song", "Now playing:"},
        {song, song, song, "Now playing:", "Song"},
        {song, song, "Now playing: Artist - Song", "Now playing:", "S"},  // an exclusion needs two bytes
        {song, song, "Now playing: Artist - Song", "Now playing:", "Jingle"},
        {song, song, song, "Now playing:", "rtist - So"},  // 13 bytes of text: an exclusion of 10 is tested...
        {song, song, "Now playing: Artist - Song", "Now playing:", "Artist - So"},  // ...one of 11 is not
        {song, song, "Now playing: Artist - Song", "Now playing:", "song"},
        {song, song, "off Artist - Song", "off"},
        {traffic, "Station One", traffic, "OFF", "", "1"}, {traffic, traffic, traffic, "OFF", "", "0"},
        {cmd, "Station One", cmd, "Now:", "", "1", "1", 100, "The temperature in London is 10 degrees."},
        {song, song, "Now: Artist - Song", "Now:", "", "0", "1", 60, sun},
        {song, song, sun, "Now:", "", "0", "1", 61, sun}, {song, song, sun, "Now:", "", "0", "1", 120, sun},
        {song, song, "Now: Artist - Song", "Now:", "", "0", "1", 61, "NO WEATHER"},  // 10 bytes
        {song, song, "NO WEATHER!", "Now:", "", "0", "1", 61, "NO WEATHER!"},        // 11 bytes
        {song, song, "Now: Artist - Song", "Now:", "", "0", "1", 61, "NO WEATHER DATA"},  // before any fetch
        {song, song, "Now: Artist - Song", "Now:", "", "0", "0", 61, sun}};
    // clang-format on
    for (const OutputCase& c : cases) {
        t.state().ExtraMetaNowPlaying = c.nowPlaying;
        t.state().DoNotPrefixWhenContains = c.noPrefixWhen;
        t.state().FilterSystem = c.filter;
        t.state().MetaWeather = c.weather;
        t.state().TimerCount = c.timerCount;
        t.console().lblWeatherText.caption = c.weatherText;
        produce(c.rx);
        EXPECT_EQ(files(), c.metadata + "\r\n|" + c.extra + "\r\n") << c.rx << " / " << c.noPrefixWhen;
        EXPECT_EQ(t.console().lblMetadataOutput.caption, c.metadata);
    }
    t.state().DefaultStrapline.clear();
    t.state().ExtraMetaNowPlaying = "OFF";
    produce("");
    EXPECT_EQ(files(), "\r\n|\r\n");
}

TEST_F(MetadataOutputsTest, IndicatorsShowMarkersInAnyCaseAndTheLabelCutsTheExtraLineTo64) {
    produce("x !!*SyS*!!*tA1*!! y");
    EXPECT_EQ(indicators(), "lit lit");
    produce(" - !!*sys*!! restart");
    EXPECT_EQ(indicators(), "dim lit");
    produce(std::string(70, 'e'));
    EXPECT_EQ(indicators(), "dim dim");
    EXPECT_EQ(t.console().lblMetadataExtra.caption, std::string(64, 'e'));
    EXPECT_EQ(t.folder.read("metaextra.txt"), std::string(70, 'e') + "\r\n");
    EXPECT_FALSE(ContainsNoCase("!!*SYS*!", "!!*SYS*!!"));
    EXPECT_FALSE(ContainsNoCase("caf\xc9", "caf\xe9"));  // only ASCII letters fold: Latin-1 É and é differ
}

TEST_F(MetadataOutputsTest, UnwritableFileIsSkippedAndRewritesAndThePaidItemLeaveNoTemporaryFiles) {
    fs::create_directory(t.folder.path() / "metadata.txt");
    produce("Artist - Song");
    EXPECT_TRUE(fs::is_directory(t.folder.path() / "metadata.txt"));
    EXPECT_EQ(t.console().lblMetadataOutput.caption, "Artist - Song");
    EXPECT_EQ(t.folder.read("metaextra.txt"), "Artist - Song\r\n");

    fs::remove(t.folder.path() / "metadata.txt");
    t.folder.write("metadata.txt", "old\r\n");
    produce("Artist - Song");
    t.clock.set(2026, 12, 31, 5, 23, 59, 59);
    WriteBillingOutputs(*t, "$ Advert");
    EXPECT_EQ(t.folder.read("tallyway.txt"), "20261231-235959\r\n$ Advert\r\n");
    EXPECT_EQ(t.console().lblTraffic.caption, "2026-12-31 23:59:59  PAY - $ Advert");
    EXPECT_EQ(t.console().txtAIR, " 2026-12-31 23:59:59  PAY - $ Advert\r\n");
    EXPECT_EQ(Items(*t, "TallywayTT TallywayMM"), "TallywayTT=20261231-235959 TallywayMM=$ Advert");
    produce("Next Song Here");
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(t.folder.path())) names.insert(e.path().filename());
    EXPECT_EQ(names, (std::set<std::string>{"metadata.txt", "metaextra.txt", "station.log", "tallyway.txt"}));
    EXPECT_EQ(t.folder.read("metadata.txt"), "Next Song Here\r\n");
}

}  // namespace
}  // namespace bf::test
