#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "apiserver/api_commands.h"
#include "management/management_timers.h"
#include "schedule/event_tick.h"
#include "sources/health_check.h"
#include "sources/manual_switch.h"
#include "sources/watchdog.h"
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
        R"("billing":{"last_report":"e","response":"f","pending":2,"sent":0,"failed":0},)"
        R"("air":{"status":"g","updated":"h","artist":"i","title":"j"},"weather":{"status":"k","text":"l"},)"
        R"("api":{"status":"m","last_request":"NO REMOTE API CALLS MADE"},)"
        R"("log":["2026-12-06 12:00:01  SYS - B","2026-12-06 12:00:00  SYS - A"]})");
    // clang-format on
}

TEST(MetricsTextTest, EverySampleHasItsHelpAndTypeAndLabelsAreEscaped) {
    OnAirStation ts;
    const std::string text = MetricsText(*ts);
    for (const char* line :
         {"\nbrackenfield_failover_active 1\n", "\nbrackenfield_failed_checks 3\n",
          "\nbrackenfield_billing_reports_pending 2\n", "\nbrackenfield_seconds_since_title_change 60\n",
          "\nbrackenfield_on_air_info{number=\"2\",name=\"Caf\xc3\xa9 \\\"Two\\\"\\n\\\\\","
          "url=\"http://two.example/a\"} 1\n"})
        EXPECT_THAT(text, HasSubstr(line));
    for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string name = text.substr(at, text.find_first_of("{ ", at) - at);
        if (name == "#") continue;
        EXPECT_THAT(text.substr(0, at), HasSubstr("# HELP " + name + " ")) << name;
        EXPECT_THAT(text.substr(0, at), HasSubstr("# TYPE " + name + " ")) << name;
    }
}

TEST(StatusRequestTest, GetAnswersThePageJsonAndMetricsOtherPathsAre404) {
    OnAirStation ts;
    // clang-format off
    const struct { const char* path; int status; const char* type; const char* part; } cases[] = {
        {"/", 200, "text/html; charset=utf-8", "data-k=\"on_air.name\">Caf\xc3\xa9 &quot;Two&quot;"},
        {"/", 200, "text/html; charset=utf-8", "style=\"background:#ff0000\" data-k=\"on_air.status\">ON AIR<"},
        {"/status.json", 200, "application/json", "{\"station\":{"},
        {"/metrics", 200, "text/plain; version=0.0.4; charset=utf-8", "\nbrackenfield_on_air_source 2\n"},
        {"/api/getcurrent.php", 404, "text/plain; charset=utf-8", "Not Found"}};
    // clang-format on
    for (const auto& c : cases) {
        const HttpReply reply = AnswerStatusRequest(*ts, {"GET", c.path});
        EXPECT_EQ(reply.status, c.status) << c.path;
        EXPECT_EQ(reply.contentType, c.type) << c.path;
        EXPECT_THAT(reply.body, HasSubstr(c.part));
    }
    const std::string page = AnswerStatusRequest(*ts, {"GET", "/"}).body;
    EXPECT_THAT(page, ::testing::Not(::testing::ContainsRegex("src=|href=")));  // loads nothing
}

TEST(StationCountersTest, EachSwitchCountsUnderItsCauseEachRestartAndEachApiRequestOnce) {
    TestStation ts;
    ts.folder.write("sourcelist.ini",
                    "0u:http://backup.example/b\r\n1u:http://one.example/a\r\n9u:http://nine.example/n\r\n");
    ts.state().APIkey = "key";
    auto check = [&](int status) { ts.InetTestURL.queue("", status), tmrSourceCheck_Timer(*ts); };
    tmrCheckAndDoEvents_Timer(*ts);  // start-up: source 9
    ts.processes.running.clear();    // the player ended
    tmrCheckMplayerOK_Timer(*ts);
    tmrCheckAndDoEvents_Timer(*ts);
    check(500);
    check(500);
    tmrCheckAndDoEvents_Timer(*ts);  // the backup
    check(200);
    tmrCheckAndDoEvents_Timer(*ts);  // source 9 returns
    ts.console().comboSourceList.text = "1";
    cmdForceSwitch_Click(*ts);
    AnswerRequestText(*ts, "GET /api/setcurrent.php?id=key9 HTTP/1.1\r\n\r\n", "192.0.2.1");
    AnswerRequestText(*ts, "HELLO", "192.0.2.1");
    ts.Inet1.queue("1");
    tmrCheckForChanges_Timer(*ts);
    cmdForceSource_Click(*ts);
    const std::string text = MetricsText(*ts);
    for (const char* line :
         {"{cause=\"schedule\"} 1\n", "{cause=\"operator\"} 2\n", "{cause=\"api\"} 1\n",
          "{cause=\"management\"} 1\n", "{cause=\"failover\"} 1\n", "{cause=\"return\"} 1\n",
          "{cause=\"restart\"} 1\n", "\nbrackenfield_player_restarts_total 1\n",
          "{command=\"setcurrent\",result=\"ok\"} 1\n", "{command=\"other\",result=\"error\"} 1\n"})
        EXPECT_THAT(text, HasSubstr(line));
}

}  // namespace
}  // namespace bf::test
