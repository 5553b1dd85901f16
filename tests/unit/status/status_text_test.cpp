#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "status/metrics_text.h"
#include "status/status_json.h"
#include "status/status_server.h"
#include "test_station.h"

namespace bf::test {
namespace {

using ::testing::HasSubstr;

// Source 2 on air on slot 2 during a failover, with two paid items waiting.
// Captions that start alike get letters of their own, so that a field fed from
// the wrong label shows.
struct OnAirStation : TestStation {
    OnAirStation() {
        ConsoleModel& c = console();
        state().CurrentSource = 2;
        state().CurrentMplayer = 2;
        state().SilenceFlag = 1;
        state().LinkFailCount = 3;
        state().PendingReports = {{"s1", "$ A"}, {"s2", "$ B"}};
        state().SystemRuntime = 100;
        station->counters.titleChangedAt = 40;
        c.lblStudio.caption = "Caf\xe9 \"Two\"\n\\";  // Latin-1, as a source list may hold it
        c.lblCurrentSource.caption = "http://two.example/a";
        c.lblStatus = Label("ON AIR", std::nullopt, Colour::Red);
        c.lblMplayer2.caption = "2";
        c.txtAIR = " 2026-12-06 12:00:01  SYS - B\r\n 2026-12-06 12:00:00  SYS - A\r\n";
        char letter = 'a';
        for (Label* label :
             {&c.lblBooted, &c.lblUptime, &c.lblRXmetadata, &c.lblMetadataOutput, &c.lblSentTime,
              &c.lblResponse, &c.lblTuneInAir, &c.lblAIRupdated, &c.lblAIRartist, &c.lblAIRtitle,
              &c.lblWeather, &c.lblWeatherText, &c.lblAPIstatus, &c.lblConfigurationStatus})
            label->caption = std::string(1, letter++);
    }
};

TEST(StatusJsonTest, IsTheWholeDocumentOfTheStationsValues) {
    OnAirStation ts;
    // clang-format off
    EXPECT_EQ(StatusJson(*ts),
        R"({"station":{"version":")" BF_VERSION R"(","time":"2026-12-06 12:00:00","started":"a","uptime":"b",)"
        R"("uptime_seconds":100,"mode":"AUTOMATIC"},"on_air":{"number":2,"name":"Caf)" "\xc3\xa9" R"( \"Two\"\n\\",)"
        R"("url":"http://two.example/a","slot":2,"status":"ON AIR","lamp":"#ff0000"},"now_playing":{"title":"c",)"
        R"("output":"d","extra":"WAITING FOR METADATA","seconds_since_change":60},"failover":{"active":true,)"
        R"("failed_checks":3,"status":"DISABLED","lamp":"","tested_url":"NONE","checked_at":"NO TIME"},)"
        R"("players":[{"slot":1,"running":false},{"slot":2,"running":true}],"player_restarts":0,)"
        R"("schedule":{"next":"No Event Next","last":"No Previous Event"},"management":{"status":"n"},)"
        R"("billing":{"last_report":"e","response":"f","pending":2,"sent":0,"refused":0,"failed":0},)"
        R"("air":{"status":"g","updated":"h","artist":"i","title":"j"},"weather":{"status":"k","text":"l"},)"
        R"("api":{"status":"m","last_request":"NO REMOTE API CALLS MADE"},)"
        R"("log":["2026-12-06 12:00:01  SYS - B","2026-12-06 12:00:00  SYS - A"]})");
    // clang-format on
}

TEST(StatusRequestTest, GetAnswersThePageJsonAndMetricsOtherPathsAre404) {
    OnAirStation ts;
    // clang-format off
    const struct { const char* path; int status; const char* type; const char* part; } cases[] = {
        {"/", 200, "text/html; charset=utf-8", "data-k=\"on_air.name\">Caf\xc3\xa9 &quot;Two&quot;"},
        {"/", 200, "text/html; charset=utf-8", "style=\"background:#ff0000\" data-k=\"on_air.status\">ON AIR<"},
        {"/status.json", 200, "application/json", "{\"station\":{"},
        {"/metrics", 200, "text/plain; version=0.0.4; charset=utf-8", "\nbrackenfield_failover_active 1\n"},
        {"/metrics", 200, "text/plain; version=0.0.4; charset=utf-8", "name=\"Caf\xc3\xa9 \\\"Two\\\"\\n\\\\\",url="},
        {"/api/getcurrent.php", 404, "text/plain; charset=utf-8", "Not Found"}};
    // clang-format on
    for (const auto& c : cases) {
        const HttpReply reply = AnswerStatusRequest(*ts, {"GET", c.path});
        EXPECT_EQ(reply.status, c.status) << c.path;
        EXPECT_EQ(reply.contentType, c.type) << c.path;
        EXPECT_THAT(reply.body, HasSubstr(c.part));
    }
}

}  // namespace
}  // namespace bf::test
