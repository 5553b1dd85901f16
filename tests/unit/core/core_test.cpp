#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <stdexcept>

#include "asrun/as_run_record.h"
#include "core/log_output.h"
#include "core/number_parse.h"
#include "core/outside_services.h"
#include "core/settings.h"
#include "core/station_log.h"
#include "core/stream_address.h"
#include "core/text_decode.h"
#include "core/text_file.h"
#include "core/time_format.h"
#include "core/url_credentials.h"
#include "metadata/metadata_outputs.h"
#include "test_station.h"

namespace bf::test {
namespace {

namespace fs = std::filesystem;

TEST(LeadingNumberParse, ReadsTheLeadingNumberRoundedHalfToEvenAndClampedToSixteenBits) {
    // clang-format off
    const std::pair<std::string, int16_t> cases[] = {
        {"1.4", 1}, {"1.5", 2}, {"2.5", 2}, {"-2.5", -2}, {"0.51", 1}, {".5", 0}, {"5.", 5}, {"abc", 0},
        {"", 0}, {"+7", 7}, {"--5", 0}, {"12abc", 12}, {"1,5", 1}, {"/path/to/folder", 0}, {"1e2", 100},
        {"1E+2x", 100}, {"15e-1", 2}, {"1e", 1}, {"&H10", 16}, {"&h1f", 31}, {"&O17", 15}, {"&O8", 0},
        {"&X1", 0}, {" 1 2\t3\n", 123}, {"- 5", -5}, {"\r5", 0},  // blanks, tabs and LFs go, a CR does not
        // Outside the 16-bit range a value is clamped, never wrapped.
        {"32767.5", 32767}, {"-40000", -32768}, {"&HFFFFF", 32767}, {"1e999", 32767}, {"-1e999", -32768},
        {"1e-999", 0}, {std::string(400, '9'), 32767}};
    // clang-format on
    for (const auto& [text, expected] : cases) EXPECT_EQ(ParseLeadingInt16(text), expected) << text;
}

TEST(WithoutCredentials, TakesUserAndPasswordOutOfEveryAddressAndLeavesTheRest) {
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {"http://dj:se@cret@host:8000/live -cache 64", "http://host:8000/live -cache 64"},
        {"http://user@host?x=@y", "http://host?x=@y"}, {"http://host/path@x#a@b", "http://host/path@x#a@b"},
        {"a http://u:p@one b https://v@two", "a http://one b https://two"}, {"http://", "http://"}, {"", ""},
        {"x,http://a\r\n2026,u@h\"", "x,http://a\r\n2026,u@h\""}};
    // clang-format on
    for (const auto& [text, expected] : cases) EXPECT_EQ(WithoutCredentials(text), expected) << text;
}

TEST(ReadSetting, TakesTheFirstKeyOfTheSectionInAnyLetterCaseCutTo119BytesAndAtNul) {
    TestStation t;
    const std::string folder = t.folder.path().string().substr(0, 119);
    EXPECT_EQ(ReadSetting(*t, "DefaultStrapline"), folder);  // no file
    t.folder.write("brackenfield.ini",
                   "DefaultStrapline=outside any section\n[Other]\r\nDefaultStrapline=other section\r\n"
                   "[bRACKENFIELD]\nDEFAULTstrapline =  Radio One  \rEmpty=\r\nQuoted=\"in quotes\"\r\n"
                   "Dup=first\r\nDup=second\n; Comment=x\r\nLong=" +
                       std::string(200, 'x') + "\r\nNul=" + std::string("ab\0cd", 5) +
                       "\r\n[After]\r\nAfter=no\r\n");
    // clang-format off
    const std::pair<const char*, std::string> cases[] = {
        {"DefaultStrapline", "Radio One"}, {"empty", ""}, {"Quoted", "in quotes"}, {"Dup", "first"},
        {"Long", std::string(119, 'x')}, {"Nul", "ab"}, {"; Comment", folder}, {"After", folder}};
    // clang-format on
    for (const auto& [key, expected] : cases) EXPECT_EQ(ReadSetting(*t, key), expected) << key;
}

// An outside service's trouble is told once when it starts and once when it
// ends, not at every try, and at the journal's warning priority.
TEST(OutsideServices, FailingAndAnsweringAgainAreEachToldOnce) {
    TestStation t;
    const HttpResult replies[] = {{"", HttpError::None, "", 200},
                                  {"", HttpError::None, "", 503},
                                  {"", HttpError::ConnectionRefused, "Connection refused", 0},
                                  {"x", HttpError::None, "", 200},
                                  {"", HttpError::None, "", 204},
                                  {"", HttpError::TimedOut, "Timed out", 0}};
    for (const HttpResult& reply : replies) NoteServiceReply(*t, OutsideService::Weather, reply);
    EXPECT_EQ(t.logged,
              (std::vector<std::string>{"2026-12-06 12:00:00  SYS - WEATHER SERVICE FAILING: HTTP 503",
                                        "2026-12-06 12:00:00  SYS - WEATHER SERVICE ANSWERS AGAIN",
                                        "2026-12-06 12:00:00  SYS - WEATHER SERVICE FAILING: Timed out"}));
    EXPECT_EQ(t.priorities, (std::vector{LogPriority::Warning, LogPriority::Notice, LogPriority::Warning}));
}

// A file nobody may write is told once with why, not at every tick while the other files are written, and its
// end once; every failure counts. (A full disk, which the first write that works ends: tests/integration.)
TEST(FileTrouble, AFileThatCannotBeWrittenIsToldOnceAndItsEndOnce) {
    TestStation t;
    t.folder.write("metadata.txt", "frozen\r\n");
    fs::permissions(t.folder.path() / "metadata.txt", fs::perms::owner_read);
    ProduceMetadataOutputs(*t);
    ProduceMetadataOutputs(*t);
    fs::permissions(t.folder.path() / "metadata.txt", fs::perms::owner_all);
    ProduceMetadataOutputs(*t);
    EXPECT_EQ(t.logged, (std::vector<std::string>{
                            "2026-12-06 12:00:00  SYS - CANNOT WRITE metadata.txt: Permission denied",
                            "2026-12-06 12:00:00  SYS - FILES ARE WRITTEN AGAIN"}));
    EXPECT_EQ(std::tuple(t.priorities.front(), t->counters.fileWriteFailures),
              std::tuple(LogPriority::Warning, 2u));
}

TEST(StationLog, TheConsoleLogIsCutAt2048TheStationLogMovedToDotOneAtItsLimitAndNeitherWaitsNorFails) {
    const std::string startupLine = " 2026-12-06 12:00:00  SYS - SYSTEM STARTUP\r\n";  // 44 bytes
    TestStation t;
    const auto startup = [&] { AddToAirLog(*t, "  SYS - SYSTEM STARTUP"); };
    t.folder.write("station.log", "earlier run\r\n");
    startup();
    EXPECT_EQ(t.folder.read("station.log"), "earlier run\r\n" + startupLine);
    t->log.clear();
    t->log.add(std::string(2004, 'a'));  // 2004 + 44 = 2048: kept whole
    startup();
    EXPECT_EQ(t.console().txtAIR, startupLine + std::string(2004, 'a'));
    t->log.clear();
    t->log.add(std::string(2010, 'b'));  // 2054: cut to 2000, the new line on top
    startup();
    EXPECT_EQ(t.console().txtAIR, startupLine + std::string(2000 - 44, 'b'));

    const std::string full(kStationLogFileLimit - startupLine.size(), 'a');
    t.folder.write("station.log", full);
    t.folder.write("station.log.1", "oldest");
    startup();  // exactly at the limit: stays
    EXPECT_EQ(t.folder.read("station.log"), full + startupLine);
    startup();
    EXPECT_EQ(t.folder.read("station.log.1") + "|" + t.folder.read("station.log"),
              full + startupLine + "|" + startupLine);

    // A pipe without a reader in the station log's place, and a failing sink.
    fs::remove(t.folder.path() / "station.log");
    ASSERT_EQ(::mkfifo((t.folder.path() / "station.log").c_str(), 0644), 0);
    t->logSink = [](std::string_view, LogPriority) { throw std::runtime_error("sink failed"); };
    t->log.clear();
    startup();
    EXPECT_EQ(t.console().txtAIR, startupLine);
}

// A stalled reader holds no writer: the lines it does not take wait up to the limit, the rest are dropped and
// counted, and those that waited come whole and in order once it reads again; a reader gone drops what waits.
TEST(LogOutput, AStalledReaderCostsCountedLinesNeverAWaitAndAGoneOneDropsWhatWaits) {
    for (const bool socket : {false, true}) {
        int fds[2];
        ASSERT_EQ(socket ? ::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) : ::pipe(fds), 0);
        ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
        LogOutput out(fds[1], 8192);
        const auto line = [](int i) { return std::to_string(100000 + i) + std::string(94, 'x') + "\n"; };
        for (int i = 0; i < 10000; ++i) out.write(line(i));  // 1 MB: more than a pipe or a socket holds
        EXPECT_TRUE(out.pending() && out.dropped() > 0) << socket;
        std::string got, part(65536, '\0');
        for (ssize_t n = 0; out.pending() || n > 0;) {
            n = ::read(fds[0], part.data(), part.size());
            if (n > 0) got.append(part.data(), static_cast<size_t>(n));
            out.flush();
        }
        std::vector<std::string> lines = SplitLines(got);
        EXPECT_EQ(lines.size() + out.dropped(), 10000u) << socket;
        EXPECT_TRUE(std::ranges::is_sorted(lines) && std::ranges::adjacent_find(lines) == lines.end() &&
                    std::ranges::all_of(lines, [&](const std::string& l) { return l.size() == 100; }))
            << socket;
        ::close(fds[0]);
        const uint64_t before = out.dropped();
        out.write(line(0));
        EXPECT_EQ(std::tuple(out.pending(), out.dropped()), std::tuple(false, before + 1)) << socket;
        ::close(fds[1]);
    }
}

TEST(TextFiles, ReadsAndWritesBytesReadsAFileOnFromAnOffsetCutsOnlyTheFileReadAndUndoesAShortAppend) {
    TempFolder folder;
    const auto file = folder.path() / "out.txt";
    std::string big(3 * 1024 * 1024 + 17, 'z');
    big[5] = '\0';
    ASSERT_TRUE(ReplaceFile(file, big));
    ASSERT_TRUE(AppendToFile(file, "\xe9\r\n"));
    EXPECT_EQ(ReadWholeFile(file), big + "\xe9\r\n");
    EXPECT_FALSE(ReadWholeFile(folder.path() / "missing").has_value());

    // A file read on from an offset, never whole, and cut only while it is the file read and no longer (the
    // cut under a writer is the player log reader's test).
    const std::optional<FilePart> tail = ReadFileFrom(file, big.size() - 2, 8);
    ASSERT_TRUE(tail.has_value());
    EXPECT_EQ(tail->bytes + "|" + std::to_string(tail->size), "zz\xe9\r\n|" + std::to_string(big.size() + 3));
    EXPECT_EQ(ReadFileFrom(file, big.size() + 3, 8)->bytes, "");
    EXPECT_FALSE(CutAppendedFile(file, tail->identity, tail->size - 1, "kept\n")) << "it grew since";
    EXPECT_FALSE(CutAppendedFile(file, FileIdentity{}, tail->size, "kept\n")) << "another file";
    EXPECT_EQ(fs::file_size(file), tail->size);

    // A disk that fills in the middle of an append (a file size limit stands in for it) leaves no half row or
    // line: the rows after it stay readable. Each appender, its file, and what a whole append adds to it.
    AsRunRecord record(folder.path());
    const LocalTime at = LocalTimeAt(1796601600);
    const auto row = [&](std::string_view text) {
        return AsRunRow{at, AsRunEvent::Title, 1, "", "", std::string(text)};
    };
    const fs::path day = folder.path() / "day.csv",
                   asRun = folder.path() / "asrun" / (FormatDateYMD(at) + ".csv");
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit room{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &room), 0);
    using Text = std::function<std::string(std::string_view)>;
    const Text same = [](std::string_view text) { return std::string(text); };
    const std::tuple<std::function<void(std::string_view)>, fs::path, Text> appenders[] = {
        {[&](std::string_view text) { AppendToFile(day, text); }, day, same},
        {[&](std::string_view text) { AppendToStationLogFile(day, text); }, day, same},
        {[&](std::string_view text) { record.add(row(text)); }, asRun,
         [&](std::string_view text) { return AsRunRecord::RowText(row(text)); }}};
    for (const auto& [append, path, whole] : appenders) {
        fs::remove(path);
        append("a,1\r\n");
        const std::optional<std::string> before = ReadWholeFile(path);
        const rlimit full{fs::file_size(path) + 4, room.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &full);
        append("b,\"half\r\n");
        ::setrlimit(RLIMIT_FSIZE, &room);
        append("c,3\r\n");
        EXPECT_EQ(ReadWholeFile(path), *before + whole("c,3\r\n")) << path;
    }
}

TEST(TextDecode, ACutToLengthLeavesOffTheFirstBytesOfTheCharacterItWouldSplit) {
    const std::string euro = "a\xe2\x82\xac", latin1 = "Caf\xe9 \xe9t\xe9";
    // clang-format off
    const std::tuple<std::string, size_t, std::string> cases[] = {
        {"Caf\xc3\xa9", 4, "Caf"}, {"Caf\xc3\xa9", 5, "Caf\xc3\xa9"}, {euro, 2, "a"}, {euro, 3, "a"}, {euro, 4, euro},
        {"\xf0\x9f\x8e\xb5!", 3, ""}, {latin1, 5, "Caf\xe9 "}, {"\xc3\xa9\xa9\xa9", 3, "\xc3\xa9\xa9"}, {"ab", 0, ""}};
    // clang-format on
    for (const auto& [text, bytes, cut] : cases)
        EXPECT_EQ(CutAtCharacter(text, bytes), cut) << text << " " << bytes;
}

TEST(TextFiles, ReplaceWritesThroughASymlinkKeepsThePermissionsAndLeavesAFileNobodyMayWrite) {
    TempFolder folder, encoder;
    const fs::path link = folder.path() / "metadata.txt", target = encoder.path() / "now.txt";
    fs::create_symlink(fs::relative(target, folder.path()), link);  // the file is still to be made
    const fs::perms groupRead = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    for (const char* title : {"First\r\n", "Second\r\n"}) {
        ASSERT_TRUE(ReplaceFile(link, title));
        EXPECT_EQ(encoder.read("now.txt"), title);
        EXPECT_EQ(fs::status(target).permissions() == groupRead, title[0] == 'S') << "kept from the first";
        fs::permissions(target, groupRead);
    }
    fs::permissions(target, fs::perms::owner_read | fs::perms::others_read);
    EXPECT_FALSE(ReplaceFile(link, "Third\r\n")) << "nobody may write it";
    EXPECT_EQ(encoder.read("now.txt"), "Second\r\n");
    // A synced replacement, and what a crash left halfway goes at the next start; other files stay.
    ASSERT_TRUE(ReplaceFile(folder.path() / "tallyway-pending.txt", "1\r\n", Durability::Synced));
    for (const char* name :
         {"tallyway-pending.txt.tmp812-0", "sourceevents.ini.tmp9-14", "notes.tmp", "a.tmp1-x"})
        folder.write(name, "half");
    EXPECT_EQ(RemoveLeftTemporaries(folder.path()), 2);
    EXPECT_EQ(folder.read("tallyway-pending.txt") + folder.read("notes.tmp") + folder.read("a.tmp1-x") +
                  folder.read("sourceevents.ini.tmp9-14"),
              "1\r\nhalfhalf<missing>");
}

TEST(StreamAddress, TellsEachKindByItsFormAndRefusesWhatCannotPlay) {
    const struct {
        std::string address;
        AddressKind kind;
        bool secure;
        std::string player;  // as the player gets it
        bool supported;
    } cases[] = {
        {"http://h:8000/live", AddressKind::Stream, false, "http://h:8000/live", true},
        {"HTTPS://h/live", AddressKind::Stream, true, "ffmpeg://HTTPS://h/live", true},
        {"http://h/a/live.M3U8?token=1", AddressKind::Hls, false, "ffmpeg://http://h/a/live.M3U8?token=1",
         true},
        {"http://h/radio.pls#x", AddressKind::Playlist, false, "http://h/radio.pls#x", true},
        {"https://h/radio.m3u", AddressKind::Playlist, true, "ffmpeg://https://h/radio.m3u", true},
        {"http://h/x?file=a.pls", AddressKind::Stream, false, "http://h/x?file=a.pls", true},
        {"rtsp://h/live", AddressKind::Stream, false, "rtsp://h/live", false},
        {"h:8000/live", AddressKind::Stream, false, "h:8000/live", false},
        {"http:///live", AddressKind::Stream, false, "http:///live", false},
    };
    for (const auto& c : cases) {
        const AddressForm form = FormOfAddress(c.address);
        EXPECT_EQ(form.kind, c.kind) << c.address;
        EXPECT_EQ(form.secure, c.secure) << c.address;
        EXPECT_EQ(form.unsupported.empty(), c.supported) << c.address << ": " << form.unsupported;
        EXPECT_EQ(PlayerAddress(c.address, form.kind), c.player);
    }
    EXPECT_TRUE(IsPlaylistContentType("Audio/X-SCPLS; charset=utf-8"));
    EXPECT_FALSE(IsPlaylistContentType("audio/mpeg"));
}

TEST(StreamAddress, ReadsPlaylistsAsPeersWriteThem) {
    using Kind = PlaylistText::Kind;
    const std::string base = "http://dir.example/lists/radio.pls";
    std::string many = "[playlist]\n";
    std::vector<std::string> first16;  // of forty, the lowest numbers in order
    for (int i = 40; i > 0; --i) many += "File" + std::to_string(i) + "=http://s/" + std::to_string(i) + "\n";
    for (int i = 1; i <= 16; ++i) first16.push_back("http://s/" + std::to_string(i));
    const struct {
        std::string text;
        Kind kind;
        std::vector<std::string> entries;
    } cases[] = {
        // PLS in the order of its numbers, whatever the lines' order; a local file or another scheme is no
        // entry.
        {"\xEF\xBB\xBF[Playlist]\r\nFile2=http://b/\r\nfile1 = "
         "https://a:8443/x\r\nFile3=file:///etc/passwd\r\n"
         "File4=/etc/shadow\rFileX=http://c/\nNumberOfEntries=4",
         Kind::Entries,
         {"https://a:8443/x", "http://b/", "http://dir.example/etc/shadow"}},
        {many, Kind::Entries, first16},
        // M3U: relative entries only under its header; a repeated entry once.
        {"#EXTM3U\n#EXTINF:-1,Radio\nstream.mp3\n//cdn/x\n/root\nhttp://b/\nhttp://b/\nsmb://x/y\n",
         Kind::Entries,
         {"http://dir.example/lists/stream.mp3", "http://cdn/x", "http://dir.example/root", "http://b/"}},
        {"http://a/\n\nhttp://b/\n", Kind::Entries, {"http://a/", "http://b/"}},
        // Audio is no playlist (a page: see the resolution below).
        {std::string("ID3\x04\0\0\0\0", 8) + "\xFF\xFB\x90", Kind::NotPlaylist, {}},
    };
    for (const auto& c : cases) {
        const PlaylistText playlist = ReadPlaylistText(c.text, base);
        EXPECT_EQ(playlist.kind, c.kind) << c.text.substr(0, 40);
        EXPECT_EQ(playlist.entries, c.entries) << c.text.substr(0, 40);
    }
}

TEST(StreamAddress, FollowsPlaylistsAFewLevelsDeepAndNeverInACircle) {
    const std::string kLong = "http://d/" + std::string(190, 'a') + "\xc3\xa9.pls";
    // Each "server" answers with its text; "moved" redirects to /lists/.
    const std::map<std::string, FetchedText> server = {
        {"http://d/a.pls",
         {"[playlist]\nFile1=http://d/a.pls\nFile2=http://d/b.m3u\nFile3=https://s/1\n", "", "", ""}},
        {"http://d/b.m3u", {"http://d/c.m3u\nhttp://s/2\nhttp://s/live.m3u8\n", "", "", ""}},
        {"http://d/c.m3u", {"http://d/d.m3u\nhttp://s/3\n", "", "", ""}},
        {"http://d/moved", {"#EXTM3U\nrel/x\n", "audio/x-mpegurl", "http://e/lists/here", ""}},
        {"http://d/self.m3u", {"http://d/self.m3u\n", "", "", ""}},
        {"http://d/page", {"<html>maintenance</html>", "text/html", "", ""}},
        {"http://d/hls", {"#EXTM3U\n#EXT-X-MEDIA-SEQUENCE:1\nseg.aac\n", "", "", ""}},
    };
    const FetchText fetch = [&](const std::string& address) {
        const auto it = server.find(address);
        return it == server.end() ? FetchedText{"", "", "", "Connection refused"} : it->second;
    };
    // What an address stands for, in one line: its streams ("hls:" for HLS), or why none.
    const auto streams = [&](const std::string& address, bool probe) {
        const ResolvedStreams r = ResolveStreams(address, probe, fetch);
        std::string out;
        for (const StreamEntry& e : r.streams)
            out += (e.kind == AddressKind::Hls ? " hls:" : " ") + e.address;
        return r.streams.empty() ? r.error : out.substr(1);
    };
    const std::pair<std::string, bool> asked[] = {{"http://d/a.pls", false},    {"http://d/self.m3u", false},
                                                  {"http://d/gone.pls", false}, {"http://d/moved", true},
                                                  {"http://d/moved", false},    {"http://d/page", true},
                                                  {"http://d/hls", true},       {kLong, false}};
    const std::string expected[] = {
        // a.pls -> b.m3u -> c.m3u -> d.m3u: the third level is the last read; a.pls naming itself is left
        // out.
        "http://s/3 http://s/2 hls:http://s/live.m3u8 https://s/1", "playlist http://d/self.m3u names itself",
        "playlist http://d/gone.pls: Connection refused",
        // Told by its content type, relative entries against where the redirect led; not looked at unless
        // asked.
        "http://e/lists/rel/x", "http://d/moved",
        // A page is a stream (the player refuses it); a live playlist is HLS.
        "http://d/page", "hls:http://d/hls",
        // A long address in a reason is cut before a character, never inside one.
        "playlist " + kLong.substr(0, 199) + ": Connection refused"};
    for (size_t i = 0; i < std::size(asked); ++i)
        EXPECT_EQ(streams(asked[i].first, asked[i].second), expected[i]) << asked[i].first;
}

// A playlist from outside may not lead the monitor or the player inside the
// station: its entries that resolve to the machine itself, its link or (with
// RemotePlaylistPrivate=0) its network are left out and said; what a playlist
// of the station's own network names counts, unless its text came from outside.
TEST(StreamAddress, ARemotePlaylistNeverLeadsInsideTheStation) {
    const std::map<std::string, std::vector<std::string>> dns = {
        {"radio.example", {"203.0.113.5"}}, {"cdn.example", {"198.51.100.7"}},
        {"db.lan", {"10.0.0.5"}},           {"both.example", {"198.51.100.8", "127.0.0.1"}},
        {"2130706433", {"127.0.0.1"}},      {"studio.lan", {"192.168.1.2"}}};
    const std::string inside = "http://127.0.0.1:8000/admin\nhttp://169.254.169.254/latest\nhttp://[::1]/a\n";
    const std::map<std::string, FetchedText> server = {
        {"http://radio.example/a.m3u",
         {inside + "http://0.0.0.0/b\nhttp://both.example/\nhttp://2130706433/\nhttp://[::ffff:127.0.0.1]/c\n"
                   "http://db.lan/x\nhttp://cdn.example/live\nhttp://cdn.example/n.m3u\n",
          "", "", ""}},
        {"http://cdn.example/n.m3u", {"http://127.0.0.2/d\n", "", "http://127.0.0.1/n.m3u", ""}},
        {"http://studio.lan/own.m3u", {inside, "", "", ""}},
        {"http://studio.lan/moved.m3u", {inside, "", "http://cdn.example/moved.m3u", ""}}};
    const FetchText fetch = [&](const std::string& a) { return server.at(a); };
    PlaylistGuard guard{[&](const std::string& host) {
        return dns.contains(host) ? dns.at(host) : std::vector<std::string>{};
    }};
    // The address, RemotePlaylistPrivate=0; the streams kept, then the addresses each refusal names.
    const std::tuple<std::string, bool, std::string> cases[] = {
        {"http://radio.example/a.m3u", false,
         "http://db.lan/x http://cdn.example/live | 127.0.0.1 169.254.169.254 ::1 "
         "0.0.0.0 127.0.0.1 127.0.0.1 ::ffff:127.0.0.1 127.0.0.1"},
        {"http://radio.example/a.m3u", true,
         "http://cdn.example/live | 127.0.0.1 169.254.169.254 ::1 0.0.0.0 127.0.0.1 "
         "127.0.0.1 ::ffff:127.0.0.1 10.0.0.5 127.0.0.1"},
        {"http://studio.lan/own.m3u", true,
         "http://127.0.0.1:8000/admin http://169.254.169.254/latest http://[::1]/a |"},
        {"http://studio.lan/moved.m3u", false, " | 127.0.0.1 169.254.169.254 ::1"}};
    for (const auto& [address, strict, expected] : cases) {
        guard.refusePrivate = strict;
        const ResolvedStreams r = ResolveStreams(address, false, fetch, guard);
        std::string seen;
        for (const StreamEntry& e : r.streams) seen += (seen.empty() ? "" : " ") + e.address;
        seen += " |";
        for (const std::string& line : r.refused)
            seen += " " + line.substr(line.rfind('(') + 1, line.size() - line.rfind('(') - 2);
        EXPECT_EQ(seen, expected) << address << " " << strict;
    }
    const std::pair<std::string, AddressScope> scopes[] = {
        {"172.31.255.1", AddressScope::Private}, {"172.32.0.1", AddressScope::Public},
        {"fd00::1", AddressScope::Private},      {"fe80::1", AddressScope::LinkLocal},
        {"::", AddressScope::Unspecified},       {"::10.1.2.3", AddressScope::Private},
        {"2001:db8::1", AddressScope::Public},   {"host", AddressScope::Public}};
    for (const auto& [ip, scope] : scopes) EXPECT_EQ(ScopeOfIp(ip), scope) << ip;
}

}  // namespace
}  // namespace bf::test
