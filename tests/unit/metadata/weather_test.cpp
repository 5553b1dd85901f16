#include "metadata/weather.h"

#include <gtest/gtest.h>

#include "test_station.h"

namespace bf::test {
namespace {

const std::string kFallback = "Station One";

std::string Reply(const std::string& temp, const std::string& pressure = "1012",
                  const std::string& name = "London") {
    return R"({"coord":{"lon":-0.13},"weather":[{"id":800}],"main":{"temp":)" + temp +
           R"(,"feels_like":281.2,"pressure":)" + pressure +
           R"(,"humidity":81},"visibility":10000,"name":")" + name + R"(","cod":200})";
}

TEST(Weather, ComposesTheSentenceFromTheReplysFieldsOrFallsBack) {
    const std::string london = "The temperature in London is ";
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {Reply("283.9"), london + "10 degrees. Air pressure is 1012."},
        {Reply("274.15"), london + "1 degree. Air pressure is 1012."},
        {Reply("272.15"), london + "-1 degree. Air pressure is 1012."},
        {Reply("273.15"), london + "0 degrees. Air pressure is 1012."},
        {Reply("272.9"), london + "-1 degree. Air pressure is 1012."},
        {Reply("323.15"), london + "50 degrees. Air pressure is 1012."}, {Reply("324.15"), kFallback},
        {Reply("223.15"), london + "-50 degrees. Air pressure is 1012."}, {Reply("223.14"), kFallback},
        {Reply("283.9", "1012", "Llanfairpwllgwyng"), "The temperature in Llanfairpwllgwyn is 10 degrees. Air pressure is 1012."},
        {Reply("283.9", "1012345"), london + "10 degrees. Air pressure is 101234."},
        {R"({"main":{"temp":283.15}})", "The temperature in  is 10 degrees. Air pressure is ."},
        {R"({"cod":401, "message": "Invalid API key"})", kFallback}, {"", kFallback}, {Reply("1e999"), kFallback}};
    // clang-format on
    for (const auto& [body, sentence] : cases) EXPECT_EQ(ComposeWeather(body, kFallback), sentence) << body;
}

TEST(Weather, FetchesOnTheFirstTickAndEvery1801TicksAndCountsDownMeanwhile) {
    TestStation t;
    t.state().MetaLocation = "London,GB";
    t.state().MetaOpenWeatherMapKey = "abc";
    t.state().DefaultStrapline = kFallback;
    t.InetWeather.reply = [](const std::string&) {
        return HttpResult{Reply("283.9"), HttpError::None, "", 500};
    };
    int nestedTicks = 0;
    t.InetWeather.onFetch = [&](const std::string&) {
        if (nestedTicks++ == 0) tmrWeather_Timer(*t);  // a tick during the wait only counts
    };
    tmrWeather_Timer(*t);
    EXPECT_EQ(
        t.InetWeather.requests,
        std::vector<std::string>{"http://api.openweathermap.org/data/2.5/weather?q=London,GB&APPID=abc"});
    EXPECT_EQ(Items(*t, "lblWeather lblWeatherText"),
              "lblWeather=NEXT WEATHER: 29 mins lblWeatherText=The temperature in London is 10 degrees. Air "
              "pressure "
              "is 1012.");
    EXPECT_EQ(t.state().WeatherCounter, 2);
    EXPECT_GT(t.InetWeather.timeoutMs, 0);
    EXPECT_LT(t.InetWeather.timeoutMs, 60000) << "the sentence is first wanted a minute after startup";

    t.InetWeather.reply = nullptr;  // the service is down from now on
    for (int tick = 3; tick <= 1800; ++tick) tmrWeather_Timer(*t);
    EXPECT_EQ(t.console().lblWeather.caption + " " + std::to_string(t.state().WeatherCounter),
              "NEXT WEATHER: 0 mins 1800");
    tmrWeather_Timer(*t);
    EXPECT_EQ(t.console().lblWeather.caption + " " + std::to_string(t.state().WeatherCounter),
              "NEXT WEATHER: 30 mins 0");
    EXPECT_EQ(t.InetWeather.requests.size(), 1u);
    tmrWeather_Timer(*t);
    EXPECT_EQ(t.InetWeather.requests.size(), 2u);
    EXPECT_EQ(t.console().lblWeatherText.caption, kFallback);
}

}  // namespace
}  // namespace bf::test
