#include "metadata/player_log_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "core/text_file.h"
#include "test_station.h"

namespace bf {
namespace {

using test::TestStation;
using namespace std::string_literals;

size_t CountOf(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

class PlayerLogReaderTest : public ::testing::Test {
protected:
    PlayerLogReaderTest() {
        t.state().CurrentMplayer = 1;
        t.state().DefaultStrapline = "Station One";
        t.state().ExtraMetaNowPlaying = "OFF";
    }
    void tickWithLog(const std::string& log) {
        t.folder.write("mplayer1.log", log);
        tmrGetMetadata_Timer(*t);
    }
    TestStation t;
};

struct TitleCase {
    const char* name;
    std::string log;
    std::string title;
    friend void PrintTo(const TitleCase& c, std::ostream* os) { *os << c.name; }
};

class ReceivedTitleTest : public PlayerLogReaderTest, public ::testing::WithParamInterface<TitleCase> {};

TEST_P(ReceivedTitleTest, TakesTheLastIcyLineWithoutItsClosingBytes) {
    tickWithLog(GetParam().log);
    EXPECT_EQ(t.state().PreviousMetadata, GetParam().title);
    EXPECT_EQ(t.console().lblRXmetadata.caption, GetParam().title.empty() ? "None" : GetParam().title);
}

const std::string kStatus = "A:   1.2 (01.2) of 0.0 (unknown)  0.4% 20%\r";

INSTANTIATE_TEST_SUITE_P(
    Logs, ReceivedTitleTest,
    ::testing::Values(
        TitleCase{"Plain", "ICY Info: StreamTitle='Artist - Song';\r\n", "Artist - Song"},
        TitleCase{"OnlyLastTwoBytesDropped", "ICY Info: StreamTitle='Song';StreamUrl='x';\r\n",
                  "Song';StreamUrl='x"},
        TitleCase{"SecondLineWins", "ICY Info: StreamTitle='One';\r\nICY Info: StreamTitle='Two';\r\n", "Two"},
        TitleCase{"EmptyRemainder", "ICY Info: StreamTitle='One';\nICY Info: StreamTitle='\n", ""},
        TitleCase{"OneByteRemainderKept", "ICY Info: StreamTitle='A\n", "A"},
        TitleCase{"WrongCaseIgnored", "icy info: StreamTitle='Song';\n", ""},
        TitleCase{"NotAtLineStart", " ICY Info: StreamTitle='Song';\n", ""},
        TitleCase{"LinuxStatusLines",
                  "Playing http://x.\n" + kStatus + kStatus + "\nICY Info: StreamTitle='First';\n" + kStatus +
                      kStatus + "ICY Info: StreamTitle='Second';\n" + kStatus + kStatus,
                  "Second"},
        TitleCase{"LoneCrEndsTheTitleLine", "ICY Info: StreamTitle='Song';\rA: 5.0 junk';\r", "Song"},
        TitleCase{"BinaryJunkAround",
                  "\x00\x01\xff\xfe garbage\x00\n"s + "ICY Info: StreamTitle='Caf\xc3\xa9 \xe9';\n" +
                      "\x00\x00\x80\r\x00"s,
                  "Caf\xc3\xa9 \xe9"},
        TitleCase{"NulInsideTitleKept", "ICY Info: StreamTitle='a\x00" "b';\n"s, "a\x00" "b"s},
        TitleCase{"HalfWrittenLastLineWaitsForItsEnd",
                  "ICY Info: StreamTitle='Done';\nICY Info: StreamTitle='Half wri", "Done"},
        TitleCase{"OnlyAHalfWrittenLine", "ICY Info: StreamTitle='Half wri", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PlayerLogReaderTest, SetsHeaderLabelsFromTheLastMatchingLines) {
    tickWithLog(
        "Name   : Old\r\nName   : Radio One\r\nGenre  : Jazz \r\nWebsite: http://r1/\r\nPublic : yes\r\n"
        "Bitrate: 128kbit/s\r\nSelected audio codec: [mpg123] afm: mpg123\r\nname   : lower\r\nGenre : short\r\n");
    const ConsoleModel& c = t.console();
    EXPECT_EQ(c.lblStreamName.caption, "Radio One");
    EXPECT_EQ(c.lblStreamGenre.caption, "Jazz ");
    EXPECT_EQ(c.lblStreamWebsite.caption, "http://r1/");
    EXPECT_EQ(c.lblStreamPublic.caption, "yes");
    EXPECT_EQ(c.lblStreamBitrate.caption, "128kbit/s");
    EXPECT_EQ(c.lblStreamCodec.caption, "[mpg123] afm: mpg123");

    tickWithLog("Name   : \nICY Info: StreamTitle='x';\n");
    EXPECT_EQ(c.lblStreamName.caption, "");
    EXPECT_EQ(c.lblStreamGenre.caption, "Jazz ") << "a log without the line keeps the label";
}

TEST_F(PlayerLogReaderTest, KeepsRxMetadataWhileTitlesAreEmpty) {
    tickWithLog("ICY Info: StreamTitle='Artist - Song';\n");
    EXPECT_EQ(t.state().RXmetadata, "Artist - Song");
    tickWithLog("Name   : Radio\n");
    EXPECT_EQ(t.state().RXmetadata, "Artist - Song");
    EXPECT_EQ(t.state().PreviousMetadata, "");
    EXPECT_EQ(t.console().lblRXmetadata.caption, "Artist - Song");
}

TEST_F(PlayerLogReaderTest, NoPlayerReadsNoLogButStillWritesTheOutputs) {
    t.state().CurrentMplayer = 0;
    t.state().RXmetadata = "Kept Title";
    t.state().PreviousMetadata = "Kept Title";
    t.folder.write("mplayer0.log", "ICY Info: StreamTitle='Wrong';\n");
    t.folder.write("mplayer1.log", "ICY Info: StreamTitle='Wrong';\n");
    tmrGetMetadata_Timer(*t);
    EXPECT_EQ(t.state().PreviousMetadata, "");
    EXPECT_EQ(t.state().RXmetadata, "Kept Title");
    EXPECT_EQ(t.console().lblRXmetadata.caption, "None");
    EXPECT_EQ(t.folder.read("metadata.txt"), "Kept Title\r\n");
}

TEST_F(PlayerLogReaderTest, ReadsTheActiveSlotsLogOnly) {
    t.state().CurrentMplayer = 2;
    t.folder.write("mplayer1.log", "ICY Info: StreamTitle='Slot one';\n");
    t.folder.write("mplayer2.log", "ICY Info: StreamTitle='Slot two';\n");
    tmrGetMetadata_Timer(*t);
    EXPECT_EQ(t.state().RXmetadata, "Slot two");
}

TEST_F(PlayerLogReaderTest, LogDeletedTruncatedOrUnreadableGivesAnEmptyTitle) {
    tickWithLog("ICY Info: StreamTitle='Artist - Song';\n");
    std::filesystem::remove(t.folder.path() / "mplayer1.log");
    tmrGetMetadata_Timer(*t);
    EXPECT_EQ(t.state().PreviousMetadata, "");
    EXPECT_EQ(t.folder.read("metadata.txt"), "Artist - Song\r\n");

    tickWithLog("ICY Info: StreamTitle='Next Song';\n");
    tickWithLog("");  // the player restarted and truncated its log
    EXPECT_EQ(t.state().PreviousMetadata, "");
    EXPECT_EQ(t.state().RXmetadata, "Next Song");

    std::filesystem::create_directory(t.folder.path() / "mplayer2.log");
    t.state().CurrentMplayer = 2;
    tmrGetMetadata_Timer(*t);
    EXPECT_EQ(t.state().RXmetadata, "Next Song");
    EXPECT_EQ(t.folder.read("metadata.txt"), "Next Song\r\n");
}

TEST_F(PlayerLogReaderTest, LongIcyLineIsTakenWhole) {
    const std::string title(1998, 'x');
    tickWithLog("ICY Info: StreamTitle='" + title + "';\n");
    EXPECT_EQ(t.state().RXmetadata, title);
    EXPECT_EQ(t.folder.read("metadata.txt"), title + "\r\n");
}

TEST_F(PlayerLogReaderTest, PaidTitleIsBilledOnceAndNeverPassedOn) {
    tickWithLog("Name   : Radio\nICY Info: StreamTitle='$ Adv");  // caught while the player writes it
    EXPECT_EQ(t.folder.read("tallyway.txt"), "<missing>");
    tickWithLog("Name   : Radio\nICY Info: StreamTitle='$ Advert';\n");
    EXPECT_EQ(t.state().RXmetadata, "Station One");
    EXPECT_EQ(t.state().TallywayTT, "20261206-120000");
    t.clock.advance(5);
    tickWithLog("ICY Info: StreamTitle='$ Advert';\n");
    EXPECT_EQ(t.state().RXmetadata, "Station One");
    EXPECT_EQ(t.state().TallywayTT, "20261206-120000");
    EXPECT_EQ(t.folder.read("tallyway.txt"), "20261206-120000\r\n$ Advert\r\n");
    EXPECT_EQ(CountOf(t.console().txtAIR, "  PAY - $ Advert\r\n"), 1u);
    EXPECT_EQ(t.console().lblRXmetadata.caption, "$ Advert");
}

TEST_F(PlayerLogReaderTest, TitleIsNewAgainAfterATickWithoutTitle) {
    tickWithLog("ICY Info: StreamTitle='$ Song A';\n");
    tickWithLog("Name   : Radio\n");
    t.clock.advance(10);
    tickWithLog("ICY Info: StreamTitle='$ Song A';\n");
    EXPECT_EQ(CountOf(t.console().txtAIR, "  PAY - $ Song A"), 2u);
    EXPECT_EQ(t.state().TallywayTT, "20261206-120010");
}

struct BillingCase {
    std::string title;
    bool paid;
};
class BillingTitleTest : public PlayerLogReaderTest, public ::testing::WithParamInterface<BillingCase> {};

TEST_P(BillingTitleTest, OnlyADollarAndBlankOrALoneDollarIsPaid) {
    t.state().RXmetadata = "Before";
    tickWithLog("ICY Info: StreamTitle='" + GetParam().title + "';\n");
    EXPECT_EQ(t.folder.exists("tallyway.txt"), GetParam().paid);
    const std::string expected =
        GetParam().paid ? "Station One" : (GetParam().title.empty() ? "Before" : GetParam().title);
    EXPECT_EQ(t.state().RXmetadata, expected);
}

INSTANTIATE_TEST_SUITE_P(Titles, BillingTitleTest,
                         ::testing::Values(BillingCase{"$ Advert", true}, BillingCase{"$", true},
                                           BillingCase{"$x Advert", false}, BillingCase{" $ Advert", false},
                                           BillingCase{"", false}));

TEST_F(PlayerLogReaderTest, SystemCommandIsLoggedOncePerNewTitleInAnyCase) {
    tickWithLog("ICY Info: StreamTitle='!!*sys*!! reload';\n");
    tickWithLog("ICY Info: StreamTitle='!!*sys*!! reload';\n");
    tickWithLog("ICY Info: StreamTitle='Song';\n");
    tickWithLog("ICY Info: StreamTitle='!!*sys*!! reload';\n");
    EXPECT_EQ(CountOf(t.console().txtAIR, " 12:00:00  API - !!*sys*!! reload\r\n"), 2u);
    EXPECT_EQ(CountOf(t.console().txtAIR, "API - Song"), 0u);
}

// Logs stitched from prefixes, line ends and junk: the tick must split them
// into lines exactly as the shared line splitter does.
TEST_F(PlayerLogReaderTest, SplitsRandomLogsLikeTheSharedLineSplitter) {
    const std::vector<std::string> pieces = {"ICY Info: StreamTitle='", "Name   : ", "Genre  : ", "x", "';", "\r",
                                             "\n", "\r\n", "\n\r", "\0"s, "A: 1.0 ", "\xc3\xa9", "N"};
    std::mt19937 random(12345);
    for (int round = 0; round < 300; ++round) {
        std::string log;
        const int count = static_cast<int>(random() % 40);
        for (int i = 0; i < count; ++i) log += pieces[random() % pieces.size()];

        std::string title, name = t.console().lblStreamName.caption, genre = t.console().lblStreamGenre.caption;
        // A last line without its end is not read yet.
        const size_t lastEnd = log.find_last_of("\r\n");
        const std::string complete = lastEnd == std::string::npos ? "" : log.substr(0, lastEnd + 1);
        ForEachLine(complete, [&](std::string_view line) {
            if (line.starts_with("ICY Info: StreamTitle='")) {
                title = line.substr(23, line.size() >= 25 ? line.size() - 25 : std::string_view::npos);
            } else if (line.starts_with("Name   : ")) {
                name = line.substr(9);
            } else if (line.starts_with("Genre  : ")) {
                genre = line.substr(9);
            }
        });
        tickWithLog(log);
        ASSERT_EQ(t.state().PreviousMetadata, title) << "round " << round;
        ASSERT_EQ(t.console().lblStreamName.caption, name) << "round " << round;
        ASSERT_EQ(t.console().lblStreamGenre.caption, genre) << "round " << round;
    }
}

}  // namespace
}  // namespace bf
