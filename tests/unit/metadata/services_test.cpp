#include <gtest/gtest.h>

#include "metadata/air_update.h"
#include "metadata/billing_reporter.h"
#include "metadata/weather.h"
#include "test_station.h"

namespace bf::test {
namespace {

using Strings = std::vector<std::string>;

struct Billing : TestStation {
    Billing() {
        state().URLbase = "http://bill.example/report";
        state().APIkey = "key 1";
        InetTallyway.reply = [](const std::string&) { return HttpResult{"OK", HttpError::None, "", 200}; };
        tick();  // the first tick finds nothing recorded yet
    }
    void record(const std::string& stamp, const std::string& item) {
        state().TallywayTT = stamp;
        state().TallywayMM = item;
    }
    size_t tick(int times = 1) {
        for (int i = 0; i < times; ++i) tmrCheckFile_Timer(*station);
        return InetTallyway.requests.size();
    }
    // The reports sent so far, each without the address and key.
    Strings sent() const {
        Strings out;
        for (const std::string& r : InetTallyway.requests) out.push_back(r.substr(r.find("&stamp=") + 1));
        return out;
    }
};

TEST(BillingReporter, SplitsThePaidItemAtItsFirstSeparatorAndSendsBothPartsWhole) {
    // clang-format off
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"$ Jingle", "Jingle", ""}, {"$ A - $ B - C", "A", "B - C"}, {"$ Acme -", "Acme", " -"}, {"$", "$", ""}};
    // clang-format on
    for (const auto& [item, customer, title] : cases)
        EXPECT_EQ(SplitPaidItem(item).customer + "|" + SplitPaidItem(item).title, customer + "|" + title) << item;
    Billing b;
    b.record("20261206-120000", "$ Smith & Sons - Sale #1 + 2 at Brackenfield Motors");
    EXPECT_EQ(b.tick(), 1u);
    EXPECT_EQ(b.InetTallyway.requests.back(),
              "http://bill.example/report?key=key%201&stamp=20261206-120000&artist=Smith%20%26%20Sons&title=Sale%20%23"
              "1%20%2B%202%20at%20Brackenfield%20Motors");
    EXPECT_EQ(Items(*b, "lblArtist lblTitle"), "lblArtist=Smith & Sons lblTitle=Sale #1 + 2 at ...");
}

TEST(BillingReporter, ReportsEachNewStampOnceAndAFailedOneAgainEvery30TicksUntilAnswered) {
    Billing b;
    b.clock.set(2026, 12, 31, 5, 23, 59, 58);
    b.record("", "$ No Stamp");
    EXPECT_EQ(b.tick(), 0u);
    EXPECT_EQ(Items(*b, "lblTimestamp lblLastCheck lblResponse"),
              "lblTimestamp=None lblLastCheck=31-12-2026 23:59:58 lblResponse=None");
    // Three kinds of failure, then an answer: broken off, an error page, no reply at all.
    b.InetTallyway.queued = {HttpResult{"O", HttpError::ConnectionReset, "Closed", 200},
                             HttpResult{"Internal Server Error", 0, "", 500}, HttpResult{}};
    b.record("20261231-235958", "$ Acme - Sale");
    EXPECT_EQ(b.tick(), 1u);
    EXPECT_EQ(b.folder.read(kPendingReportsFile) + b.console().lblResponse.caption,
              "20261231-235958\r\n$ Acme - Sale\r\n");
    for (const size_t sent : {2u, 3u, 4u}) {
        EXPECT_EQ(b.tick(kReportRetrySeconds - 1), sent - 1);
        EXPECT_EQ(b.tick(), sent);
    }
    EXPECT_EQ(Items(*b, "lblTimestamp lblResponse lblSentTime"),
              "lblTimestamp=20261231-235958 lblResponse=OK lblSentTime=31-12-2026 23:59:58");
    EXPECT_FALSE(b.folder.exists(kPendingReportsFile));
    EXPECT_EQ(b.tick(kReportRetrySeconds * 2), 4u);
    b.record("20270101-000003", "$ Acme - Sale");  // the same text aired again after another title
    b.tick();
    const std::string acme = "&artist=Acme&title=Sale";
    const std::string first = "stamp=20261231-235958" + acme;
    EXPECT_EQ(b.sent(), (Strings{first, first, first, first, "stamp=20270101-000003" + acme}));
}

TEST(BillingReporter, UnansweredReportsSurviveARestartAndGoOutOldestFirst) {
    Billing after;
    after.state().StartupFlag = 1;  // an item recorded before the first tick counts as reported
    after.record("20261206-115959", "$ Old");
    after.folder.write(kPendingReportsFile, "\r\n$ No stamp\r\n20261206-120000\r\n$ First\r\n20261206-120100\n"
                                            "$ Second\r\n20261206-120000\r\n$ First\r\n20261206-120200\n");  // torn
    LoadPendingReports(*after);
    after.tick(3);
    EXPECT_EQ(after.sent(), (Strings{"stamp=20261206-120000&artist=First&title=",
                                     "stamp=20261206-120100&artist=Second&title="}));
    EXPECT_FALSE(after.folder.exists(kPendingReportsFile));
}

TEST(BillingReporter, TicksDuringASlowReportWaitForItInsteadOfSendingAgain) {
    Billing b;
    int nested = 0;
    b.InetTallyway.onFetch = [&](const std::string&) {
        if (nested++ > 0) return;
        b.InetTallyway.isBusy = true;
        b.tick(3);
        b.record("20261206-120005", "$ Second");  // the metadata tick records the next item meanwhile
        b.tick(3);
        b.InetTallyway.isBusy = false;
    };
    b.record("20261206-120000", "$ First");
    b.tick(4);
    EXPECT_EQ(b.sent(), (Strings{"stamp=20261206-120000&artist=First&title=",
                                 "stamp=20261206-120005&artist=Second&title="}));
    EXPECT_EQ(b.InetTallyway.cancels, 0);
    EXPECT_FALSE(b.folder.exists(kPendingReportsFile));
    EXPECT_LT(b.InetTallyway.timeoutMs, kReportRetrySeconds * 1000);
}

struct Air : TestStation {
    Air() {
        StationState& s = state();
        s.AIRpartnerid = "p1";
        s.AIRpartnerkey = "k&1";
        s.AIRid = "s1";
        s.AIRdefaultTitle = "Radio One";
        s.AIRdefaultArtist = "Station";
    }
    // The query from "title=" on of the request this tick sent; "" when none.
    std::string tick(const std::string& text) {
        const size_t before = InetAIR.requests.size();
        state().RXmetadata = text;
        tmrAirUpdate_Timer(*station);
        if (InetAIR.requests.size() == before) return "";
        return InetAIR.requests.back().substr(InetAIR.requests.back().find("&title=") + 1);
    }
};

TEST(AirUpdate, SendsEachChangeOfArtistOrTitleOnceAndDefaultsAsCommercial) {
    const std::string song = "title=Song&artist=Artist&commercial=false";
    const std::string ad = "title=Radio%20One&artist=Station&commercial=true";
    const std::string path = "C:\\Spots\\Ad1 - Spring Sale";
    // texts of the ticks, what each sent, AIRLastArtist|AIRLastTitle afterwards
    // clang-format off
    const std::tuple<Strings, Strings, std::string> cases[] = {
        {{"Artist - Song", "Artist - Song"}, {song, ""}, "Artist|Song"},
        {{"Artist - Song", "Artist - Other Song"}, {song, "title=Other%20Song&artist=Artist&commercial=false"}, "Artist|Other Song"},
        {{"Artist - Song", "Other - Song"}, {song, "title=Song&artist=Other&commercial=false"}, "Other|Song"},
        {{"Artist - Title", "Song", "Song"}, {"title=Title&artist=Artist&commercial=false", ad, ""}, "Song|"},
        {{"", "A - B"}, {"", ad}, "A - B|"},
        {{"Artist - Song - Live"}, {"title=Song-%20Live&artist=Artist&commercial=false"}, "Artist|Song- Live"},
        {{path, path}, {ad, ""}, "C:\\Spots\\Ad1|Spring Sale"},
        {{"Spot - D:\\ads\\x.mp3"}, {ad}, "Spot|D:\\ads\\x.mp3"},
        {{"Artist - Song", "Artist - !!*sys*!! reload", "!!*SYS*!!*TA1*!! - x"}, {song, "", ""}, "Artist|Song"},
        {{"Caf\xc3\xa9 & Sons - Sale #1 + 2=3 100%"},
         {"title=Sale%20%231%20%2B%202%3D3%20100%25&artist=Caf%C3%A9%20%26%20Sons&commercial=false"},
         "Caf\xc3\xa9 & Sons|Sale #1 + 2=3 100%"}};
    // clang-format on
    for (const auto& [texts, sent, last] : cases) {
        Air a;
        for (size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(a.tick(texts[i]), sent[i]) << texts[i];
        EXPECT_EQ(a.state().AIRLastArtist + "|" + a.state().AIRLastTitle, last) << texts.back();
    }
}

TEST(AirUpdate, RequestGoesToTheConfiguredAddressAndTheLabelsShowWhatWasSent) {
    Air a;
    a.clock.setTime(1, 9, 5, 7);
    a.InetAIR.isBusy = true;
    a.tick("Artist - Song");
    EXPECT_EQ(a.InetAIR.cancels, 1) << "a running request is given up";
    EXPECT_GT(a.InetAIR.timeoutMs, 0);
    EXPECT_LT(a.InetAIR.timeoutMs, 5000) << "tmrAirUpdate's period";
    EXPECT_EQ(a.InetAIR.requests.at(0),
              "http://air.radiotime.com/Playing.ashx?partnerId=p1&partnerKey=k%261&id=s1&title=Song&artist=Artist"
              "&commercial=false");
    EXPECT_EQ(Items(*a, "lblAIRartist lblAIRtitle lblAIRupdated"),
              "lblAIRartist=Artist lblAIRtitle=Song lblAIRupdated=09:05:07");
    a.tick("C:\\Spots\\Ad1 - Spring Sale");
    EXPECT_EQ(Items(*a, "lblAIRartist lblAIRtitle"), "lblAIRartist=Station lblAIRtitle=Radio One");

    StationOptions options;
    options.airUrl = "http://127.0.0.1:8080/";
    Station other(Platform{a.clock, a.processes, a.timers, a.InetTestURL, a.Inet1, a.InetAIR, a.InetTallyway,
                           a.InetWeather},
                  a.folder.path(), options);
    other.state.RXmetadata = "A - Song";
    tmrAirUpdate_Timer(other);
    EXPECT_TRUE(a.InetAIR.requests.back().starts_with("http://127.0.0.1:8080/Playing.ashx?partnerId=&"));
}

std::string Reply(const std::string& temp, const std::string& pressure = "1012", const std::string& name = "London") {
    return R"({"coord":{"lon":-0.13},"weather":[{"id":800}],"main":{"temp":)" + temp +
           R"(,"feels_like":281.2,"pressure":)" + pressure + R"(,"humidity":81},"visibility":10000,"name":")" + name +
           R"(","cod":200})";
}

TEST(Weather, ComposesTheSentenceFromTheReplysFieldsOrFallsBack) {
    const std::string london = "The temperature in London is ", pressure = " Air pressure is 1012.", no = "Station One";
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {Reply("283.9"), london + "10 degrees." + pressure}, {Reply("274.15"), london + "1 degree." + pressure},
        {Reply("273.15"), london + "0 degrees." + pressure}, {Reply("272.9"), london + "-1 degree." + pressure},
        {Reply("323.15"), london + "50 degrees." + pressure}, {Reply("324.15"), no},
        {Reply("223.15"), london + "-50 degrees." + pressure}, {Reply("223.14"), no},
        {Reply("283.9", "1012345", "Llanfairpwllgwyng"), "The temperature in Llanfairpwllgwyn is 10 degrees. Air pressure is 101234."},
        {R"({"main":{"temp":283.15}})", "The temperature in  is 10 degrees. Air pressure is ."},
        {R"({"cod":401, "message": "Invalid API key"})", no}};
    // clang-format on
    for (const auto& [body, sentence] : cases) EXPECT_EQ(ComposeWeather(body, no), sentence) << body;
}

TEST(Weather, FetchesOnTheFirstTickAndEvery1801TicksAndCountsDownMeanwhile) {
    TestStation t;
    t.state().MetaLocation = "London,GB";
    t.state().MetaOpenWeatherMapKey = "abc";
    t.state().DefaultStrapline = "Station One";
    t.InetWeather.reply = [](const std::string&) { return HttpResult{Reply("283.9"), HttpError::None, "", 500}; };
    int nestedTicks = 0;
    t.InetWeather.onFetch = [&](const std::string&) {
        if (nestedTicks++ == 0) tmrWeather_Timer(*t);  // a tick during the wait only counts
    };
    tmrWeather_Timer(*t);
    EXPECT_EQ(t.InetWeather.requests, Strings{"http://api.openweathermap.org/data/2.5/weather?q=London,GB&APPID=abc"});
    EXPECT_EQ(Items(*t, "lblWeather lblWeatherText"),
              "lblWeather=NEXT WEATHER: 29 mins lblWeatherText=The temperature in London is 10 degrees. Air "
              "pressure is 1012.");
    EXPECT_LT(t.InetWeather.timeoutMs, 60000) << "the sentence is first wanted a minute after startup";
    t.InetWeather.reply = nullptr;  // the service is down from now on
    for (int tick = 3; tick <= 1801; ++tick) tmrWeather_Timer(*t);
    EXPECT_EQ(t.console().lblWeather.caption + " " + std::to_string(t.state().WeatherCounter),
              "NEXT WEATHER: 30 mins 0");
    EXPECT_EQ(t.InetWeather.requests.size(), 1u);
    tmrWeather_Timer(*t);
    EXPECT_EQ(t.InetWeather.requests.size(), 2u);
    EXPECT_EQ(t.console().lblWeatherText.caption, "Station One");
}

}  // namespace
}  // namespace bf::test
