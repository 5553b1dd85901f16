#include "sources/certificate_watch.h"

#include <gtest/gtest.h>

#include "status/metrics_text.h"
#include "status/process_readings.h"
#include "test_station.h"

namespace bf::test {
namespace {

// Answers each look at once with `next`, and notes where it looked.
struct FakeProbe : TlsProbe {
    void probe(const std::string& host, uint16_t port, TlsProbeDone done) override {
        looked.push_back(host + ":" + std::to_string(port));
        done(next);
    }
    TlsProbeResult next;
    std::vector<std::string> looked;
};

const char* const kList =
    "1u:http://plain.example/a\r\n3n:Breakfast\r\n3u:https://radio.example:8443/live\r\n";

// Day by day towards the end of source 3's certificate, on 2 January 2027
// at noon: what each tick looks at and says.
TEST(CertificateWatchTest, SaysTheEndOnceADayFromTwoWeeksBefore) {
    TestStation ts(false);
    ts.folder.write("sourcelist.ini", kList);
    FakeProbe probe;
    std::vector<std::string> said;
    std::vector<CertificateEvent> told;
    CertificateWatch watch(
        ts.clock, probe, ts->certificates,
        [&](std::string_view line, LogPriority) { said.emplace_back(line); },
        [&](CertificateEvent event) { told.push_back(event); });
    FakeClock end;
    end.set(2027, 1, 2, 12, 0, 0);
    const double expiry = end.now().epoch;
    const std::string kMetric = "\nbrackenfield_source_certificate_expiry_timestamp_seconds{source=\"3\"} " +
                                std::to_string(static_cast<long long>(expiry)) + "\n";
    struct Row {
        const char* what;
        std::function<void()> step;
        TlsProbeResult answer;
        std::vector<std::string> looked, said;
        bool metric;
    };
    const TlsProbeResult fine{expiry, "", ""};
    const std::string s3 = "  SYS - SOURCE 3 Breakfast: CERTIFICATE ";
    const std::vector<Row> rows = {
        {"15 days before",
         [&] { ts.clock.set(2026, 12, 18, 12, 0, 0); },
         fine,
         {"radio.example:8443"},
         {},
         true},
        {"14 days",
         [&] { ts.clock.advance(86400); },
         fine,
         {"radio.example:8443"},
         {s3 + "EXPIRES 2027-01-02 (14 DAYS)"},
         true},
        {"the same day, not due", [&] { ts.clock.advance(1800); }, fine, {}, {}, true},
        {"the same day, due", [&] { ts.clock.advance(3600); }, fine, {"radio.example:8443"}, {}, true},
        {"a clock set back a day", [&] { ts.clock.step(-86400); }, fine, {}, {}, true},
        {"the next day",
         [&] { ts.clock.advance(2 * 86400); },
         fine,
         {"radio.example:8443"},
         {s3 + "EXPIRES 2027-01-02 (12 DAYS)"},
         true},
        {"a clock stepped a month forward", [&] { ts.clock.step(30 * 86400); }, fine, {}, {}, true},
        {"and back: a day after the last",
         [&] {
             ts.clock.step(-30 * 86400);
             ts.clock.advance(86400);
         },
         fine,
         {"radio.example:8443"},
         {s3 + "EXPIRES 2027-01-02 (11 DAYS)"},
         true},
        {"renewed, still within two weeks: at once",
         [&] { ts.clock.advance(3600); },
         {expiry + 2 * 86400, "", ""},
         {"radio.example:8443"},
         {s3 + "EXPIRES 2027-01-04 (13 DAYS)"},
         false},
        {"the old chain again from a server taking turns: its day",
         [&] { ts.clock.advance(3600); },
         fine,
         {"radio.example:8443"},
         {},
         true},
        {"a look that fails keeps the end",
         [&] { ts.clock.advance(86400); },
         {std::nullopt, "", "timed out"},
         {"radio.example:8443"},
         {s3 + "EXPIRES 2027-01-02 (10 DAYS)"},
         true},
        {"ended",
         [&] { ts.clock.advance(12 * 86400); },
         {expiry, "certificate has expired", ""},
         {"radio.example:8443"},
         {s3 + "EXPIRED 2027-01-02"},
         true},
        {"a reload without the source",
         [&] {
             ts.folder.write("sourcelist.ini", "1u:http://plain.example/a\r\n");
             ts.clock.advance(86400);
         },
         fine,
         {},
         {},
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        probe.next = row.answer;
        probe.looked.clear();
        said.clear();
        told.clear();
        row.step();
        watch.tick(ts.folder.path(), {});
        EXPECT_EQ(probe.looked, row.looked);
        EXPECT_EQ(said, row.said);
        ASSERT_EQ(told.size(), row.said.size());
        for (size_t i = 0; i < told.size(); ++i) EXPECT_EQ(told[i].text, row.said[i].substr(2));
        const std::string metrics = MetricsText(*ts, ProcessReadings{});
        EXPECT_EQ(metrics.find(kMetric) != std::string::npos, row.metric) << metrics;
    }
    EXPECT_TRUE(ts->certificates.readings.empty());
}

// A playlist source is looked at at its own https address and at the https
// entry its monitor listens to; an address that names no port is none.
TEST(CertificateWatchTest, LooksAtPlaylistEntriesAndSkipsBadPorts) {
    TestStation ts(false);
    ts.folder.write("sourcelist.ini",
                    "2u:https://lists.example/a.pls\r\n4u:https://bad.example:99999/x\r\n"
                    "5u:ffmpeg -x https://user:pw@[::1]/s\r\n");
    FakeProbe probe;
    probe.next = {std::nullopt, "", "refused"};
    CertificateWatch watch(
        ts.clock, probe, ts->certificates, [](std::string_view, LogPriority) {}, [](CertificateEvent) {});
    watch.tick(ts.folder.path(), {{"https://lists.example/a.pls", "https://edge.example:9443/s.mp3"}});
    EXPECT_EQ(probe.looked, (std::vector<std::string>{"lists.example:443", "edge.example:9443", "::1:443"}));
    ASSERT_EQ(ts->certificates.readings.size(), 3u);
    EXPECT_EQ(ts->certificates.readings[0].failure, "refused");
}

}  // namespace
}  // namespace bf::test
