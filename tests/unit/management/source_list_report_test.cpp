#include "management/source_list_report.h"

#include <gtest/gtest.h>

#include <map>

#include "management/management_link.h"
#include "sources/manual_switch.h"
#include "sources/player_control.h"
#include "test_station.h"

namespace bf::test {
namespace {

using Strings = std::vector<std::string>;

struct SourceListReportTest : ::testing::Test {
    TestStation ts;
    SourceListReportTest() {
        StationState& s = ts.state();
        s.ManagementUpdate = 1;
        s.ManagementSendURL = "http://m/send.php";
        s.ManagementKey = "k y#";
        s.ManagementSwitcher = "sw";
    }
    // The ten requests expected for these slots; `active` marks one.
    static Strings Expected(const std::map<int, std::pair<std::string, std::string>>& slots, int active) {
        Strings urls;
        for (int i = 0; i < 10; ++i) {
            const auto it = slots.find(i);
            urls.push_back("http://m/send.php?key=k%20y%23&switcher=sw&item=" + std::to_string(i) +
                           "&name=" + (it == slots.end() ? "" : it->second.first) +
                           "&url=" + (it == slots.end() ? "" : it->second.second) + "&active=" +
                           (i == active ? "Y" : "N"));
        }
        return urls;
    }
};

TEST_F(SourceListReportTest, SendsAllTenSlotsFreshFromTheListWithValuesAsTheyStand) {
    struct Case {
        std::string list;
        int current;
        std::map<int, std::pair<std::string, std::string>> slots;
    };
    const Case cases[] = {
        {"1n:One\r\n1u:http://a.example/one\r\n2n:Two\n2u:http://b.example/two?x=1&y=%41\r\n", 2,
         {{1, {"One", "http://a.example/one"}}, {2, {"Two", "http://b.example/two?x=1&y=%41"}}}},
        {"xn:Test\r\n;3n:Gone\r\n3n:Caf\xe9 #3\t\x7f\r\n", 0, {{0, {"Test", ""}}, {3, {"Caf%E9%20%233%09%7F", ""}}}},
        {"", -1, {}},
    };
    for (const Case& c : cases) {
        ts.Inet1.requests.clear();
        ts.folder.write("sourcelist.ini", c.list);
        ts.state().CurrentSource = static_cast<int16_t>(c.current);
        ReportSourceList(*ts);
        EXPECT_EQ(ts.Inet1.requests, Expected(c.slots, c.current)) << c.list;
    }
    EXPECT_EQ(ts.Inet1.timeoutMs, ManagementTimeoutMs::Report);
}

TEST_F(SourceListReportTest, EverySwitchReportsButNotTheForcedSwitchFromBackupNorWithDownloadsOff) {
    ts.folder.write("sourcelist.ini", "2u:http://b.example/two\r\n");
    SwitchSource(*ts, "2");
    EXPECT_EQ(ts.Inet1.requests, Expected({{2, {"", "http://b.example/two"}}}, 2));
    ts.Inet1.requests.clear();
    cmdForceSource_Click(*ts);
    ts.state().ManagementUpdate = 0;
    SwitchSource(*ts, "2");
    ReportSourceList(*ts);
    EXPECT_EQ(ts.Inet1.requests, Strings{});
}

TEST_F(SourceListReportTest, ASwitchDuringAReportSupersedesTheRestOfIt) {
    ts.folder.write("sourcelist.ini", "1u:http://a.example/one\r\n2u:http://b.example/two\r\n");
    ts.state().CurrentSource = 1;
    ts.Inet1.onFetch = [&](const std::string&) {
        if (ts.Inet1.requests.size() != 3) return;
        ts.Inet1.isBusy = true;  // the report's third request still waits
        SwitchSource(*ts, "2");  // e.g. a remote set-source call
    };
    ReportSourceList(*ts);
    const Strings& sent = ts.Inet1.requests;
    ASSERT_EQ(sent.size(), 13u);
    EXPECT_EQ(Strings(sent.begin() + 3, sent.end()),
              Expected({{1, {"", "http://a.example/one"}}, {2, {"", "http://b.example/two"}}}, 2));
    EXPECT_EQ(ts.Inet1.cancels, 1);
}

}  // namespace
}  // namespace bf::test
