#include "sources/player_control.h"

#include <gtest/gtest.h>

#include "test_station.h"

namespace bf::test {
namespace {

TEST(PlayerControl, HandsEachKindOfAddressToThePlayerItsOwnWay) {
    const std::pair<std::string, std::string> cases[] = {
        {"http://h/live  -cache 512", "mplayer1 http://h/live -cache 512"},
        {"https://h/live", "mplayer1 -demuxer lavf ffmpeg://https://h/live"},
        {"http://h/a/live.m3u8", "mplayer1 -demuxer lavf ffmpeg://http://h/a/live.m3u8"},
        // A playlist is read by the monitor program under the slot's name first.
        {"-cache 512 http://h/radio.PLS",
         "brackenfield-monitor --player mplayer1 http://h/radio.PLS -cache 512"},
    };
    for (const auto& [url, started] : cases) {
        TestStation s;
        StartPlayer(*s, 1, url);
        ASSERT_EQ(s.processes.log.size(), 1u);
        EXPECT_EQ(s.processes.log[0], "start " + started + " -quiet -noconsolecontrols") << url;
        EXPECT_EQ(s.processes.isRunning("mplayer1"), true) << url;
    }
}

TEST(PlayerControl, AnAddressThePlayerFoundAPlaylistIsReadAsOneFromItsNextStart) {
    TestStation s;
    // Another address's playlist teaches nothing about this one.
    s.folder.write("mplayer1.log",
                   "Playing http://h/other.\nPlaylist parsing disabled for security reasons.\n");
    StartPlayer(*s, 1, "http://h/list");
    s.folder.write("mplayer1.log",
                   "Playing http://h/list.\nPlaylist parsing disabled for security reasons.\n");
    StartPlayer(*s, 1, "http://h/list");
    EXPECT_EQ(s.processes.log,
              (std::vector<std::string>{
                  "start mplayer1 http://h/list -quiet -noconsolecontrols",
                  "start brackenfield-monitor --player mplayer1 http://h/list -quiet -noconsolecontrols"}));
}

}  // namespace
}  // namespace bf::test
