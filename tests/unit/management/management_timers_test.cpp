#include "management/management_timers.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "test_station.h"

namespace bf::test {
namespace {

using Strings = std::vector<std::string>;

const std::string kOld = "1 060000 1\r\n1 070000 2\r\n1 080000 3\r\n";
const std::string kNew = "1 090000 3\r\n";
const std::string kGet = "http://m/get?key=k&switcher=sw";
const std::string kPoll = "http://m/poll?key=k&switcher=sw";
const std::string kUpdated = "Config updated 12:00:00 2026-06-12";

// Source 1 on air on slot 1; a download every minute.
struct ManagedStation {
    TestStation ts;
    ManagedStation() {
        StationState& s = ts.state();
        s.ManagementUpdate = s.CurrentMplayer = s.CurrentSource = 1;
        s.ManagementURL = "http://m/get";
        s.CheckForChangeURL = "http://m/poll";
        s.ManagementSendURL = "http://m/send";
        s.ManagementKey = "k";
        s.ManagementSwitcher = "sw";
        ts.folder.write("sourcelist.ini",
                        "1u:http://one.example/a\r\n3u:http://three.example/b\r\n7u:http://\r\n");
        ts.folder.write("sourceevents.ini", kOld);
    }
    std::string status() { return ts.console().lblConfigurationStatus.caption; }
    size_t reports() const {
        return std::ranges::count_if(ts.Inet1.requests,
                                     [](const auto& r) { return r.starts_with("http://m/send?"); });
    }
};

struct ManagementTimersTest : ::testing::Test, ManagedStation {};

TEST_F(ManagementTimersTest, CountdownShowsTwoOneThenDownloadsTwiceAndStartsAgain) {
    ts.state().ManagementUpdate = 3;
    Strings shown;
    ts.Inet1.queue("first reply, not kept");
    ts.Inet1.queue(kNew);
    for (int tick = 0; tick < 4; ++tick) {
        tmrManagementDownload_Timer(*ts);
        shown.push_back(status());
    }
    EXPECT_EQ(shown, (Strings{"Countdown till config update: 2", "Countdown till config update: 1", kUpdated,
                              "Countdown till config update: 2"}));
    EXPECT_EQ(reports(), 10u);
    EXPECT_EQ(ts.folder.read("sourceevents.ini"), kNew);
}

TEST_F(ManagementTimersTest, OnlyACompleteSecondReplyReplacesTheScheduleAndAFailureIsShownAndLogged) {
    const auto ok = [](std::string body, int status = 200) { return HttpResult{body, 0, "", status}; };
    // first reply, second reply, the file afterwards, why it failed
    const std::tuple<HttpResult, HttpResult, std::string, std::string> cases[] = {
        {ok("x"), ok(kNew), kNew, ""},  // a shorter reply leaves no tail of the old file
        {ok(kNew), ok("404 Not Found", 404), kOld, "(HTTP 404)"},
        {ok(kNew), HttpResult{"", HttpError::ConnectionReset, "Closed"}, kOld, "(Closed)"},
        {ok(""), ok(""), kOld, "(EMPTY REPLY)"}};
    for (const auto& [first, second, file, failure] : cases) {
        ManagedStation t;
        t.ts.Inet1.queued = {first, second};
        tmrManagementDownload_Timer(*t.ts);
        EXPECT_EQ(t.ts.folder.read("sourceevents.ini"), file) << failure;
        EXPECT_EQ(t.status(), failure.empty() ? kUpdated : "Config update failed 12:00:00 2026-06-12");
        EXPECT_EQ(
            t.ts.console().txtAIR,
            failure.empty() ? "" : " 2026-12-06 12:00:00  SYS - CONFIG UPDATE FAILED " + failure + "\r\n");
        EXPECT_EQ(t.reports(), 10u) << failure;
        EXPECT_EQ(t.ts.state().ManagementCounter, 0) << failure;
    }
}

TEST_F(ManagementTimersTest, PollSwitchesOnlyToAPlayableSourceTheReplyNames) {
    // reply, its HTTP status, CurrentSource afterwards, the order refused
    // clang-format off
    const std::tuple<std::string, int, int, std::string> cases[] = {
        {"3", 200, 3, ""}, {"3 \r\n", 200, 3, ""}, {"NOCHANGE", 200, 1, ""}, {"", 200, 1, ""}, {"7", 200, 1, "7"},
        {"3x", 200, 1, "3x"}, {"3", 503, 1, ""}};
    // clang-format on
    for (const auto& [reply, status, source, refused] : cases) {
        ManagedStation t;
        t.ts.Inet1.queue(reply, status);
        tmrCheckForChanges_Timer(*t.ts);
        const bool switched = source != 1;
        EXPECT_EQ(t.ts.Inet1.requests[0], kPoll);
        EXPECT_EQ(t.ts.state().CurrentSource, source) << reply;
        EXPECT_EQ(t.ts.processes.running.contains("mplayer2"), switched) << reply;
        EXPECT_EQ(t.reports(), switched ? 10u : 0u) << reply;
        const std::string refusal = " 2026-12-06 12:00:00  SYS - SWITCH REFUSED - NO PLAYABLE URL (SOURCE ";
        EXPECT_EQ(t.ts.console().txtAIR, refused.empty() ? "" : refusal + refused + ")\r\n");
    }
}

TEST_F(ManagementTimersTest, EveryWaitOfATickEndsBeforeTheNextTickAndARunningRequestIsCancelledFirst) {
    int waitedMs = 0;
    ts.Inet1.isBusy = true;  // a request of another caller still runs
    ts.Inet1.onFetch = [&](const std::string&) { waitedMs += ts.Inet1.timeoutMs; };
    ts.Inet1.reply = [](const std::string& url) {
        return HttpResult{url == kPoll ? "3" : "", HttpError::TimedOut, "Request timed out", 0};
    };
    tmrManagementDownload_Timer(*ts);
    EXPECT_EQ(ts.Inet1.requests.size(), 12u);
    EXPECT_LT(waitedMs, 60000);
    EXPECT_EQ(ts.Inet1.cancels, 1);
    waitedMs = 0;
    ts.Inet1.reply = [](const std::string& url) { return HttpResult{url == kPoll ? "3" : "", 0, "", 200}; };
    tmrCheckForChanges_Timer(*ts);
    EXPECT_EQ(ts.Inet1.requests.size(), 12u + 11u);
    EXPECT_LT(waitedMs + 2000, 60000);  // with the switch's overlap
}

TEST_F(ManagementTimersTest, PollAndDownloadOfTheSameMinuteBothTakeEffectAndTicksDoNotStack) {
    ts.Inet1.reply = [](const std::string& url) { return HttpResult{url == kPoll ? "3" : kNew, 0, "", 200}; };
    bool nested = false;
    ts.Inet1.onFetch = [&](const std::string& url) {
        if (url != kGet || nested) return;
        nested = true;  // both timers fall due during the first download request
        tmrManagementDownload_Timer(*ts);
        tmrCheckForChanges_Timer(*ts);
    };
    tmrManagementDownload_Timer(*ts);
    EXPECT_EQ(ts.state().CurrentSource, 3);
    EXPECT_EQ(ts.folder.read("sourceevents.ini"), kNew);
    EXPECT_EQ(status(), "Config updated 12:00:02 2026-06-12");  // after the switch's overlap
    EXPECT_EQ(ts.Inet1.requests.size(), 2u + 1u + 10u + 10u);
    EXPECT_EQ(ts.state().ManagementCounter, 0);
}

}  // namespace
}  // namespace bf::test
