#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "app/startup.h"
#include "metadata/air_update.h"
#include "metadata/billing_reporter.h"
#include "metadata/metadata_outputs.h"
#include "metadata/now_playing.h"
#include "metadata/player_log_reader.h"
#include "metadata/weather.h"
#include "sources/on_air.h"
#include "sync_counter.h"
#include "test_station.h"
#include "views/view_metadata.h"

namespace bf::test {
namespace {

using namespace std::string_literals;
using Strings = std::vector<std::string>;

std::string icy(const std::string& title) {
    return "ICY Info: StreamTitle='" + title + "';\n";
}

// Slot 1 on air, each tick reading the log the test wrote; the outside services set up, the billing
// server answering.
struct Meta : TestStation {
    Meta() {
        Settings& s = settings();
        folder.write("sourcelist.ini", "1u:http://one.example/a\r\n");
        onAir(1);
        s.DefaultStrapline = "Station One";
        s.ExtraMetaNowPlaying = "OFF";
        s.AIRdefaultTitle = "Radio One";
        s.AIRdefaultArtist = "Station";
        InetTallyway.reply = [](const std::string&) { return HttpResult{"OK", HttpError::None, "", 200}; };
    }
    void tickWithLog(const std::string& log, const char* file = "mplayer1.log") {
        folder.write(file, log);
        tmrGetMetadata_Timer(*station);
    }
    // The console drawn from the records.
    const ConsoleModel& shown() {
        DrawMetadata(*station, console());
        return console();
    }
    // The traffic and system-command indicators, each "lit" or "dim".
    std::string lamps() {
        auto shade = [](const Label& l) { return l.backColour == Colour::Red ? "lit" : "dim"; };
        return std::string(shade(shown().lblRDSactive)) + " " + shade(shown().lblAPIactive);
    }
    // A paid airing as the now-playing owner tells it.
    void record(const std::string& stamp, const std::string& item) { QueueReport(*station, {stamp, item}); }
    // Billing ticks; the number of reports sent so far.
    size_t bill(int times = 1) {
        for (int i = 0; i < times; ++i) tmrCheckFile_Timer(*station);
        return InetTallyway.requests.size();
    }
    // The reports sent so far, each without the address and key.
    Strings sent() const {
        Strings out;
        for (const std::string& r : InetTallyway.requests) out.push_back(r.substr(r.find("&stamp=") + 1));
        return out;
    }
    // An AIR tick: the query from "title=" on of the request it sent; "" when none.
    std::string air(const std::string& text) {
        const size_t before = InetAIR.requests.size();
        NoteAirText(*station, text);
        tmrAirUpdate_Timer(*station);
        if (InetAIR.requests.size() == before) return "";
        return InetAIR.requests.back().substr(InetAIR.requests.back().find("&title=") + 1);
    }
};

TEST(PlayerLogReader, TakesTheLastCompleteIcyLineWithoutItsClosingBytes) {
    const std::string status = "A:   1.2 (01.2) of 0.0 (unknown)  0.4% 20%\r";
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {"ICY Info: StreamTitle='Artist - Song';\r\n", "Artist - Song"},
        {icy("Song';StreamUrl='x"), "Song';StreamUrl='x"},  // only the last two bytes go
        {"ICY Info: StreamTitle='\n", ""}, {"ICY Info: StreamTitle='A\n", "A"},
        {"icy info: StreamTitle='Song';\n", ""},
        {"Playing http://x.\n" + status + status + "\n" + icy("First") + status + status + icy("Second") + status,
         "Second"},
        {"\x00\x01\xff\xfe garbage\x00\n"s + icy("Caf\xc3\xa9 \xe9\x00!"s) + "\x00\x00\x80\r\x00"s,
         "Caf\xc3\xa9 \xe9\x00!"s},
        {icy("Done") + "ICY Info: StreamTitle='Half wri", "Done"}, {"ICY Info: StreamTitle='Half wri", ""}};
    // clang-format on
    for (const auto& [log, title] : cases) {
        Meta t;
        t.tickWithLog(log);
        EXPECT_EQ(Items(*t, "PreviousMetadata RXmetadata lblRXmetadata"),
                  "PreviousMetadata=" + title + " RXmetadata=" + title +
                      " lblRXmetadata=" + (title.empty() ? "None" : title))
            << log;
    }
}

// A title flood between two ticks, as the player appends to its log: the log is read on from where the last
// tick stopped, cut in place past 1 MiB to what is on air (the header lines, the start of playback, the
// title, the line being written) and continued by the player's next bytes; every paid airing is billed, two
// in one tick too. A later log lacking a header line keeps its label.
TEST(PlayerLogReader, ReadsTheLogOnCutsItPastItsLimitToWhatIsOnAirAndBillsEveryPaidAiring) {
    Meta t;
    t.settings().Tallyway = true;
    const int player = ::open((t.folder.path() / "mplayer1.log").c_str(), O_WRONLY | O_APPEND);
    // The tick, and its steps through a long log at the event loop's next rounds.
    auto tick = [&](const std::string& bytes) {
        ASSERT_EQ(::write(player, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        tmrGetMetadata_Timer(*t);
        while (t.timers.running(TimerName::GetMetadataMore)) t.timers.fire(TimerName::GetMetadataMore);
    };
    tick("Name   : One\nGenre  : Jazz \n" + icy("Song"));
    std::string flood = icy("$ Tag") + icy("$ Spot");
    for (int i = 0; i < 300; ++i) flood += icy(std::to_string(i) + std::string(4000, 'x'));
    const std::string onAir = "Starting playback...\nName   : One\nGenre  : Jazz \n" + icy("$ Sale");
    // Three paid airings in one tick: tallyway.txt is synced to the disk once, with its folder.
    const SyncCount before = SyncsSoFar();
    tick(flood + icy("$ Sale") + "ICY Info: StreamTitle='$ Half wri");
    EXPECT_EQ(std::pair(SyncsSoFar().files - before.files, SyncsSoFar().folders - before.folders),
              std::pair(1, 1));
    EXPECT_EQ(t.folder.read("mplayer1.log"), onAir + "ICY Info: StreamTitle='$ Half wri");
    tick("tten';\n");
    ::close(player);
    EXPECT_EQ(t.folder.read("mplayer1.log"), onAir + icy("$ Half written"));
    t.onAir(1, 2);
    t.tickWithLog("Name   : \n" + icy("$ Half written"), "mplayer2.log");  // the same airing, read again
    std::filesystem::remove(t.folder.path() / "mplayer2.log");
    tmrGetMetadata_Timer(*t);
    EXPECT_EQ(std::ranges::count_if(t.logged, [](auto& l) { return l.find("  PAY - ") != l.npos; }) +
                  10 * t.bill(4),
              44u);
    EXPECT_EQ(Items(*t, "lblStreamName lblStreamGenre RXmetadata PreviousMetadata"),
              "lblStreamName= lblStreamGenre=Jazz  RXmetadata=Station One PreviousMetadata=");
}

// A station's titles as the title intake takes them: "T" announced by the stream, "again:T" read again (the
// first title of a fresh log); "none" a tick whose log holds no title; "restart" the program starts again.
TEST(NowPlaying, EachPaidAiringIsRecordedOnceAndATitleReadAgainEndsNone) {
    // clang-format off
    const std::pair<Strings, Strings> cases[] = {
        {{"$ Spot", "$ Spot", "!!*sys*!! go", "!!*sys*!! go", "$ Spot", "$x Ad", " $ Ad", "$"},
         {"PAY - $ Spot", "API - !!*sys*!! go", "PAY - $ Spot", "PAY - $"}},
        {{"$ Spot", "", "$ Spot", "", "$ Spot", "", "again:$ Spot", "$ Other", "Song"},
         {"PAY - $ Spot", "PAY - $ Spot", "PAY - $ Spot", "PAY - $ Spot", "PAY - $ Other"}},
        {{"$ Spot", "none", "again:$ Spot", "none", "again:Backup Loop", "again:$ Spot", "again:$ Spot", "$ Other"},
         {"PAY - $ Spot", "PAY - $ Other"}},
        {{"again:$ Spot", "restart", "none", "again:$ Spot", "restart", "again:Song", "$ Spot"},
         {"PAY - $ Spot", "PAY - $ Spot"}}};
    // clang-format on
    for (const auto& [steps, recorded] : cases) {
        Meta t;
        for (const std::string& step : steps) {
            if (step == "restart") {  // after the tick's end
                ProduceMetadataOutputs(*t);
                t.state() = StationState{};
                t->nowPlaying = {};
                Startup(*t);
            } else if (step == "none") {
                HoldTitle(*t, "");
            } else {
                const bool again = step.starts_with("again:");
                TakeTitle(*t, step.substr(again ? 6 : 0),
                          again ? TitleArrival::ReadAgain : TitleArrival::Announced);
            }
        }
        Strings seen;  // the station log's PAY and API lines without their stamps
        for (const std::string& line : t.logged)
            if (line.find("SYS - ") == std::string::npos) seen.push_back(line.substr(21));
        EXPECT_EQ(seen, recorded) << steps.front() << " ... " << steps.back();
        if (steps.back() == "$") {  // a paid title is never passed on
            ProduceMetadataOutputs(*t);
            EXPECT_EQ(Items(*t, "RXmetadata TallywayTT TallywayMM"),
                      "RXmetadata=Station One TallywayTT=20261206-120000 TallywayMM=$");
            EXPECT_EQ(t.folder.read("tallyway.txt"), "20261206-120000\r\n$\r\n");
        }
    }
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
    const std::string sun = "Sunny and 20", song = "Artist - Song", traffic = "!!*SyS*!!*tA1*!!",
                      e70(70, 'e');
    const std::string nowSong = "Now playing: Artist - Song";
    // clang-format off
    const OutputCase cases[] = {
        {"Six!!!", "Station One", "Station One"}, {"Seven!!", "Seven!!", "Seven!!"},
        {" - Song Title", "Song Title", "Song Title"}, {bytes, bytes, bytes},
        {song, song, nowSong, "Now playing:"}, {song, song, song, "Now playing:", "Song"},
        {song, song, nowSong, "Now playing:", "song"}, {song, song, "off Artist - Song", "off"},
        {traffic, "Station One", traffic, "OFF", "", "1", "0", 0, "", "lit lit"},
        {traffic, traffic, traffic, "OFF", "", "0", "0", 0, "", "lit lit"}, {e70, e70, e70},
        {cmd, "Station One", cmd, "Now:", "", "1", "1", 100, "The temperature in London is 10 degrees.", "dim lit"},
        {song, song, sun, "Now:", "", "0", "1", 61, sun},
        {song, song, "Now: Artist - Song", "Now:", "", "0", "1", 61, "NO WEATHER"},  // 10 bytes: too short
        {song, song, "Now: Artist - Song", "Now:", "", "0", "0", 61, sun}};
    // clang-format on
    Meta t;
    for (const OutputCase& c : cases) {
        Settings& s = t.settings();
        s.ExtraMetaNowPlaying = c.nowPlaying;
        s.DoNotPrefixWhenContains = c.noPrefixWhen;
        s.FilterSystem = c.filter == "1";
        s.MetaWeather = c.weather == "1";
        t.state().TimerCount = c.timerCount;
        TakeTitle(*t, c.rx, TitleArrival::Announced);
        t->metadata.weather.sentence = c.weatherText;
        ProduceMetadataOutputs(*t);
        // Both files, which always end their line with CR LF, the two labels and the indicators.
        const ConsoleModel& shown = t.shown();
        EXPECT_EQ(
            t.folder.read("metadata.txt") + t.folder.read("metaextra.txt") + shown.lblMetadataOutput.caption +
                "|" + shown.lblMetadataExtra.caption + "|" + t.lamps(),
            c.metadata + "\r\n" + c.extra + "\r\n" + c.metadata + "|" + c.extra.substr(0, 64) + "|" + c.lamps)
            << c.rx << " / " << c.noPrefixWhen;
    }
}

TEST(MetadataOutputs, AnUnwritableFileIsSkippedAndTheOtherStillWritten) {
    Meta t;
    std::filesystem::create_directory(t.folder.path() / "metadata.txt");
    TakeTitle(*t, "Artist - Song", TitleArrival::Announced);
    ProduceMetadataOutputs(*t);
    EXPECT_EQ(t.shown().lblMetadataOutput.caption + "|" + t.folder.read("metaextra.txt"),
              "Artist - Song|Artist - Song\r\n");
}

TEST(BillingReporter, SplitsThePaidItemAtItsFirstSeparator) {
    // clang-format off
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"$ Jingle", "Jingle", ""}, {"$ A - $ B - C", "A", "B - C"}, {"$ Acme -", "Acme", " -"}, {"$", "$", ""}};
    // clang-format on
    for (const auto& [item, customer, title] : cases)
        EXPECT_EQ(SplitPaidItem(item).customer + "|" + SplitPaidItem(item).title, customer + "|" + title)
            << item;
}

// The server's answer to both reports, of an item recorded on the first tick and one on the second; later
// attempts are answered. A refusal is an answer: the report is kept aside and never sent again. Without an
// answer (a request to come back, a server error, a reply broken off, none) a report goes again 30 ticks
// later, and the other goes meanwhile.
TEST(BillingReporter,
     EachReportGoesOnceAnsweredOrRefusedAndAnUnansweredOneAgainEvery30TicksNeverBlockingTheNext) {
    const std::string a = "20261206-120000\r\n$ Acme - Sale\r\n", b = "20261206-120001\r\n$ B\r\n",
                      x200(kRefusalTextLimit, 'x');
    const std::string again = "1:A 2:B 31:A 32:B|" + a + b + "||";
    // clang-format off
    const std::pair<HttpResult, std::string> cases[] = {
        {HttpResult{"Thanks", 0, "", 200}, "1:A 2:B|<missing>||Thanks"},
        {HttpResult{"Unknown customer\r\n<html>", 0, "", 400}, "1:A 2:B|<missing>|" + a + "400\r\nUnknown customer\r\n" +
            b + "400\r\nUnknown customer\r\n|HTTP 400 Unknown customer"},
        {HttpResult{std::string(300, 'x'), 0, "", 409}, "1:A 2:B|<missing>|" + a + "409\r\n" + x200 + "\r\n" + b +
            "409\r\n" + x200 + "\r\n|HTTP 409 " + x200},
        {HttpResult{"Slow down", 0, "", 429}, again}, {HttpResult{"", 0, "", 408}, again},
        {HttpResult{"Internal Server Error", 0, "", 500}, again},
        {HttpResult{"O", HttpError::ConnectionReset, "Closed", 200}, again}, {HttpResult{}, again}};
    // clang-format on
    for (const auto& [first, outcome] : cases) {
        Meta m;
        m.InetTallyway.queued = {first, first};
        std::string sent, pending, response;  // "tick:item" of each report sent
        for (int tick = 1; tick <= 32; ++tick) {
            if (tick <= 2)
                m.record("20261206-12000" + std::to_string(tick - 1), tick == 1 ? "$ Acme - Sale" : "$ B");
            const size_t before = m.InetTallyway.requests.size();
            if (m.bill() > before)
                sent += " " + std::to_string(tick) +
                        (m.sent().back().find("=Acme&") != std::string::npos ? ":A" : ":B");
            if (tick == 1) response = m.shown().lblResponse.caption;
            if (tick == 2) pending = m.folder.read(kPendingReportsFile);
        }
        const std::string rejected =
            m.folder.exists(kRejectedReportsFile) ? m.folder.read(kRejectedReportsFile) : "";
        EXPECT_EQ(sent.substr(1) + "|" + pending + "|" + rejected + "|" + response, outcome) << first.status;
        EXPECT_FALSE(m.folder.exists(kPendingReportsFile));
    }
}

// A refusal whose copy cannot be kept (a full disk, a frozen file) is never
// lost: the report stays pending and is not sent again, the failed write is
// said and counted as any other, and the copy is written at a later tick.
TEST(BillingReporter, ARefusedReportStaysPendingUntilItsCopyIsKept) {
    Meta m;
    m.InetTallyway.queued = {HttpResult{"Unknown", 0, "", 400}};
    m.folder.write(kRejectedReportsFile, "");
    namespace fs = std::filesystem;
    fs::permissions(m.folder.path() / kRejectedReportsFile, fs::perms::owner_read);
    m.record("20261206-120000", "$ Acme - Sale");
    const std::string kept =
        "PAY - REPORT REFUSED (HTTP 400), KEPT IN tallyway-rejected.txt: 20261206-120000 $ Acme - Sale";
    EXPECT_EQ(m.bill(3), 1u);
    EXPECT_EQ(std::tuple(
                  m.folder.read(kPendingReportsFile), m->counters.fileWriteFailures,
                  CountOf(m.console().txtAIR, kept),
                  CountOf(m.console().txtAIR, "SYS - CANNOT WRITE tallyway-rejected.txt: Permission denied")),
              std::tuple("20261206-120000\r\n$ Acme - Sale\r\n", 3u, 0u, 1u));
    fs::permissions(m.folder.path() / kRejectedReportsFile, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(m.bill(), 1u);
    EXPECT_EQ(m.folder.read(kRejectedReportsFile), "20261206-120000\r\n$ Acme - Sale\r\n400\r\nUnknown\r\n");
    EXPECT_EQ(std::tuple(m.folder.exists(kPendingReportsFile), CountOf(m.console().txtAIR, kept)),
              std::tuple(false, 1u));
}

TEST(BillingReporter, UnansweredReportsSurviveARestartAndGoOutOldestFirst) {
    Meta after;
    after.folder.write(kPendingReportsFile, "20261206-120000\r\n$ First\r\n20261206-120100\n$ Second\n");
    LoadPendingReports(*after);
    after.bill();
    // The last answer removes the file, and the removal is on the disk: a power cut cannot bring it back.
    const SyncCount before = SyncsSoFar();
    after.bill();
    EXPECT_EQ(std::tuple(after.folder.exists(kPendingReportsFile), SyncsSoFar().folders - before.folders),
              std::tuple(false, 1));
    EXPECT_EQ(after.sent(), (Strings{"stamp=20261206-120000&artist=First&title=",
                                     "stamp=20261206-120100&artist=Second&title="}));
}

TEST(BillingReporter, TicksWhileAReportIsUnderWayWaitForItInsteadOfSendingAgain) {
    Meta b;
    b.InetTallyway.holdAnswers = true;
    b.record("20261206-120000", "$ First");
    b.bill(4);
    b.record("20261206-120005", "$ Second");
    EXPECT_EQ(b.bill(3), 1u);
    b.InetTallyway.answerHeld();
    b.bill();
    EXPECT_EQ(b.sent(), (Strings{"stamp=20261206-120000&artist=First&title=",
                                 "stamp=20261206-120005&artist=Second&title="}));
    EXPECT_EQ(b.InetTallyway.cancels, 0);
    EXPECT_LT(b.InetTallyway.timeoutMs, kReportRetrySeconds * 1000);
}

TEST(AirUpdate, SendsEachChangeOfArtistOrTitleOnceAndDefaultsAsCommercial) {
    const std::string song = "title=Song&artist=Artist&commercial=false";
    const std::string ad = "title=Radio%20One&artist=Station&commercial=true";
    const std::string path = "C:\\Spots\\Ad1 - Spring Sale";
    // texts of the ticks, what each sent, the text last sent (split) afterwards
    // clang-format off
    const std::tuple<Strings, Strings, std::string> cases[] = {
        {{"Artist - Song", "Artist - Song"}, {song, ""}, "Artist|Song"},
        {{"Artist - Song", "Artist - Other Song"}, {song, "title=Other%20Song&artist=Artist&commercial=false"},
         "Artist|Other Song"},
        {{"Artist - Song", "Other - Song"}, {song, "title=Song&artist=Other&commercial=false"}, "Other|Song"},
        {{"Artist - Title", "Song", "Song"}, {"title=Title&artist=Artist&commercial=false", ad, ""}, "Song|"},
        {{"", "A - B"}, {"", ad}, "A - B|"},
        {{path, path}, {ad, ""}, "C:\\Spots\\Ad1|Spring Sale"},
        {{"Spot - D:\\ads\\x.mp3"}, {ad}, "Spot|D:\\ads\\x.mp3"},
        {{"Artist - Song", "Artist - !!*sys*!! reload", "!!*SYS*!!*TA1*!! - x"}, {song, "", ""}, "Artist|Song"},
        {{"Caf\xc3\xa9 & Sons - Sale #1 + 2=3 100%"},
         {"title=Sale%20%231%20%2B%202%3D3%20100%25&artist=Caf%C3%A9%20%26%20Sons&commercial=false"},
         "Caf\xc3\xa9 & Sons|Sale #1 + 2=3 100%"}};
    // clang-format on
    for (const auto& [texts, sent, last] : cases) {
        Meta a;
        for (size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(a.air(texts[i]), sent[i]) << texts[i];
        EXPECT_LT(a.InetAIR.timeoutMs, 5000) << "tmrAirUpdate's period";
        EXPECT_EQ(a->metadata.air.splitArtist + "|" + a->metadata.air.splitTitle, last) << texts.back();
    }
}

std::string Reply(const std::string& temp, const std::string& pressure = "1012",
                  const std::string& name = "London") {
    return R"({"coord":{"lon":-0.13},"weather":[{"id":800}],"main":{"temp":)" + temp +
           R"(,"feels_like":281.2,"pressure":)" + pressure +
           R"(,"humidity":81},"visibility":10000,"name":")" + name + R"(","cod":200})";
}

TEST(Weather, ComposesTheSentenceFromTheReplysFieldsOrFallsBack) {
    const std::string london = "The temperature in London is ", pressure = " Air pressure is 1012.",
                      no = "Station One";
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {Reply("283.9"), london + "10 degrees." + pressure}, {Reply("272.9"), london + "-1 degree." + pressure},
        {Reply("323.15"), london + "50 degrees." + pressure}, {Reply("324.15"), no}, {Reply("223.14"), no},
        {Reply("223.15"), london + "-50 degrees." + pressure}, {R"({"cod":401, "message": "Invalid API key"})", no},
        {Reply("283.9", "1012345", "Llanfairpwllgwyng"),
         "The temperature in Llanfairpwllgwyn is 10 degrees. Air pressure is 101234."},
        {Reply("283.9", "1012", "Llanfairpwllgwy\xc3\xb6"), "The temperature in Llanfairpwllgwy is 10 degrees." + pressure}};
    // clang-format on
    for (const auto& [body, sentence] : cases) EXPECT_EQ(ComposeWeather(body, no), sentence) << body;
}

TEST(Weather, FetchesOnTheFirstTickAndEvery1801TicksAndCountsDownMeanwhile) {
    Meta t;
    t.settings().MetaWeather = true;
    t.InetWeather.reply = [](const std::string&) { return HttpResult{Reply("283.9"), 0, "", 200}; };
    t.InetWeather.holdAnswers = true;
    tmrWeather_Timer(*t);
    tmrWeather_Timer(*t);  // a tick while the fetch is under way only counts
    t.InetWeather.answerHeld();
    t.InetWeather.holdAnswers = false;
    t.InetWeather.reply = nullptr;  // the service is down from now on
    for (int tick = 3; tick <= 1801; ++tick) tmrWeather_Timer(*t);
    EXPECT_EQ(t.shown().lblWeather.caption + " " + std::to_string(t->metadata.weather.counter) + " " +
                  std::to_string(t.InetWeather.requests.size()) + " " + t.shown().lblWeatherText.caption,
              "NEXT WEATHER: 30 mins 0 1 The temperature in London is 10 degrees. Air pressure is 1012.");
    tmrWeather_Timer(*t);
    EXPECT_EQ(std::to_string(t.InetWeather.requests.size()) + " " + t.shown().lblWeatherText.caption,
              "2 Station One");
}

// Each track of the last resort is a title of the as-run record: its tags' "Artist - Title", else its name.
TEST(PlayerLogReader, EachTrackOfTheLastResortIsAnAsRunTitle) {
    TestStation t(false);
    t.folder.write("sourcelist.ini", "1u:http://one.example/a\r\n");
    t.settings().LastResortFile = "lr.mp3";
    t.settings().CheckSource = true;
    t.onAir(1);
    for (int i = 0; i < 2; ++i)
        Observe(*t, air::Verdict{t->onAir.source(), air::Verdict::Kind::Failed, "down"});
    t.folder.write(
        t->onAir.CurrentMplayer() == 1 ? "mplayer1.log" : "mplayer2.log",
        "Playing /lr/a.mp3.\n Title: Song\n artist: Band\nStarting playback...\nPlaying /lr/b b.ogg.\n "
        "Title: Only\nStarting playback...\nPlaying /lr/c.wav.\nStarting playback...\n");
    tmrGetMetadata_Timer(*t);
    EXPECT_EQ(std::vector<std::string>(t.recorded.events.end() - 3, t.recorded.events.end()),
              (std::vector<std::string>{"track Band - Song", "track Only", "track c.wav"}));
}

}  // namespace
}  // namespace bf::test
