#include "metadata/billing_reporter.h"

#include <gtest/gtest.h>

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
    std::string pendingFile() const { return t.folder.read(kPendingReportsFile); }
};

struct SplitCase {
    std::string item, customerLabel, titleLabel, query;
};

TEST(BillingReporter, SplitsThePaidItemIntoCustomerAndTitleAndSendsBothWhole) {
    const std::string customer30 = "Brackenfield Motors and Sons L";
    // clang-format off
    const SplitCase cases[] = {
        {"$ Acme Motors - Spring Sale", "Acme Motors", "Spring Sale", "artist=Acme%20Motors&title=Spring%20Sale"},
        {"$ Jingle", "Jingle", "", "artist=Jingle&title="},
        {"$ " + customer30 + " - Ad", "Brackenfield Mo...", "Ad", "artist=Brackenfield%20Motors%20and%20Sons%20L&title=Ad"},
        {"$ Acme - " + customer30, "Acme", "Brackenfield Mo...", "artist=Acme&title=Brackenfield%20Motors%20and%20Sons%20L"},
        {"$ Smith & Sons - Sale #1 + 2", "Smith & Sons", "Sale #1 + 2", "artist=Smith%20%26%20Sons&title=Sale%20%231%20%2B%202"},
        {"$ Acme -", "Acme", " -", "artist=Acme&title=%20-"},
        {"$ A - $ B - C", "A", "B - C", "artist=A&title=B%20-%20C"},
        {"$", "$", "", "artist=%24&title="}};
    // clang-format on
    for (const SplitCase& c : cases) {
        Billing b;
        b.record("20261206-120000", c.item);
        EXPECT_EQ(b.tick(), 1u) << c.item;
        EXPECT_EQ(b.t.InetTallyway.requests.back(),
                  "http://bill.example/report?key=key%201&stamp=20261206-120000&" + c.query);
        EXPECT_EQ(Items(*b.t, "lblArtist lblTitle"),
                  "lblArtist=" + c.customerLabel + " lblTitle=" + c.titleLabel);
    }
}

TEST(BillingReporter, ReportsEachNewStampOnceAndShowsTheAnswer) {
    Billing b;
    b.t.clock.set(2026, 12, 31, 5, 23, 59, 58);
    b.tick(3);
    EXPECT_EQ(Items(*b.t, "lblTimestamp lblLastCheck lblResponse"),
              "lblTimestamp=None lblLastCheck=31-12-2026 23:59:58 lblResponse=None");
    b.record("", "$ No Stamp");
    EXPECT_EQ(b.tick(), 0u);
    b.record("20261231-235958", "$ Acme - Sale");
    b.t.clock.advance(1);
    EXPECT_EQ(b.tick(5), 1u);
    EXPECT_EQ(Items(*b.t, "lblTimestamp lblResponse lblSentTime"),
              "lblTimestamp=20261231-235958 lblResponse=OK lblSentTime=31-12-2026 23:59:59");
    b.record("20270101-000003", "$ Acme - Sale");  // the same text aired again after another title
    EXPECT_EQ(b.tick(5), 2u);
    EXPECT_NE(b.t.InetTallyway.requests.back().find("&stamp=20270101-000003&"), std::string::npos);
    EXPECT_FALSE(b.t.folder.exists(kPendingReportsFile));

    Billing late;  // an item recorded before the reporter's first tick counts as reported
    late.t.state().StartupFlag = 1;
    late.record("20261206-115959", "$ Old");
    EXPECT_EQ(late.tick(3), 0u);
}

TEST(BillingReporter, FailedReportIsKeptAndSentAgainUntilTheServerAnswers) {
    const std::vector<std::function<void(FakeHttpClient&)>> failures = {
        [](FakeHttpClient& h) { h.queueError(HttpError::ConnectionRefused, "Connection refused"); },
        [](FakeHttpClient& h) { h.queueError(HttpError::TimedOut, "Request timed out"); },
        [](FakeHttpClient& h) { h.queue("Internal Server Error", 500); },
        [](FakeHttpClient& h) { h.queue("Not Found", 404); },
        [](FakeHttpClient& h) { h.queued.push_back(HttpResult{}); }};  // no reply at all
    for (size_t i = 0; i < failures.size(); ++i) {
        Billing b;
        failures[i](b.t.InetTallyway);
        failures[i](b.t.InetTallyway);
        b.record("20261206-120000", "$ Acme - Sale");
        EXPECT_EQ(b.tick(), 1u) << i;
        EXPECT_EQ(b.t.console().lblResponse.caption, "") << i;
        EXPECT_EQ(b.pendingFile(), "20261206-120000\r\n$ Acme - Sale\r\n") << i;
        EXPECT_EQ(b.tick(kReportRetrySeconds - 1), 1u) << i;
        EXPECT_EQ(b.tick(), 2u) << i;
        EXPECT_EQ(b.tick(kReportRetrySeconds), 3u) << i;
        EXPECT_EQ(b.t.InetTallyway.requests[2], b.t.InetTallyway.requests[0]) << i;
        EXPECT_EQ(b.t.console().lblResponse.caption, "OK") << i;
        EXPECT_FALSE(b.t.folder.exists(kPendingReportsFile)) << i;
        EXPECT_EQ(b.tick(kReportRetrySeconds * 2), 3u) << i;
    }
}

TEST(BillingReporter, UnansweredReportsSurviveARestartAndGoOutOldestFirst) {
    Billing before;
    before.t.InetTallyway.reply = nullptr;  // the server is down
    before.record("20261206-120000", "$ First");
    before.tick();
    before.record("20261206-120100", "$ Second");
    before.tick();
    EXPECT_EQ(before.pendingFile(), "20261206-120000\r\n$ First\r\n20261206-120100\r\n$ Second\r\n");

    Billing after;
    after.t.folder.write(kPendingReportsFile,
                         before.pendingFile() + "20261206-120200\n");  // a torn last item
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
    EXPECT_GT(h.timeoutMs, 0);
    EXPECT_LT(h.timeoutMs, kReportRetrySeconds * 1000);
}

}  // namespace
}  // namespace bf::test
