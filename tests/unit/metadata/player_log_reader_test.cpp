#include "metadata/player_log_reader.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_station.h"

namespace bf::test {
namespace {

using namespace std::string_literals;

// Slot 1 on air; each tick reads the log the test wrote.
struct Reader {
    TestStation t;
    Reader() {
        t.state().CurrentMplayer = 1;
        t.state().DefaultStrapline = "Station One";
        t.state().ExtraMetaNowPlaying = "OFF";
    }
    void tickWithLog(const std::string& log, const char* file = "mplayer1.log") {
        t.folder.write(file, log);
        tmrGetMetadata_Timer(*t);
    }
    static std::string icy(const std::string& title) { return "ICY Info: StreamTitle='" + title + "';\n"; }
    size_t logged(const std::string& line) { return CountOf(t.console().txtAIR, line); }
};

struct PlayerLogReaderTest : ::testing::Test, Reader {};

TEST_F(PlayerLogReaderTest, TakesTheLastCompleteIcyLineWithoutItsClosingBytes) {
    const std::string status = "A:   1.2 (01.2) of 0.0 (unknown)  0.4% 20%\r";
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {"ICY Info: StreamTitle='Artist - Song';\r\n", "Artist - Song"},
        {icy("Song';StreamUrl='x"), "Song';StreamUrl='x"},  // only the last two bytes go
        {icy("One") + icy("Two"), "Two"},
        {icy("One") + "ICY Info: StreamTitle='\n", ""}, {"ICY Info: StreamTitle='A\n", "A"},
        {"icy info: StreamTitle='Song';\n", ""}, {" " + icy("Song"), ""},
        {"Playing http://x.\n" + status + status + "\n" + icy("First") + status + status + icy("Second") + status, "Second"},
        {"ICY Info: StreamTitle='Song';\rA: 5.0 junk';\r", "Song"},
        {"\x00\x01\xff\xfe garbage\x00\n"s + icy("Caf\xc3\xa9 \xe9") + "\x00\x00\x80\r\x00"s, "Caf\xc3\xa9 \xe9"},
        {icy("a\x00" "b"s), "a\x00" "b"s}, {icy(std::string(1998, 'x')), std::string(1998, 'x')},
        {icy("Done") + "ICY Info: StreamTitle='Half wri", "Done"}, {"ICY Info: StreamTitle='Half wri", ""}};
    // clang-format on
    for (const auto& [log, title] : cases) {
        Reader fresh;
        fresh.tickWithLog(log);
        EXPECT_EQ(fresh.t.state().PreviousMetadata, title) << log;
        EXPECT_EQ(fresh.t.console().lblRXmetadata.caption, title.empty() ? "None" : title) << log;
        EXPECT_EQ(fresh.t.state().RXmetadata, title.empty() ? "" : title) << log;
    }
}

TEST_F(PlayerLogReaderTest, SetsHeaderLabelsFromTheLastExactlyMatchingLines) {
    tickWithLog(
        "Name   : Old\r\nName   : Radio One\r\nGenre  : Jazz \r\nWebsite: http://r1/\r\nPublic : yes\r\n"
        "Bitrate: 128kbit/s\r\nSelected audio codec: [mpg123] afm: mpg123\r\nname   : lower\r\nGenre : "
        "short\r\n");
    EXPECT_EQ(Items(*t, "lblStreamName lblStreamGenre lblStreamWebsite lblStreamPublic lblStreamBitrate"),
              "lblStreamName=Radio One lblStreamGenre=Jazz  lblStreamWebsite=http://r1/ lblStreamPublic=yes "
              "lblStreamBitrate=128kbit/s");
    EXPECT_EQ(t.console().lblStreamCodec.caption, "[mpg123] afm: mpg123");
    tickWithLog("Name   : \nICY Info: StreamTitle='x';\n");
    EXPECT_EQ(t.console().lblStreamName.caption, "");
    EXPECT_EQ(t.console().lblStreamGenre.caption, "Jazz ") << "a log without the line keeps the label";
}

TEST_F(PlayerLogReaderTest, ReadsOnlyTheActiveSlotsLogAndKeepsTheTitleWhileNoneIsRead) {
    tickWithLog(icy("Slot one"));
    t.state().CurrentMplayer = 2;
    tickWithLog(icy("Slot two"), "mplayer2.log");
    EXPECT_EQ(t.state().RXmetadata, "Slot two");
    tickWithLog("Name   : Radio\n", "mplayer2.log");
    t.state().CurrentMplayer = 0;
    tickWithLog(icy("Wrong"), "mplayer0.log");
    EXPECT_EQ(Items(*t, "RXmetadata PreviousMetadata lblRXmetadata"),
              "RXmetadata=Slot two PreviousMetadata= lblRXmetadata=Slot two");
    EXPECT_EQ(t.folder.read("metadata.txt"), "Slot two\r\n");
}

TEST_F(PlayerLogReaderTest, LogDeletedTruncatedOrUnreadableGivesAnEmptyTitle) {
    tickWithLog(icy("Artist - Song"));
    std::filesystem::remove(t.folder.path() / "mplayer1.log");
    tmrGetMetadata_Timer(*t);
    EXPECT_EQ(t.state().PreviousMetadata, "");
    EXPECT_EQ(t.folder.read("metadata.txt"), "Artist - Song\r\n");
    tickWithLog(icy("Next Song"));
    tickWithLog("");  // the player restarted and truncated its log
    EXPECT_EQ(Items(*t, "RXmetadata PreviousMetadata"), "RXmetadata=Next Song PreviousMetadata=");
    std::filesystem::create_directory(t.folder.path() / "mplayer2.log");
    t.state().CurrentMplayer = 2;
    tmrGetMetadata_Timer(*t);
    EXPECT_EQ(t.folder.read("metadata.txt"), "Next Song\r\n");
}

TEST_F(PlayerLogReaderTest, PaidTitleIsBilledOncePerNewTitleAndNeverPassedOn) {
    tickWithLog("Name   : Radio\nICY Info: StreamTitle='$ Adv");  // caught while the player writes it
    EXPECT_FALSE(t.folder.exists("tallyway.txt"));
    tickWithLog(icy("$ Advert"));
    t.clock.advance(5);
    tickWithLog(icy("$ Advert"));
    EXPECT_EQ(Items(*t, "RXmetadata TallywayTT lblRXmetadata"),
              "RXmetadata=Station One TallywayTT=20261206-120000 lblRXmetadata=$ Advert");
    EXPECT_EQ(t.folder.read("tallyway.txt"), "20261206-120000\r\n$ Advert\r\n");
    EXPECT_EQ(logged("  PAY - $ Advert\r\n"), 1u);

    // The player restarted: a tick without title, then the same paid title
    // is the same airing; after another title it is a new one.
    tickWithLog("Name   : Radio\n");
    tickWithLog(icy("$ Advert"));
    EXPECT_EQ(logged("  PAY - $ Advert\r\n"), 1u);
    tickWithLog(icy("Song"));
    t.clock.advance(10);
    tickWithLog(icy("$ Advert"));
    EXPECT_EQ(logged("  PAY - $ Advert\r\n"), 2u);
    EXPECT_EQ(t.state().TallywayTT, "20261206-120015");
    for (const char* title : {"", "$ Other", "", "$ Advert"}) tickWithLog(icy(title));
    EXPECT_EQ(logged("  PAY - $ Advert\r\n"), 3u) << "another paid item in between";
}

TEST(PlayerLogReaderBilling, OnlyADollarAndBlankOrALoneDollarIsPaid) {
    for (const auto& [title, paid] : {std::pair{"$ Advert", true},
                                      {"$", true},
                                      {"$x Advert", false},
                                      {" $ Advert", false},
                                      {"", false}}) {
        Reader r;
        r.t.state().RXmetadata = "Before";
        r.tickWithLog(Reader::icy(title));
        EXPECT_EQ(r.t.folder.exists("tallyway.txt"), paid) << title;
        EXPECT_EQ(r.t.state().RXmetadata, paid ? "Station One" : *title ? title : "Before") << title;
    }
}

TEST_F(PlayerLogReaderTest, SystemCommandIsLoggedOncePerNewTitleInAnyCase) {
    for (const char* title : {"!!*sys*!! reload", "!!*sys*!! reload", "Song", "!!*sys*!! reload"})
        tickWithLog(icy(title));
    EXPECT_EQ(logged(" 12:00:00  API - !!*sys*!! reload\r\n"), 2u);
    EXPECT_EQ(logged("API - Song"), 0u);
}

}  // namespace
}  // namespace bf::test
