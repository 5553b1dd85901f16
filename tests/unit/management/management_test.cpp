#include <gtest/gtest.h>

#include <map>

#include "core/timer_names.h"
#include "management/management_timers.h"
#include "management/source_list_report.h"
#include "sources/on_air.h"
#include "test_station.h"

namespace bf::test {
namespace {

using Strings = std::vector<std::string>;
using Slots = std::map<int, std::string>;  // a slot's "NAME&url=URL" in a report

const std::string kOld = "1 060000 1\r\n1 070000 2\r\n1 080000 3\r\n";
const std::string kNew = "1 090000 3\r\n";
const std::string kGet = "http://m/get?key=k%20y%23&switcher=sw";
const std::string kPoll = "http://m/poll?key=k%20y%23&switcher=sw";
const Slots kListed = {
    {1, "&url=http://one.example/a"}, {3, "&url=http://three.example/b"}, {7, "&url=http://"}};

// Source 1 on air on slot 1; a download every minute.
struct Managed : TestStation {
    Managed() {
        Settings& s = settings();
        s.ManagementUpdate = 1;
        s.ManagementURL = "http://m/get";
        s.CheckForChangeURL = "http://m/poll";
        s.ManagementSendURL = "http://m/send";
        s.ManagementKey = "k y#";
        s.ManagementSwitcher = "sw";
        folder.write("sourcelist.ini",
                     "1u:http://one.example/a\r\n3u:http://three.example/b\r\n7u:http://\r\n");
        folder.write("sourceevents.ini", kOld);
        onAir(1);
    }
    // The ten requests of a report.
    static Strings Report(const Slots& slots, int active) {
        Strings urls;
        for (int i = 0; i < 10; ++i)
            urls.push_back("http://m/send?key=k%20y%23&switcher=sw&item=" + std::to_string(i) +
                           "&name=" + (slots.contains(i) ? slots.at(i) : "&url=") +
                           "&active=" + (i == active ? "Y" : "N"));
        return urls;
    }
};

TEST(SourceListReport, SendsAllTenSlotsFreshFromTheListWithValuesAsTheyStand) {
    // clang-format off
    const std::tuple<std::string, Slots> cases[] = {
        {"1n:One\r\n1u:http://a.example/one\r\n2n:Two\n2u:http://b.example/two?x=1&y=%41\r\n",
         {{1, "One&url=http://a.example/one"}, {2, "Two&url=http://b.example/two?x=1&y=%41"}}},
        {"xn:Test\r\n;3n:Gone\r\n3n:Caf\xe9 #3\t\x7f\r\n", {{0, "Test&url="}, {3, "Caf%E9%20%233%09%7F&url="}}}};
    // clang-format on
    Managed t;
    for (const auto& [list, slots] : cases) {
        t.folder.write("sourcelist.ini", list);
        if (t->onAir.CurrentSource() != 2) t.onAir(2);
        t.Inet1.requests.clear();
        ReportSourceList(*t);
        EXPECT_EQ(t.Inet1.requests, Managed::Report(slots, 2)) << list;  // source 2 stays on air
    }
}

// The switch's report runs from its own timer, once the switch's caller is
// done; what of a running report still waits gives way to it.
TEST(SourceListReport, ASwitchReportsAfterItsCallerAndSupersedesARunningReportButNotWithDownloadsOff) {
    Managed t;
    t.Inet1.holdAnswers = true;
    ReportSourceList(*t);
    t.Inet1.answerHeld();
    t.Inet1.answerHeld();  // the report's third request is under way
    Observe(*t, air::Choice{"3", SwitchCause::Api});
    EXPECT_EQ(t.Inet1.requests.size(), 3u);
    t.timers.fire(TimerName::ReportSourceList);
    while (t.Inet1.answerHeld()) continue;
    ASSERT_EQ(t.Inet1.requests.size(), 13u);
    EXPECT_EQ(Strings(t.Inet1.requests.begin() + 3, t.Inet1.requests.end()), Managed::Report(kListed, 3));
    EXPECT_TRUE(t.Inet1.cancels == 0 && !t.timers.running(TimerName::ReportSourceList));
    t.settings().ManagementUpdate = 0;
    Observe(*t, air::Choice{"1", SwitchCause::Api});
    t.timers.fire(TimerName::ReportSourceList);
    EXPECT_EQ(t.Inet1.requests.size(), 13u);
}

TEST(ManagementDownload, CountsDownThenOnlyACompleteSecondReplyReplacesTheSchedule) {
    Managed t;
    t.settings().ManagementUpdate = 2;
    // Two ticks a download, which fetches twice: the first reply does not count. The new schedule leaves no
    // tail of the longer old one; an empty reply or an error page changes nothing.
    const std::string page = "<html><body>Maintenance</body></html>\r\n";
    const std::pair<std::string, std::string> replies[] = {{"x", kNew}, {"", ""}, {page, page}};
    std::string shown;  // the status label after each tick
    for (const auto& [first, second] : replies) {
        t.Inet1.queue(first);
        t.Inet1.queue(second);
        for (int tick = 0; tick < 2; ++tick) {
            tmrManagementDownload_Timer(*t);
            shown += Items(*t, "lblConfigurationStatus").substr(23) + "|";
        }
    }
    EXPECT_EQ(shown,
              "Countdown till config update: 1|Config updated 12:00:00 2026-06-12|"
              "Countdown till config update: 1|Config update failed 12:00:00 2026-06-12|"
              "Countdown till config update: 1|Config update failed 12:00:00 2026-06-12|");
    // Each download, answered or not, reports the ten slots.
    EXPECT_EQ(
        t.folder.read("sourceevents.ini") + t.console().txtAIR + std::to_string(t.Inet1.requests.size()),
        kNew +
            " 2026-12-06 12:00:00  SYS - CONFIG UPDATE FAILED (NOT A SCHEDULE, LINE 1: not a schedule entry "
            "(\"D HHMMSS N\": weekday, time, source))\r\n"
            " 2026-12-06 12:00:00  SYS - CONFIG UPDATE FAILED (EMPTY REPLY)\r\n36");
}

TEST(ManagementPoll, SwitchesOnlyToAPlayableSourceTheReplyNames) {
    // reply, its HTTP status, CurrentSource afterwards
    const std::tuple<std::string, int, int> cases[] = {
        {"3", 200, 3}, {"3 \r\n", 200, 3}, {"NOCHANGE", 200, 1}, {"", 200, 1},
        {"7", 200, 1}, {"3x", 200, 1},     {"3", 503, 1}};
    for (const auto& [reply, status, source] : cases) {
        Managed t;
        t.Inet1.queue(reply, status);
        tmrCheckForChanges_Timer(*t);
        EXPECT_EQ(t->onAir.CurrentSource(), source) << reply;
    }
}

// The poll due during a download waits for its turn; the download's report then gives way to the one of
// the switch the poll orders.
TEST(ManagementTimers, PollAndDownloadOfTheSameMinuteTakeTurnsAndBothTakeEffect) {
    Managed t;
    t.Inet1.reply = [](const std::string& url) { return HttpResult{url == kPoll ? "3" : kNew, 0, "", 200}; };
    t.Inet1.holdAnswers = true;
    tmrManagementDownload_Timer(*t);
    tmrCheckForChanges_Timer(*t);
    while (t.Inet1.answerHeld())
        if (t.timers.running(TimerName::ReportSourceList)) t.timers.fire(TimerName::ReportSourceList);
    EXPECT_EQ(t->onAir.CurrentSource(), 3);
    EXPECT_EQ(t.folder.read("sourceevents.ini"), kNew);
    ASSERT_EQ(t.Inet1.requests.size(), 14u);
    EXPECT_EQ(Strings(t.Inet1.requests.begin(), t.Inet1.requests.begin() + 3), (Strings{kGet, kGet, kPoll}));
    EXPECT_EQ(Strings(t.Inet1.requests.begin() + 4, t.Inet1.requests.end()), Managed::Report(kListed, 3));
}

}  // namespace
}  // namespace bf::test
