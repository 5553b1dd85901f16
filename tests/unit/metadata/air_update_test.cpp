#include "metadata/air_update.h"

#include <gtest/gtest.h>

#include "test_station.h"

namespace bf::test {
namespace {

struct Air {
    TestStation t;
    Air() {
        StationState& s = t.state();
        s.AIRpartnerid = "p1";
        s.AIRpartnerkey = "k&1";
        s.AIRid = "s1";
        s.AIRdefaultTitle = "Radio One";
        s.AIRdefaultArtist = "Station";
    }
    // The query from "title=" on of the request this tick sent; "" when none.
    std::string tick(const std::string& text) {
        const size_t before = t.InetAIR.requests.size();
        t.state().RXmetadata = text;
        tmrAirUpdate_Timer(*t);
        if (t.InetAIR.requests.size() == before) return "";
        const std::string& url = t.InetAIR.requests.back();
        return url.substr(url.find("&title=") + 1);
    }
};

struct AirCase {
    std::vector<std::string> texts;
    std::vector<std::string> sent;  // per tick
    std::string last;               // AIRLastArtist|AIRLastTitle afterwards
};

TEST(AirUpdate, SendsEachChangeOfArtistOrTitleOnceAndDefaultsAsCommercial) {
    const std::string song = "title=Song&artist=Artist&commercial=false";
    const std::string ad = "title=Radio%20One&artist=Station&commercial=true";
    const std::string path = "C:\\Spots\\Ad1 - Spring Sale";
    // clang-format off
    const AirCase cases[] = {
        {{"Artist - Song", "Artist - Song"}, {song, ""}, "Artist|Song"},
        {{"Artist - Song", "Artist - Other Song"}, {song, "title=Other%20Song&artist=Artist&commercial=false"},
         "Artist|Other Song"},
        {{"Artist - Song", "Other - Song"}, {song, "title=Song&artist=Other&commercial=false"}, "Other|Song"},
        {{"Artist - Title", "Song", "Song"}, {"title=Title&artist=Artist&commercial=false", ad, ""}, "Song|"},
        {{"Song", "Song"}, {ad, ""}, "Song|"},  // the station's default rather than the song before the start
        {{"", "A - B"}, {"", ad}, "A - B|"},
        {{"Artist - Song - Live"}, {"title=Song-%20Live&artist=Artist&commercial=false"}, "Artist|Song- Live"},
        {{path, path, path}, {ad, "", ""}, "C:\\Spots\\Ad1|Spring Sale"},
        {{"Spot - D:\\ads\\x.mp3"}, {ad}, "Spot|D:\\ads\\x.mp3"},
        {{"Artist - Song", "Artist - !!*sys*!! reload", "!!*SYS*!!*TA1*!! - x"}, {song, "", ""}, "Artist|Song"},
        {{"Smith & Sons - Sale #1 + 2=3"},
         {"title=Sale%20%231%20%2B%202%3D3&artist=Smith%20%26%20Sons&commercial=false"}, "Smith & Sons|Sale #1 + 2=3"},
        {{"Caf\xc3\xa9 - \xc3\x9cn 100%"}, {"title=%C3%9Cn%20100%25&artist=Caf%C3%A9&commercial=false"},
         "Caf\xc3\xa9|\xc3\x9cn 100%"}};
    // clang-format on
    for (const AirCase& c : cases) {
        Air a;
        for (size_t i = 0; i < c.texts.size(); ++i) EXPECT_EQ(a.tick(c.texts[i]), c.sent[i]) << c.texts[i];
        EXPECT_EQ(a.t.state().AIRLastArtist + "|" + a.t.state().AIRLastTitle, c.last) << c.texts.back();
    }
}

TEST(AirUpdate, RequestGoesToTheConfiguredAddressAndTheLabelsShowWhatWasSent) {
    Air a;
    a.t.clock.setTime(1, 9, 5, 7);
    a.tick("Artist - Song");
    EXPECT_EQ(
        a.t.InetAIR.requests.at(0),
        "http://air.radiotime.com/Playing.ashx?partnerId=p1&partnerKey=k%261&id=s1&title=Song&artist=Artist"
        "&commercial=false");
    EXPECT_EQ(Items(*a.t, "lblAIRartist lblAIRtitle lblAIRupdated"),
              "lblAIRartist=Artist lblAIRtitle=Song lblAIRupdated=09:05:07");
    a.tick("C:\\Spots\\Ad1 - Spring Sale");
    EXPECT_EQ(Items(*a.t, "lblAIRartist lblAIRtitle"), "lblAIRartist=Station lblAIRtitle=Radio One");
    a.tick("x !!*SYS*!! y");
    EXPECT_EQ(Items(*a.t, "lblAIRartist lblAIRtitle"), "lblAIRartist=Station lblAIRtitle=Radio One");

    Station other(Platform{a.t.clock, a.t.processes, a.t.timers, a.t.InetTestURL, a.t.Inet1, a.t.InetAIR,
                           a.t.InetTallyway, a.t.InetWeather},
                  a.t.folder.path(), [] {
                      StationOptions o;
                      o.airUrl = "http://127.0.0.1:8080/";
                      return o;
                  }());
    other.state.RXmetadata = "A - Song";
    tmrAirUpdate_Timer(other);
    EXPECT_TRUE(a.t.InetAIR.requests.back().starts_with("http://127.0.0.1:8080/Playing.ashx?partnerId=&"));
}

TEST(AirUpdate, RunningRequestIsCancelledAndEveryRequestEndsBeforeTheNextTick) {
    Air a;
    a.t.InetAIR.isBusy = true;
    a.tick("Artist - Song");
    EXPECT_EQ(a.t.InetAIR.cancels, 1);
    EXPECT_GT(a.t.InetAIR.timeoutMs, 0);
    EXPECT_LT(a.t.InetAIR.timeoutMs, 5000) << "tmrAirUpdate's period";
}

}  // namespace
}  // namespace bf::test
