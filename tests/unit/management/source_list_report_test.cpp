#include "management/source_list_report.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>

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
    // The ten requests expected: `slots` maps a slot to its "NAME&url=URL".
    using Slots = std::map<int, std::string>;
    static Strings Expected(const Slots& slots, int active) {
        Strings urls;
        for (int i = 0; i < 10; ++i)
            urls.push_back("http://m/send.php?key=k%20y%23&switcher=sw&item=" + std::to_string(i) + "&name=" +
                           (slots.count(i) ? slots.at(i) : "&url=") + "&active=" + (i == active ? "Y" : "N"));
        return urls;
    }
};

TEST_F(SourceListReportTest, SendsAllTenSlotsFreshFromTheListWithValuesAsTheyStand) {
    // clang-format off
    const std::tuple<std::string, int, Slots> cases[] = {
        {"1n:One\r\n1u:http://a.example/one\r\n2n:Two\n2u:http://b.example/two?x=1&y=%41\r\n", 2,
         {{1, "One&url=http://a.example/one"}, {2, "Two&url=http://b.example/two?x=1&y=%41"}}},
        {"xn:Test\r\n;3n:Gone\r\n3n:Caf\xe9 #3\t\x7f\r\n", 0, {{0, "Test&url="}, {3, "Caf%E9%20%233%09%7F&url="}}},
        {"", -1, {}}};
    // clang-format on
    for (const auto& [list, current, slots] : cases) {
        ts.Inet1.requests.clear();
        ts.folder.write("sourcelist.ini", list);
        ts.state().CurrentSource = static_cast<int16_t>(current);
        ReportSourceList(*ts);
        EXPECT_EQ(ts.Inet1.requests, Expected(slots, current)) << list;
    }
}

TEST_F(SourceListReportTest, EverySwitchReportsButNotTheForcedSwitchFromBackupNorWithDownloadsOff) {
    ts.folder.write("sourcelist.ini", "2u:http://b.example/two\r\n");
    SwitchSource(*ts, "2");
    EXPECT_EQ(ts.Inet1.requests, Expected({{2, "&url=http://b.example/two"}}, 2));
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
              Expected({{1, "&url=http://a.example/one"}, {2, "&url=http://b.example/two"}}, 2));
    EXPECT_EQ(ts.Inet1.cancels, 1);
}

}  // namespace
}  // namespace bf::test
