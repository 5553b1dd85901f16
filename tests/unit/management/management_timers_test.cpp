#include "management/management_timers.h"

#include <gtest/gtest.h>

#include <tuple>

#include "management/management_link.h"
#include "test_station.h"

namespace bf::test {
namespace {

using Strings = std::vector<std::string>;

const std::string kOld = "1 060000 1\r\n1 070000 2\r\n1 080000 3\r\n";
const std::string kNew = "1 090000 3\r\n";
const std::string kGet = "http://m/get?key=k&switcher=sw";
const std::string kPoll = "http://m/poll?key=k&switcher=sw";
const std::string kUpdated = "Config updated 12:00:00 2026-06-12";
const std::string kFailed = "Config update failed 12:00:00 2026-06-12";

struct ManagedStation {
    TestStation ts;
    ManagedStation() {
        StationState& s = ts.state();
        s.ManagementUpdate = s.CurrentMplayer = s.CurrentSource = 1;  // source 1 on air on slot 1
        s.ManagementURL = "http://m/get";
        s.CheckForChangeURL = "http://m/poll";
        s.ManagementSendURL = "http://m/send";
        s.ManagementKey = "k";
        s.ManagementSwitcher = "sw";
        ts.console().lblCurrentSource.caption = "http://one.example/a";
        ts.folder.write("sourcelist.ini",
                        "1u:http://one.example/a\r\n3n:Studio B\r\n3u:http://three.example/b\r\n"
                        "7n:Seven\r\n7u:http://\r\n");
        ts.folder.write("sourceevents.ini", kOld);
    }
    std::string status() { return ts.console().lblConfigurationStatus.caption; }
    size_t reports() const {
        size_t n = 0;
        for (const auto& r : ts.Inet1.requests) n += r.rfind("http://m/send?key=k&switcher=sw&item=", 0) == 0;
        return n;
    }
};

struct ManagementTimersTest : ::testing::Test, ManagedStation {};

TEST_F(ManagementTimersTest, CountdownShowsTwoOneThenDownloadsTwiceAndStartsAgain) {
    ts.state().ManagementUpdate = 3;
    Strings duringFetch;
    ts.Inet1.onFetch = [&](const std::string& url) {
        if (url == kGet) duringFetch.push_back(status());
    };
    ts.Inet1.queue("first reply, not kept");
    ts.Inet1.queue(kNew);
    Strings shown;
    for (int tick = 0; tick < 4; ++tick) {
        tmrManagementDownload_Timer(*ts);
        shown.push_back(status());
    }
    EXPECT_EQ(shown, (Strings{"Countdown till config update: 2", "Countdown till config update: 1", kUpdated,
                              "Countdown till config update: 2"}));
    EXPECT_EQ(duringFetch, Strings(2, "Config update in progress..."));
    EXPECT_EQ(Strings(ts.Inet1.requests.begin(), ts.Inet1.requests.begin() + 2), Strings(2, kGet));
    EXPECT_EQ(reports(), 10u);
    EXPECT_EQ(ts.folder.read("sourceevents.ini"), kNew);
    EXPECT_EQ(ts.state().ManagementCounter, 1);
}

TEST_F(ManagementTimersTest, OnlyACompleteSecondReplyReplacesTheScheduleAndAFailureIsShownAndLogged) {
    const auto ok = [](std::string body, int status = 200) { return HttpResult{body, 0, "", status}; };
    const auto error = [](int error, std::string text) { return HttpResult{"", error, text}; };
    struct Case {
        const char* name;
        HttpResult first, second;
        std::string file, failure;
    };
    const Case cases[] = {
        {"shorter reply, no old tail", ok("x"), ok(kNew), kNew, ""},
        {"unreachable", error(HttpError::ConnectionRefused, "Refused"),
         error(HttpError::ConnectionRefused, "Refused"), kOld, "(Refused)"},
        {"error page", ok(kNew), ok("404 Not Found", 404), kOld, "(HTTP 404)"},
        {"broken off", ok(kNew), error(HttpError::ConnectionReset, "Closed"), kOld, "(Closed)"},
        {"empty", ok(""), ok(""), kOld, "(EMPTY REPLY)"},
    };
    for (const Case& c : cases) {
        ManagedStation t;
        t.ts.Inet1.queued = {c.first, c.second};
        tmrManagementDownload_Timer(*t.ts);
        const bool failed = !c.failure.empty();
        EXPECT_EQ(t.ts.folder.read("sourceevents.ini"), c.file) << c.name;
        EXPECT_EQ(t.status(), failed ? kFailed : kUpdated) << c.name;
        EXPECT_EQ(t.ts.console().txtAIR,
                  failed ? " 2026-12-06 12:00:00  SYS - CONFIG UPDATE FAILED " + c.failure + "\r\n" : "")
            << c.name;
        EXPECT_EQ(t.reports(), 10u) << c.name;
        EXPECT_EQ(t.ts.state().ManagementCounter, 0) << c.name;
    }
}

TEST_F(ManagementTimersTest, PollSwitchesOnlyToAPlayableSourceTheReplyNames) {
    // reply, its HTTP status, CurrentSource afterwards
    // clang-format off
    const std::tuple<std::string, int, int> cases[] = {{"3", 200, 3}, {"3\r\n", 200, 3}, {"3 \n", 200, 3},
        {"NOCHANGE", 200, 1}, {"", 200, 1}, {"7", 200, 1}, {"8", 200, 1}, {"3x", 200, 1}, {"3", 503, 1}};
    // clang-format on
    for (const auto& [reply, status, source] : cases) {
        ManagedStation t;
        t.ts.Inet1.queue(reply, status);
        tmrCheckForChanges_Timer(*t.ts);
        const bool switched = source != 1;
        EXPECT_EQ(t.ts.Inet1.requests[0], kPoll);
        EXPECT_EQ(t.ts.state().CurrentSource, source) << reply;
        const Strings calls = {"start mplayer2 http://three.example/b -quiet -noconsolecontrols",
                               "kill mplayer1"};
        EXPECT_EQ(t.ts.processes.log, switched ? calls : Strings{}) << reply;
        EXPECT_EQ(t.reports(), switched ? 10u : 0u) << reply;
    }
    ManagedStation t;
    t.ts.Inet1.queue("7");
    tmrCheckForChanges_Timer(*t.ts);
    EXPECT_EQ(t.ts.console().txtAIR,
              " 2026-12-06 12:00:00  SYS - SWITCH REFUSED - NO PLAYABLE URL (SOURCE 7)\r\n");
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
