#include "metadata/metadata_outputs.h"

#include <gtest/gtest.h>

#include <filesystem>

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
    std::string lamps = "dim dim";  // the traffic and system-command indicators
};

TEST_F(MetadataOutputsTest, WritesTheReceivedTitleOrTheStraplineAndTheExtraLine) {
    const std::string bytes = "Caf\xc3\xa9 \xc9t\xe9 - \xff\x80 Song", cmd = " - !!*sys*!! restart";
    const std::string sun = "Sunny and 20", song = "Artist - Song", traffic = "!!*SyS*!!*tA1*!!",
                      e70(70, 'e');
    const std::string nowSong = "Now playing: Artist - Song";
    // clang-format off
    const OutputCase cases[] = {
        {"Six!!!", "Station One", "Station One"}, {"Seven!!", "Seven!!", "Seven!!"},
        {" - Song Title", "Song Title", "Song Title"}, {bytes, bytes, bytes},
        {song, song, nowSong, "Now playing:"}, {song, song, song, "Now playing:", "Song"},
        {song, song, nowSong, "Now playing:", "S"},  // an exclusion needs two bytes
        {song, song, song, "Now playing:", "rtist - So"},  // 13 bytes of text: an exclusion of 10 is tested...
        {song, song, nowSong, "Now playing:", "Artist - So"},  // ...one of 11 is not
        {song, song, nowSong, "Now playing:", "song"}, {song, song, "off Artist - Song", "off"},
        {traffic, "Station One", traffic, "OFF", "", "1", "0", 0, "", "lit lit"},
        {traffic, traffic, traffic, "OFF", "", "0", "0", 0, "", "lit lit"}, {e70, e70, e70},
        {cmd, "Station One", cmd, "Now:", "", "1", "1", 100, "The temperature in London is 10 degrees.", "dim lit"},
        {song, song, "Now: Artist - Song", "Now:", "", "0", "1", 60, sun},
        {song, song, sun, "Now:", "", "0", "1", 61, sun},
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
        EXPECT_EQ(t.console().lblMetadataExtra.caption, c.extra.substr(0, 64));
        EXPECT_EQ(indicators(), c.lamps) << c.rx;
    }
    EXPECT_FALSE(ContainsNoCase("caf\xc9", "caf\xe9"));  // only ASCII letters fold: Latin-1 É and é differ
}

TEST_F(MetadataOutputsTest, AnUnwritableFileIsSkippedAndTheOtherStillWritten) {
    fs::create_directory(t.folder.path() / "metadata.txt");
    produce("Artist - Song");
    EXPECT_EQ(t.console().lblMetadataOutput.caption, "Artist - Song");
    EXPECT_EQ(t.folder.read("metaextra.txt"), "Artist - Song\r\n");
}

}  // namespace
}  // namespace bf::test
