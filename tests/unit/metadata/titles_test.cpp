#include <gtest/gtest.h>

#include <filesystem>

#include "metadata/metadata_outputs.h"
#include "metadata/player_log_reader.h"
#include "test_station.h"

namespace bf::test {
namespace {

using namespace std::string_literals;

std::string icy(const std::string& title) { return "ICY Info: StreamTitle='" + title + "';\n"; }

// Slot 1 on air; each tick reads the log the test wrote.
struct Titles : TestStation {
    Titles() {
        state().CurrentMplayer = 1;
        state().DefaultStrapline = "Station One";
        state().ExtraMetaNowPlaying = "OFF";
    }
    void tickWithLog(const std::string& log, const char* file = "mplayer1.log") {
        folder.write(file, log);
        tmrGetMetadata_Timer(*station);
    }
    // The traffic and system-command indicators, each "lit" or "dim".
    std::string lamps() {
        auto shade = [](const Label& l) {
            if (l.foreColour == Colour::White && l.backColour == Colour::Red) return "lit";
            return l.foreColour == Colour::DimText && l.backColour == Colour::DimBackground ? "dim" : "?";
        };
        return std::string(shade(console().lblRDSactive)) + " " + shade(console().lblAPIactive);
    }
};

TEST(PlayerLogReader, TakesTheLastCompleteIcyLineWithoutItsClosingBytes) {
    const std::string status = "A:   1.2 (01.2) of 0.0 (unknown)  0.4% 20%\r";
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {"ICY Info: StreamTitle='Artist - Song';\r\n", "Artist - Song"},
        {icy("Song';StreamUrl='x"), "Song';StreamUrl='x"},  // only the last two bytes go
        {icy("One") + "ICY Info: StreamTitle='\n", ""}, {"ICY Info: StreamTitle='A\n", "A"},
        {"icy info: StreamTitle='Song';\n", ""},
        {"Playing http://x.\n" + status + status + "\n" + icy("First") + status + status + icy("Second") + status, "Second"},
        {"\x00\x01\xff\xfe garbage\x00\n"s + icy("Caf\xc3\xa9 \xe9\x00!"s) + "\x00\x00\x80\r\x00"s, "Caf\xc3\xa9 \xe9\x00!"s},
        {icy("Done") + "ICY Info: StreamTitle='Half wri", "Done"}, {"ICY Info: StreamTitle='Half wri", ""}};
    // clang-format on
    for (const auto& [log, title] : cases) {
        Titles t;
        t.tickWithLog(log);
        EXPECT_EQ(t.state().PreviousMetadata + "|" + t.state().RXmetadata + "|" + t.console().lblRXmetadata.caption,
                  title + "|" + title + "|" + (title.empty() ? "None" : title))
            << log;
    }
}

TEST(PlayerLogReader, SetsHeaderLabelsFromTheLastExactlyMatchingLinesOfTheActiveSlotsLog) {
    Titles t;
    t.tickWithLog(
        "Name   : Old\r\nName   : Radio One\r\nGenre  : Jazz \r\nWebsite: http://r1/\r\nPublic : yes\r\n"
        "Bitrate: 128kbit/s\r\nSelected audio codec: [mpg123] afm: mpg123\r\nname   : lower\r\nGenre : short\r\n");
    EXPECT_EQ(Items(*t, "lblStreamName lblStreamGenre lblStreamWebsite lblStreamPublic lblStreamBitrate "
                        "lblStreamCodec"),
              "lblStreamName=Radio One lblStreamGenre=Jazz  lblStreamWebsite=http://r1/ lblStreamPublic=yes "
              "lblStreamBitrate=128kbit/s lblStreamCodec=[mpg123] afm: mpg123");
    t.state().CurrentMplayer = 2;
    t.tickWithLog("Name   : \n" + icy("Slot two"), "mplayer2.log");  // a log without the line keeps the label
    std::filesystem::remove(t.folder.path() / "mplayer2.log");
    tmrGetMetadata_Timer(*t);
    t.state().CurrentMplayer = 0;  // no player runs
    t.tickWithLog(icy("Wrong"), "mplayer0.log");
    EXPECT_EQ(Items(*t, "lblStreamName lblStreamGenre RXmetadata PreviousMetadata lblRXmetadata"),
              "lblStreamName= lblStreamGenre=Jazz  RXmetadata=Slot two PreviousMetadata= lblRXmetadata=Slot two");
    EXPECT_EQ(t.folder.read("metadata.txt"), "Slot two\r\n");
}

TEST(PlayerLogReader, PaidTitleIsBilledOncePerAiringAndNeverPassedOnAndACommandLoggedOncePerNewTitle) {
    Titles t;
    // "": a tick that finds no title, as after a player restart.
    for (const char* title : {"$ Advert", "$ Advert", "", "$ Advert", "!!*sys*!! reload", "!!*sys*!! reload",
                              "$ Advert", "", "$ Other", "", "$ Advert", "$x Advert", " $ Advert", "$"}) {
        t.tickWithLog(icy(title));
        t.clock.advance(1);
    }
    EXPECT_EQ(t.console().txtAIR,  // newest first
              " 2026-12-06 12:00:13  PAY - $\r\n 2026-12-06 12:00:10  PAY - $ Advert\r\n"
              " 2026-12-06 12:00:08  PAY - $ Other\r\n 2026-12-06 12:00:06  PAY - $ Advert\r\n"
              " 2026-12-06 12:00:04  API - !!*sys*!! reload\r\n 2026-12-06 12:00:00  PAY - $ Advert\r\n");
    EXPECT_EQ(Items(*t, "RXmetadata TallywayTT TallywayMM lblRXmetadata lblTraffic"),
              "RXmetadata=Station One TallywayTT=20261206-120013 TallywayMM=$ lblRXmetadata=$ "
              "lblTraffic=2026-12-06 12:00:13  PAY - $");
    EXPECT_EQ(t.folder.read("tallyway.txt"), "20261206-120013\r\n$\r\n");
}

struct OutputCase {
    std::string rx, metadata, extra;
    std::string nowPlaying = "OFF", noPrefixWhen = "", filter = "0", weather = "0";
    int16_t timerCount = 0;
    std::string weatherText = "";
    std::string lamps = "dim dim";  // the traffic and system-command indicators
};

TEST(MetadataOutputs, WritesTheReceivedTitleOrTheStraplineAndTheExtraLine) {
    const std::string bytes = "Caf\xc3\xa9 \xc9t\xe9 - \xff\x80 Song", cmd = " - !!*sys*!! restart";
    const std::string sun = "Sunny and 20", song = "Artist - Song", traffic = "!!*SyS*!!*tA1*!!", e70(70, 'e');
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
    Titles t;
    for (const OutputCase& c : cases) {
        StationState& s = t.state();
        s.ExtraMetaNowPlaying = c.nowPlaying;
        s.DoNotPrefixWhenContains = c.noPrefixWhen;
        s.FilterSystem = c.filter;
        s.MetaWeather = c.weather;
        s.TimerCount = c.timerCount;
        s.RXmetadata = c.rx;
        t.console().lblWeatherText.caption = c.weatherText;
        ProduceMetadataOutputs(*t);
        // Both files, which always end their line with CR LF, the two labels and the indicators.
        const ConsoleModel& shown = t.console();
        EXPECT_EQ(t.folder.read("metadata.txt") + t.folder.read("metaextra.txt") + shown.lblMetadataOutput.caption +
                      "|" + shown.lblMetadataExtra.caption + "|" + t.lamps(),
                  c.metadata + "\r\n" + c.extra + "\r\n" + c.metadata + "|" + c.extra.substr(0, 64) + "|" + c.lamps)
            << c.rx << " / " << c.noPrefixWhen;
    }
    EXPECT_FALSE(ContainsNoCase("caf\xc9", "caf\xe9"));  // only ASCII letters fold: Latin-1 É and é differ
}

TEST(MetadataOutputs, AnUnwritableFileIsSkippedAndTheOtherStillWritten) {
    Titles t;
    std::filesystem::create_directory(t.folder.path() / "metadata.txt");
    t.state().RXmetadata = "Artist - Song";
    ProduceMetadataOutputs(*t);
    EXPECT_EQ(t.console().lblMetadataOutput.caption + "|" + t.folder.read("metaextra.txt"),
              "Artist - Song|Artist - Song\r\n");
}

}  // namespace
}  // namespace bf::test
