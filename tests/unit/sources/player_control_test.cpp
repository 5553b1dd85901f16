#include "sources/player_control.h"

#include <gtest/gtest.h>

#include "metadata/player_log_reader.h"
#include "sources/air_monitor.h"
#include "sources/last_resort.h"
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
        TestStation s(false);
        StartPlayer(*s, 1, url);
        EXPECT_EQ(s.processes.log,
                  std::vector<std::string>{"start " + started + " -quiet -noconsolecontrols"});
        EXPECT_EQ(s.processes.isRunning("mplayer1"), true) << url;
    }
    TestStation strict(false);  // RemotePlaylistPrivate=0: told to the monitor
    strict.settings().RemotePlaylistPrivate = false;
    StartPlayer(*strict, 1, "http://h/radio.pls");
    EXPECT_EQ(strict.processes.log.at(0),
              "start brackenfield-monitor --no-private --player mplayer1 http://h/radio.pls -quiet "
              "-noconsolecontrols");
}

// The last resort: a folder's audio files (other files and noise left out) shuffled into a playlist played
// in a loop, read again at each start; a folder without one plays nothing; a file plays in a loop as ever.
TEST(PlayerControl, TheLastResortPlaysAFoldersAudioFilesShuffledInALoop) {
    TestStation s(false);
    for (const char* folder : {"lr", "empty"}) std::filesystem::create_directory(s.folder.path() / folder);
    for (const char* file : {"lr/b.OGG", "lr/notes.txt", "lr/c.opus", "lr/noise.mp3"})
        s.folder.write(file, "OggS");
    s.folder.write("lr/a.mp3", "\xFF\xFB\x90\x44");  // an MPEG frame header; the file ends in its frame
    std::filesystem::remove(s.folder.path() / "lr/c.opus");
    StartPlayer(*s, 1, "lr", PlayerInput::LoopedFile);
    StartPlayer(*s, 2, "one.mp3", PlayerInput::LoopedFile);
    EXPECT_EQ(s.processes.log,
              (std::vector<std::string>{
                  "start mplayer1 -loop 0 -demuxer lavf -ac "
                  "-spdifaac,-spdifac3,-spdifeac3,-spdifdts,-spdifmpa,-spdifthd, -playlist " +
                      (s.folder.path() / "lastresort.m3u").string() + " -quiet -noconsolecontrols",
                  "start mplayer2 -loop 0 one.mp3 -quiet -noconsolecontrols"}));
    const std::string list = s.folder.read("lastresort.m3u");
    EXPECT_EQ(list.size(), 2 * (s.folder.path() / "lr/a.mp3\n").string().size());
    for (const char* track : {"lr/a.mp3\n", "lr/b.OGG\n"})
        EXPECT_EQ(CountOf(list, (s.folder.path() / track).string()), 1U) << track;
    // A playlist that cannot be written (a full disk) is said once; the player is handed the tracks.
    std::filesystem::permissions(s.folder.path() / "lastresort.m3u", std::filesystem::perms::owner_read);
    for (int again = 0; again < 2; ++again) StartPlayer(*s, 1, "lr", PlayerInput::LoopedFile);
    const std::string direct = s.processes.log.back();
    EXPECT_EQ(
        direct.find(
            "start mplayer1 -loop 0 -demuxer lavf -ac "
            "-spdifaac,-spdifac3,-spdifeac3,-spdifdts,-spdifmpa,-spdifthd, -quiet -noconsolecontrols /"),
        0U)
        << direct;
    for (const char* track : {"lr/a.mp3", "lr/b.OGG"}) EXPECT_EQ(CountOf(direct, track), 1U);
    EXPECT_EQ(CountOf(s.console().txtAIR, "CANNOT WRITE lastresort.m3u: Permission denied"), 1U);
    EXPECT_FALSE(ReadLastResort(s.folder.path(), "empty").plays());
    EXPECT_TRUE(ReadLastResort(s.folder.path(), "one.mp3").plays());
}

// A file's first bytes tell audio of its kind: two MPEG or ADTS frame headers of one stream in a row (after
// an ID3v2 tag, a little padding or the end of a frame cut; a file ending in its first frame has one), or a
// signature.
TEST(PlayerControl, TheLastResortTakesOnlyFilesWhoseFirstBytesLookLikeAudioOfTheirKind) {
    using namespace std::string_literals;
    std::string noise;  // as broken.mp3 in bench/lastresort (never 0xFF)
    for (size_t i = 0; i < kAudioHeadBytes; ++i) noise += static_cast<char>((i * 7919 + 13) % 251);
    auto frames = [&noise](const std::string& header, size_t length) {  // the next header only at `length`
        return header + std::string(length - header.size(), '\0') + header + noise;
    };
    const std::string tag = "ID3\4\0\0\0\0\0\5"s + "TIT2x";    // 5 bytes of tag after its header
    const std::string mp3 = frames("\xFF\xFB\x90\x00"s, 417);  // MPEG-1 Layer III, 128 kbit/s, 44.1 kHz
    const std::string adts = frames("\xFF\xF1\x50\x80\x20\xDF\xFC"s, 262);
    const std::tuple<std::string, std::string, std::string, bool> rows[] = {
        {".mp3", mp3, "", true},
        // MPEG-2.5 Layer III at 8 kbit/s, 8 kHz after padding; MPEG-1 Layer I at 32; MPEG-2 Layer II at 64,
        // padded
        {".mp3", tag, "\0\0\0"s + frames("\xFF\xE3\x18\x00"s, 72), true},
        {".mp3", frames("\xFF\xFF\x10\x00"s, 32), "", true},
        {".mp3", frames("\xFF\xF5\x86\x00"s, 385), "", true},
        {".mp3", mp3.substr(0, 200), "", true},
        {".aac", adts, "", true},
        {".aac", tag, adts, true},
        {".flac", "fLaC\0\0\0\x22"s, "", true},
        {".flac", tag, "fLaC", true},
        {".opus", "OggS\0\2"s, "", true},
        {".wav", "RIFF\x24\0\0\0WAVEfmt "s, "", true},
        {".wav", "RF64\xFF\xFF\xFF\xFFWAVEds64"s, "", true},  // a broadcast WAV over 4 GiB
        {".m4a", "\0\0\0\x20"s + "ftypM4A ", "", true},
        {".mp3", noise, "", false},
        {".aac", "A text, named as audio.\n", "", false},
        {".mp3", mp3.substr(0, 4) + noise, "", false},
        {".mp3", "\x1F\xFF\x33 the end of a frame"s + mp3, "", true},           // cut out of a stream
        {".mp3", mp3.substr(0, 417) + "\xFF\xFB\x94\x00"s + noise, "", false},  // then 48 kHz
        {".aac", tag, noise, false},
        {".flac", "", "", false},
        {".mp3", "\xFF\xEB\x90\x44", "", false},                      // MPEG version 01 is reserved
        {".aac", "\xFF\xF1\x50\x83\xFF\xFF\xFC" + noise, "", false},  // a frame longer than the bytes read
        {".wav", "RIFF\x24\0\0\0AVI LIST"s, "", false},
        {".wav", "RIFF", "", false},
        {".m4a", "ftyp", "", false}};
    for (const auto& [extension, start, afterTag, audio] : rows)
        EXPECT_EQ(LooksLikeAudio(extension, start, afterTag), audio) << extension << " " << start.size();
}

TEST(PlayerControl, AnAddressThePlayerFoundAPlaylistIsReadAsOneFromItsNextStart) {
    TestStation s(false);
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

// An HTTPS source: MPlayer tells none of its titles, so its monitor does,
// also with the health check off, whose verdicts it then leaves alone.
TEST(PlayerControl, TitlesThePlayerCannotTellComeFromTheMonitorAndAPaidAiringIsBilledOnce) {
    TestStation s(false);
    s.folder.write("sourcelist.ini", "1n:One\r\n1u:https://one.example/live\r\n");
    s.onAir(1);
    const auto monitorSays = [&](const std::string& lines, const std::string& lastWords = "") {
        const int pid = static_cast<int>(s.processes.programLog.size());
        s.processes.output[pid] += lines;
        if (!lastWords.empty()) s.processes.lastWords[pid] = lastWords;
        tmrAirMonitor_Timer(*s);
        tmrGetMetadata_Timer(*s);
    };
    tmrAirMonitor_Timer(*s);
    ASSERT_EQ(s.processes.programLog,
              (std::vector<std::string>{"brackenfield-monitor --no-levels https://one.example/live"}));
    monitorSays("title=$ Spot\nbytes=100 peak=-3.0 rms=-99.0\n");
    // A new connection reads the title of the moment again: the same airing.
    monitorSays("", "error: stream: read: End of file\n");
    monitorSays("title=$ Spot\ntitle=Song A\ntitle=$ Spot\n");
    EXPECT_EQ(s->nowPlaying.text(), s.settings().DefaultStrapline);
    monitorSays("title=Song B\n");
    EXPECT_EQ(s->nowPlaying.text(), "Song B");
    EXPECT_EQ(CountOf(s.folder.read("station.log"), "PAY - $ Spot"), 2u) << s.folder.read("station.log");
    // A flood between two reads: the oldest unpaid titles are dropped and counted, never a paid one.
    std::string flood;
    for (int i = 0; i < 200; ++i)
        flood += "title=" + std::string(i % 10 ? "Song " : "$ Ad ") + std::to_string(i) + "\n";
    monitorSays(flood);
    EXPECT_EQ(std::tuple(CountOf(s.folder.read("station.log"), "PAY - $ Ad "), s->air.onAirTitles.dropped,
                         s->nowPlaying.text()),
              std::tuple(size_t{20}, uint64_t{136}, std::string("Song 199")));
    EXPECT_EQ(Items(*s, "lblSilence"), "lblSilence=");  // stalled or not, it is not listened to for the check
}

}  // namespace
}  // namespace bf::test
