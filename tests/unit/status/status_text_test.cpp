#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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

using ::testing::AllOf;
using ::testing::HasSubstr;

// Source 2 on air on slot 2 during a failover, with two paid items waiting.
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
        c.lblStatus = Label("ON AIR", std::nullopt, Colour::Green);
        c.lblMplayer2.caption = "2";
        c.txtAIR = " 2026-12-06 12:00:01  SYS - B\r\n 2026-12-06 12:00:00  SYS - A\r\n";
    }
};

TEST(StatusJsonTest, IsValidJsonWithTheStationsValues) {
    OnAirStation ts;
    const QJsonObject j = QJsonDocument::fromJson(QByteArray::fromStdString(StatusJson(*ts))).object();
    EXPECT_EQ(j["on_air"]["name"].toString(), QString::fromUtf8("Caf\u00e9 \"Two\"\n\\"));
    EXPECT_EQ(j["on_air"]["number"].toInt(), 2);
    EXPECT_EQ(j["on_air"]["lamp"].toString(), "#00ff00");
    EXPECT_EQ(j["failover"]["active"].toBool(), true);
    EXPECT_EQ(j["players"][0]["running"].toBool(), false);
    EXPECT_EQ(j["players"][1]["running"].toBool(), true);
    EXPECT_EQ(j["now_playing"]["seconds_since_change"].toInt(), 60);
    EXPECT_EQ(j["log"].toArray(),
              QJsonArray({"2026-12-06 12:00:01  SYS - B", "2026-12-06 12:00:00  SYS - A"}));
}

TEST(MetricsTextTest, EverySampleHasItsHelpAndTypeAndLabelsAreEscaped) {
    OnAirStation ts;
    const std::string text = MetricsText(*ts);
    for (const char* line :
         {"brackenfield_on_air_source 2\n", "brackenfield_failover_active 1\n",
          "brackenfield_failed_checks 3\n", "brackenfield_player_running{slot=\"1\"} 0\n",
          "brackenfield_player_running{slot=\"2\"} 1\n",
          "brackenfield_on_air_info{number=\"2\",name=\"Caf\xc3\xa9 "
          "\\\"Two\\\"\\n\\\\\",url=\"http://two.example/a\"} 1\n",
          "brackenfield_seconds_since_title_change 60\n", "brackenfield_billing_reports_pending 2\n",
          "brackenfield_api_requests_total{command=\"setcurrent\",result=\"error\"} 0\n",
          "brackenfield_uptime_seconds 100\n"})
        EXPECT_THAT(text, HasSubstr(line));
    for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string name = text.substr(at, text.find_first_of("{ ", at) - at);
        if (name == "#") continue;
        EXPECT_THAT(text.substr(0, at),
                    AllOf(HasSubstr("# HELP " + name + " "), HasSubstr("# TYPE " + name + " ")));
    }
}

TEST(StatusRequestTest, GetAnswersThePageJsonAndMetricsOtherMethodsAre405) {
    OnAirStation ts;
    // clang-format off
    const struct { const char* method; const char* path; int status; const char* type; const char* part; } cases[] = {
        {"GET", "/", 200, "text/html; charset=utf-8", "data-k=\"on_air.name\">Caf\xc3\xa9 &quot;Two&quot;"},
        {"GET", "/", 200, "text/html; charset=utf-8", "style=\"background:#00ff00\" data-k=\"on_air.status\">ON AIR<"},
        {"GET", "/status.json", 200, "application/json", "\"number\":2,"},
        {"GET", "/metrics", 200, "text/plain; version=0.0.4; charset=utf-8", "\nbrackenfield_on_air_source 2\n"},
        {"POST", "/metrics", 405, "text/plain; charset=utf-8", "Method Not Allowed"},
        {"GET", "/api/getcurrent.php", 404, "text/plain; charset=utf-8", "Not Found"}};
    // clang-format on
    for (const auto& c : cases) {
        const HttpReply reply = AnswerStatusRequest(*ts, {c.method, c.path});
        EXPECT_EQ(reply.status, c.status) << c.method << c.path;
        EXPECT_EQ(reply.contentType, c.type) << c.path;
        EXPECT_THAT(reply.body, HasSubstr(c.part));
    }
    const std::string page = AnswerStatusRequest(*ts, {"GET", "/"}).body;
    EXPECT_THAT(page, ::testing::Not(::testing::ContainsRegex("src=|href=")));  // loads nothing
}

TEST(StationCountersTest, EachSwitchCountsUnderItsCauseAndEachRestartOnce) {
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
    ts.Inet1.queue("1");
    tmrCheckForChanges_Timer(*ts);
    cmdForceSource_Click(*ts);
    const std::string text = MetricsText(*ts);
    for (const char* line :
         {"{cause=\"schedule\"} 1\n", "{cause=\"operator\"} 2\n", "{cause=\"api\"} 1\n",
          "{cause=\"management\"} 1\n", "{cause=\"failover\"} 1\n", "{cause=\"return\"} 1\n",
          "{cause=\"restart\"} 1\n", "\nbrackenfield_player_restarts_total 1\n",
          "{command=\"setcurrent\",result=\"ok\"} 1\n"})
        EXPECT_THAT(text, HasSubstr(line));
}

}  // namespace
}  // namespace bf::test
