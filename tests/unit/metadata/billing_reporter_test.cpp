#include "metadata/billing_reporter.h"

#include <gtest/gtest.h>

#include <set>

#include "test_station.h"

namespace bf::test {
namespace {

struct Billing {
    TestStation t;
    Billing() {
        t.state().URLbase = "http://bill.example/report";
        t.state().APIkey = "key 1";
        t.InetTallyway.reply = [](const std::string&) { return HttpResult{"OK", HttpError::None, "", 200}; };
        tick();  // the first tick finds nothing recorded yet
    }
    void record(const std::string& stamp, const std::string& item) {
        t.state().TallywayTT = stamp;
        t.state().TallywayMM = item;
    }
    size_t tick(int times = 1) {
        for (int i = 0; i < times; ++i) tmrCheckFile_Timer(*t);
        return t.InetTallyway.requests.size();
    }
};

TEST(BillingReporter, SplitsThePaidItemAtItsFirstSeparatorAndSendsBothPartsWhole) {
    // clang-format off
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"$ Jingle", "Jingle", ""}, {"$ A - $ B - C", "A", "B - C"}, {"$ Acme -", "Acme", " -"}, {"$", "$", ""}};
    // clang-format on
    for (const auto& [item, customer, title] : cases)
        EXPECT_EQ(std::pair(SplitPaidItem(item).customer, SplitPaidItem(item).title),
                  std::pair(customer, title));
    Billing b;
    b.record("20261206-120000", "$ Smith & Sons - Sale #1 + 2 at Brackenfield Motors");
    EXPECT_EQ(b.tick(), 1u);
    EXPECT_EQ(b.t.InetTallyway.requests.back(),
              "http://bill.example/"
              "report?key=key%201&stamp=20261206-120000&artist=Smith%20%26%20Sons&title=Sale%20%23"
              "1%20%2B%202%20at%20Brackenfield%20Motors");
    EXPECT_EQ(Items(*b.t, "lblArtist lblTitle"), "lblArtist=Smith & Sons lblTitle=Sale #1 + 2 at ...");
}

TEST(BillingReporter, ReportsEachNewStampOnceAndAFailedOneAgainEvery30TicksUntilAnswered) {
    Billing b;
    FakeHttpClient& h = b.t.InetTallyway;
    b.t.clock.set(2026, 12, 31, 5, 23, 59, 58);
    b.tick();
    EXPECT_EQ(Items(*b.t, "lblTimestamp lblLastCheck lblResponse"),
              "lblTimestamp=None lblLastCheck=31-12-2026 23:59:58 lblResponse=None");
    b.record("", "$ No Stamp");
    EXPECT_EQ(b.tick(), 0u);
    // Three kinds of failure, then an answer: the same request each time.
    h.queued.push_back(HttpResult{"O", HttpError::ConnectionReset, "Closed", 200});  // broken off
    h.queue("Internal Server Error", 500);
    h.queued.push_back(HttpResult{});  // no reply at all
    b.record("20261231-235958", "$ Acme - Sale");
    EXPECT_EQ(b.tick(), 1u);
    EXPECT_EQ(b.t.folder.read(kPendingReportsFile), "20261231-235958\r\n$ Acme - Sale\r\n");
    EXPECT_EQ(b.t.console().lblResponse.caption, "");
    for (const size_t sent : {2u, 3u, 4u}) {
        EXPECT_EQ(b.tick(kReportRetrySeconds - 1), sent - 1);
        EXPECT_EQ(b.tick(), sent);
    }
    EXPECT_EQ(std::set<std::string>(h.requests.begin(), h.requests.end()).size(), 1u);
    EXPECT_EQ(Items(*b.t, "lblTimestamp lblResponse lblSentTime"),
              "lblTimestamp=20261231-235958 lblResponse=OK lblSentTime=31-12-2026 23:59:58");
    EXPECT_FALSE(b.t.folder.exists(kPendingReportsFile));
    EXPECT_EQ(b.tick(kReportRetrySeconds * 2), 4u);
    b.record("20270101-000003", "$ Acme - Sale");  // the same text aired again after another title
    EXPECT_EQ(b.tick(), 5u);
    EXPECT_NE(h.requests.back().find("&stamp=20270101-000003&"), std::string::npos);
}

TEST(BillingReporter, UnansweredReportsSurviveARestartAndGoOutOldestFirst) {
    Billing after;
    after.t.state().StartupFlag = 1;  // an item recorded before the first tick counts as reported
    after.record("20261206-115959", "$ Old");
    after.t.folder.write(
        kPendingReportsFile,
        "20261206-120000\r\n$ First\r\n20261206-120100\n$ Second\r\n20261206-120200\n");  // torn
    LoadPendingReports(*after.t);
    EXPECT_EQ(after.tick(3), 2u);
    EXPECT_NE(after.t.InetTallyway.requests[0].find("&stamp=20261206-120000&artist=First"),
              std::string::npos);
    EXPECT_NE(after.t.InetTallyway.requests[1].find("&stamp=20261206-120100&artist=Second"),
              std::string::npos);
    EXPECT_FALSE(after.t.folder.exists(kPendingReportsFile));
}

TEST(BillingReporter, TicksDuringASlowReportWaitForItInsteadOfSendingAgain) {
    Billing b;
    FakeHttpClient& h = b.t.InetTallyway;
    int nested = 0;
    h.onFetch = [&](const std::string&) {
        if (nested++ > 0) return;
        h.isBusy = true;
        b.tick(3);
        b.record("20261206-120005", "$ Second");  // the metadata tick records the next item meanwhile
        b.tick(3);
        h.isBusy = false;
    };
    b.record("20261206-120000", "$ First");
    EXPECT_EQ(b.tick(), 1u);
    EXPECT_EQ(h.cancels, 0);
    EXPECT_EQ(b.tick(3), 2u);
    EXPECT_NE(h.requests[1].find("artist=Second"), std::string::npos);
    EXPECT_FALSE(b.t.folder.exists(kPendingReportsFile));
    EXPECT_LT(h.timeoutMs, kReportRetrySeconds * 1000);
}

}  // namespace
}  // namespace bf::test
