#include "app/startup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ranges>
#include <stdexcept>

#include "apiserver/api_commands.h"
#include "apiserver/request_text.h"
#include "app/settings_reload.h"
#include "app/station_check.h"
#include "app/timer_table.h"
#include "sources/on_air.h"
#include "test_station.h"

namespace bf::test {
namespace {

TEST(Startup, StartingStateTakesSafeDefaultsNamesEverySettingsProblemAndLeavesNoStalePlayerOrOutput) {
    TestStation t;
    for (const char* name : {"metadata.txt", "metaextra.txt", "mplayer.log"}) t.folder.write(name, "old");
    // Behind a byte-order mark; the API asked for without a key stays closed.
    t.folder.write("brackenfield.ini",
                   "\xEF\xBB\xBF[Brackenfield]\r\nAPIallowed=1\r\nAIRid=" + std::string(119, 'i') +
                       "\r\nMetaURL=" + std::string(120, 'u') + "\r\nSilenceLevel=5\r\n");
    // The player's configuration chooses an output, sound card or none.
    t.folder.write("config", "ao=null\n");
    setenv("MPLAYER_HOME", t.folder.path().c_str(), 1);
    Startup(*t);
    unsetenv("MPLAYER_HOME");
    EXPECT_EQ(
        t.console().txtAIR,
        " 2026-12-06 12:00:00  SYS - mplayer2: missing: make it with ln -s /usr/bin/mplayer mplayer2\r\n"
        " 2026-12-06 12:00:00  SYS - mplayer1: missing: make it with ln -s /usr/bin/mplayer mplayer1\r\n"
        " 2026-12-06 12:00:00  SYS - sourceevents.ini: missing or unreadable: source 9 goes on air at the "
        "start\r\n"
        " 2026-12-06 12:00:00  SYS - sourcelist.ini: missing or unreadable: no source can go on air\r\n"
        " 2026-12-06 12:00:00  SYS - brackenfield.ini:5: SilenceLevel=5 is above -1; -1 is used\r\n"
        " 2026-12-06 12:00:00  SYS - API CLOSED: NO APIKey IN brackenfield.ini\r\n"
        " 2026-12-06 12:00:00  SYS - SETTINGS MISSING, DEFAULTS IN USE: DefaultStrapline, "
        "ExtraMetaNowPlaying, ManagementUpdate, ManagementSendURL, ManagementURL, ManagementKey, "
        "ManagementSwitcher, CheckForChanges, CheckForChangeURL, APIKey, AIRenable, AIRpartnerid, "
        "AIRpartnerKey, AIRdefaultTitle, AIRdefaultArtist, DoNotPrefixWhenContains, MetaWeather, "
        "MetaOpenWeatherMapKey, MetaLocation, CheckSource, FilterSystem, Tallyway, HideTaskbar - "
        "CUT TO 119 BYTES: MetaURL\r\n"
        " 2026-12-06 12:00:00  SYS - SYSTEM STARTUP\r\n");
    // The problems reach the journal as warnings.
    EXPECT_EQ(std::ranges::count(t.priorities, LogPriority::Warning), 5);
    // A missing strapline puts nothing on air, not the folder's path.
    EXPECT_EQ(Items(*t, "lblMetadataOutput lblAPIstatus"),
              "lblMetadataOutput= lblAPIstatus=Disabled - no APIKey set");
    EXPECT_EQ(std::tuple(t.settings().ExtraMetaNowPlaying, t.settings().SilenceLevel,
                         t.console().comboSourceList.items.at(9)),
              std::tuple("OFF", -1, "9 Select Source number 9"));
    EXPECT_EQ(t.processes.log, (std::vector<std::string>{"kill mplayer1", "kill mplayer2"}));
    EXPECT_EQ(t.folder.read("metadata.txt") + t.folder.read("metaextra.txt") + t.folder.read("mplayer.log"),
              "<missing><missing><missing>");
}

std::string FeaturesSeen(TestStation& t);

// What a start and the readings after it leave of each feature a reading
// keeps or closes: a reading never opens a listener the start did not open,
// and one that leaves no usable key or turns APIallowed off has every request
// refused until a later one opens the API again; a feature whose keys a
// reading took away stops, whatever ran before.
TEST(Startup, AReadingOfTheSettingsNeverOpensTheApiAndClosesItWithoutAUsableKey) {
    const std::string
        open = "APIallowed=1\r\nAPIKey=secret\r\n",
        bill = "Tallyway=1\r\nMetaURL=http://b/\r\n",
        air =
            "AIRenable=1\r\nAIRdefaultTitle=T\r\nAIRdefaultArtist=A\r\nAIRpartnerid=p\r\nAIRpartnerKey=q\r\n",
        management = "ManagementUpdate=5\r\nCheckForChanges=1\r\nManagementSwitcher=s\r\n",
        weather = "MetaWeather=1\r\nMetaOpenWeatherMapKey=w\r\n";
    const std::string at = "2026-12-06 12:00:00  SYS - ";
    struct Row {
        std::string start;
        std::vector<std::string> readings;
        std::string key;    // sent with the request after the last reading
        std::string reply;  // its body; "": no listener, nobody can ask
        std::string seen;   // the features on then (FeaturesSeen)
        std::string items;  // a label then (lblAPIstatus for the API)
        std::string said;   // a line of the start or the last reading, or "" for its CHANGED line
    };
    // clang-format off
    const Row rows[] = {
        {"APIallowed=1\r\nAPIKey=change-this-key\r\n", {}, "change-this-key", "", "",
         "lblAPIstatus=Disabled - APIKey is the example's change-this-key",
         "API CLOSED: APIKey IS THE EXAMPLE'S change-this-key - CHOOSE YOUR OWN IN brackenfield.ini"},
        {open + bill, {"APIallowed=1\r\n" + bill}, "", "ERROR", "API window ",
         "lblAPIstatus=Disabled - no APIKey set", "BILLING OFF: NO APIKey IN brackenfield.ini"},
        {open, {"APIallowed=1\r\nAPIKey=change-this-key\r\n"}, "change-this-key", "ERROR", "API window ",
         "lblAPIstatus=Disabled - APIKey is the example's change-this-key", ""},
        {open, {"APIallowed=0\r\nAPIKey=secret\r\n"}, "secret", "ERROR", "API window ", "lblAPIstatus=Disabled",
         "SETTINGS READ AGAIN (SIGHUP): APIallowed IS OFF - EVERY API REQUEST IS REFUSED"},
        // An empty key keeps its meaning: anyone may call, and the log warns.
        {open, {"APIallowed=1\r\nAPIKey=\r\n"}, "", "None\r\nOK\r\n", "API window ",
         "lblAPIstatus=Enabled - empty APIKey: anyone may call", ""},
        {open + bill, {"APIallowed=1\r\n" + bill, open + bill}, "secret", "None\r\nOK\r\n", "API window tmrCheckFile ",
         "lblAPIstatus=Enabled", "SETTINGS READ AGAIN (SIGHUP): CHANGED APIKey, Tallyway"},
        // A file that cannot be read changes nothing.
        {open, {"<gone>"}, "secret", "None\r\nOK\r\n", "API window ", "lblAPIstatus=Enabled",
         "SETTINGS READ AGAIN (SIGHUP): brackenfield.ini CANNOT BE READ - THE SETTINGS STAY AS THEY WERE"},
        // Closed at the start for want of a key: the listener waits for the next start.
        {"APIallowed=1\r\n", {open}, "secret", "", "", "lblAPIstatus=Disabled",
         "SETTINGS READ AGAIN (SIGHUP): APIallowed TAKES EFFECT AT THE NEXT START, AS DO THE PORTS AND ADDRESSES OF "
         "THE COMMAND LINE"},
        // The other features that send keys out.
        {air + "AIRid=i\r\n", {air}, "", "", "", "lblTuneInAir=Disabled - no AIRid set",
         "AIR OFF: NO AIRid IN brackenfield.ini"},
        {management + "ManagementKey=m\r\n", {management}, "", "", "",
         "lblConfigurationStatus=Disabled - no ManagementKey set", "MANAGEMENT OFF: NO ManagementKey IN brackenfield.ini"},
        {weather + "MetaLocation=l\r\n", {weather}, "", "", "", "lblWeather=Disabled - no MetaLocation set",
         "WEATHER OFF: NO MetaLocation IN brackenfield.ini"}};
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.start + " then " + ::testing::PrintToString(row.readings));
        TestStation t;
        t.folder.write("brackenfield.ini", "[Brackenfield]\r\n" + row.start);
        Startup(*t);
        for (const std::string& reading : row.readings) {
            std::filesystem::remove(t.folder.path() / "brackenfield.ini");
            if (reading != "<gone>") t.folder.write("brackenfield.ini", "[Brackenfield]\r\n" + reading);
            ReadSettingsAgain(*t, "SIGHUP");
        }
        EXPECT_EQ(t.apiWindowsOpened, row.reply.empty() ? 0 : 1);
        if (!row.reply.empty()) {
            const ApiAnswer answer = AnswerRequestText(
                *t, "GET /api/metadata.php?id=" + row.key + " HTTP/1.0\r\n\r\n", "192.0.2.7");
            EXPECT_EQ(answer.reply, ComposeReply(row.reply));
            const auto& counted = t->counters.apiRequests[static_cast<size_t>(ApiCommand::Metadata)];
            EXPECT_EQ(counted[static_cast<size_t>(ApiResult::Denied)], row.reply == "ERROR" ? 1u : 0u);
        }
        EXPECT_EQ(FeaturesSeen(t), row.seen);
        EXPECT_EQ(Items(*t, row.items.substr(0, row.items.find('='))), row.items);
        const std::string said = row.said.empty() && !row.readings.empty()
                                     ? "SETTINGS READ AGAIN (SIGHUP): CHANGED APIKey"
                                     : row.said;
        EXPECT_GE(std::ranges::count(t.logged, at + said), 1);
    }
}

// The keys whose values the features send to other services.
const std::string kOutgoing =
    "APIKey=k\r\nAIRdefaultTitle=T\r\nAIRdefaultArtist=A\r\nManagementKey=m\r\nManagementSwitcher=s\r\n"
    "AIRid=i\r\nAIRpartnerid=p\r\nAIRpartnerKey=q\r\nMetaOpenWeatherMapKey=w\r\nMetaLocation=l\r\n";

// The optional features: what shows each one on (its timer, the API window
// or the filter's label) and the setting that turns it on (the API also with
// an empty key); last, values near each one's on, which leave every feature off.
// The air monitor always runs: without the check it listens to a source it titles.
using Feature = std::pair<std::string_view, const char*>;
// clang-format off
const Feature kFeatures[] = {
    {TimerName::ManagementDownload, "ManagementUpdate=5"}, {TimerName::AirUpdate, "AIRenable=1"},
    {TimerName::CheckForChanges, "CheckForChanges=1.4"}, {"API window", "APIallowed=1\r\nAPIKey="},
    {TimerName::Weather, "MetaWeather=1"}, {TimerName::SourceCheck, "CheckSource=1"},
    {TimerName::CheckFile, "Tallyway=1"}, {"lblFilterSystem", "FilterSystem=1"},
    {"", "ManagementUpdate=-3\nCheckForChanges=1.5\nAPIallowed=01\nAPIKey=k\nAIRenable=on\nMetaWeather=1.0\n"
         "CheckSource=yes\nTallyway= 1x\nFilterSystem=true\n"}};
// clang-format on

// The features that are on, then the other timers that do not run.
std::string FeaturesSeen(TestStation& t) {
    std::string seen = t.apiWindowsOpened > 0 ? "API window " : "";
    if (t.console().lblFilterSystem.caption.ends_with(" ON")) seen += "lblFilterSystem ";
    for (const TimerSpec& timer : kMainWindowTimers) {
        // The switch's timers run only while a switch needs them.
        const bool optional = std::ranges::count(kFeatures, timer.name, &Feature::first) > 0 ||
                              timer.name == TimerName::SwitchOverlap ||
                              timer.name == TimerName::GetMetadataMore ||
                              timer.name == TimerName::ReportSourceList;
        if (t.timers.running(timer.name) == optional) seen += std::string(timer.name) + " ";
    }
    return seen;
}

// Each setting at the start, and read again into a running station that
// started without it (the API opens at a start only), and out again.
TEST(Startup, EachSettingTurnsOnItsOwnFeatureOnlyAtOneAndTheOtherTimersAlwaysRun) {
    for (const char* setting : kFeatures | std::views::values) {
        const std::string with = std::string("[Brackenfield]\r\n") + setting + "\r\n" + kOutgoing;
        TestStation t;
        t.folder.write("brackenfield.ini", with);
        Startup(*t);
        std::string expected;  // every feature the setting turns on
        for (const auto& [name, turnedOnBy] : kFeatures)
            if (turnedOnBy == std::string_view(setting) && !name.empty()) expected += std::string(name) + " ";
        EXPECT_EQ(FeaturesSeen(t), expected) << setting;

        TestStation later;
        later.folder.write("brackenfield.ini", std::string("[Brackenfield]\r\n") + kOutgoing);
        Startup(*later);
        later.folder.write("brackenfield.ini", with);
        ReadSettingsAgain(*later, "SIGHUP");
        const std::string api = "API window ";
        EXPECT_EQ(FeaturesSeen(later), expected.starts_with(api) ? expected.substr(api.size()) : expected)
            << setting;
        later.folder.write("brackenfield.ini", std::string("[Brackenfield]\r\n") + kOutgoing);
        ReadSettingsAgain(*later, "SIGHUP");
        EXPECT_EQ(FeaturesSeen(later),
                  later.console().lblFilterSystem.caption.ends_with(" ON") ? "lblFilterSystem " : "")
            << setting;
    }
}

// A key whose value would go out to another service, missing: it reads as empty, never as the folder's path,
// and the feature that would send it stays off and says why.
TEST(Startup, AMissingOutgoingKeyReadsAsEmptyAndKeepsItsFeatureOffSayingWhy) {
    const std::string on =
        "[Brackenfield]\r\nAIRenable=1\r\nManagementUpdate=5\r\nCheckForChanges=1\r\nTallyway="
        "1\r\nMetaWeather=1\r\n";
    const std::string management = "tmrManagementDownload tmrCheckForChanges ";
    // clang-format off
    const std::tuple<std::string, std::string Settings::*, std::string, Label ConsoleModel::*, std::string> cases[] = {
        {"AIRdefaultTitle", &Settings::AIRdefaultTitle, "AIR", &ConsoleModel::lblTuneInAir, "tmrAirUpdate "},
        {"AIRdefaultArtist", &Settings::AIRdefaultArtist, "AIR", &ConsoleModel::lblTuneInAir, "tmrAirUpdate "},
        {"AIRpartnerKey", &Settings::AIRpartnerkey, "AIR", &ConsoleModel::lblTuneInAir, "tmrAirUpdate "},
        {"MetaLocation", &Settings::MetaLocation, "WEATHER", &ConsoleModel::lblWeather, "tmrWeather "},
        {"ManagementKey", &Settings::ManagementKey, "MANAGEMENT", &ConsoleModel::lblConfigurationStatus, management},
        {"ManagementSwitcher", &Settings::ManagementSwitcher, "MANAGEMENT", &ConsoleModel::lblConfigurationStatus,
         management}};
    // clang-format on
    for (const auto& [key, field, feature, label, timers] : cases) {
        TestStation t;
        std::string outgoing = kOutgoing;
        t.folder.write("brackenfield.ini", on + outgoing.insert(outgoing.find(key + "="), ";"));  // a comment
        Startup(*t);
        std::string off;  // the features' timers that do not run
        for (const std::string_view timer :
             {TimerName::ManagementDownload, TimerName::AirUpdate, TimerName::CheckForChanges,
              TimerName::CheckFile, TimerName::Weather})
            if (!t.timers.running(timer)) off += std::string(timer) + " ";
        EXPECT_EQ(off + "|" + t.settings().*field + "|" + (t.console().*label).caption + "|" +
                      std::to_string(t.settings().ManagementUpdate),
                  timers + "||Disabled - no " + key + " set|" + (feature == "MANAGEMENT" ? "0" : "5"));
        EXPECT_EQ(CountOf(t.console().txtAIR,
                          "  SYS - " + feature + " OFF: NO " + key + " IN brackenfield.ini\r\n"),
                  1u);
    }
}

TEST(Startup, FastFailoverChecksEverySecondAndAFailingTickIsLoggedWithItsHandlerName) {
    TestStation t;
    t.folder.write("brackenfield.ini", "[Brackenfield]\r\nCheckSource=1\r\nFastFailover=1\r\n");
    Startup(*t);
    EXPECT_EQ(t.timers.periodMs(TimerName::SourceCheck), 1000);
    t.folder.write("sourcelist.ini", "1u:http://one.example/a\r\n");
    t.onAir(1);
    t.InetTestURL.onFetch = [](const std::string&) { throw std::runtime_error("no sockets"); };
    t.timers.fire(TimerName::SourceCheck);
    EXPECT_EQ(t.logged.back(), "2026-12-06 12:00:00  SYS - tmrSourceCheck_Timer FAILED: no sockets");
}

// Broken station folders through the check: each problem with its file and
// line, and the exit status.
TEST(StationCheck, NamesEveryProblemWithItsFileAndLineAndExitsOneUnlessAllIsWell) {
    const std::string settings = "[Brackenfield]\r\nCheckSource=1\r\nAPIallowed=1\r\nAPIKey=k\r\n";
    const std::string sources = "0u:http://backup.example/b\r\n1n:One\r\n1u:http://one.example/a\r\n";
    const std::string schedule = "1 060000 1\r\n2 070000 0\r\n";
    // A file's name and its text ("" removes it), then the findings.
    // clang-format off
    const std::tuple<std::string, std::string, std::vector<std::string>> cases[] = {
        {"", "", {}},
        {"brackenfield.ini", "[Brackenfield]\r\nCheckSource=yes\nFastFailovr=1\nManagementUpdate=5m\nAPIKey=a\n"
                             "apikey=b\r\nRemotePlaylistPrivate=no\r\n[Other]\r\nUnknown=1\r\n",
         {"brackenfield.ini:2: CheckSource=yes is neither 0 nor 1; the health check stays off",
          "brackenfield.ini:3: unknown key FastFailovr (did you mean FastFailover?)",
          "brackenfield.ini:4: ManagementUpdate=5m is not a whole number; it reads as 5",
          "brackenfield.ini:6: apikey is set again; line 5 counts",
          "brackenfield.ini:7: RemotePlaylistPrivate=no is neither 0 nor 1; a remote playlist may not name addresses of "
          "the station's network"}},
        // Numbers out of range, and the files the settings name; a relative path starts from the folder.
        {"brackenfield.ini", "[Brackenfield]\r\nSilenceLevel=0\r\nSilenceSeconds=-3\r\nLastResortFile=gone.mp3\r\n"
                             "OnEventCommand=sourcelist.ini\r\n",
         {"brackenfield.ini:2: SilenceLevel=0 is above -1; -1 is used",
          "brackenfield.ini:3: SilenceSeconds=-3 is below 0; 0 is used",
          "brackenfield.ini:4: LastResortFile names gone.mp3 in the station folder, which does not exist; the last resort stays silent",
          "brackenfield.ini:5: OnEventCommand names sourcelist.ini in the station folder, which cannot be run (no execute "
          "permission); no event command runs"}},
        {"brackenfield.ini", "[Brackenfield]\r\nSilenceLevel=-1000x\r\nLastResortFile=/tmp\r\nOnEventCommand=true\r\n",
         {"brackenfield.ini:2: SilenceLevel=-1000x is not a whole number; it reads as -1000, below -120; -120 is used",
          "brackenfield.ini:3: LastResortFile names /tmp, a folder without a readable audio file (.mp3 .ogg .opus .flac "
          ".wav .m4a .aac); the last resort stays silent",
          "brackenfield.ini:4: OnEventCommand names true in the station folder, which does not exist; no event command runs"}},
        {"brackenfield.ini", "[Brackenfield]\r\nSilenceLevel=-120\r\nLastResortFile=sourcelist.ini\r\nOnEventCommand=mplayer1\r\n", {}},
        {"brackenfield.ini", "[Brackenfield]\r\nPlayerRefreshHours=0.001\r\nPlayerRefreshAt=7:5\r\nPlayerMemoryLimitMB=-5\r\n",
         {"brackenfield.ini:2: PlayerRefreshHours=0.001 is outside 0.01 to 720; 0.01 is used",
          "brackenfield.ini:3: PlayerRefreshAt=7:5 is no time of day HH:MM; it stays off",
          "brackenfield.ini:4: PlayerMemoryLimitMB=-5 is below 0; 0 is used"}},
        {"brackenfield.ini", "[Brackenfield]\r\nPlayerRefreshHours=1,5\r\nPlayerRefreshAt=03:30\r\n",
         {"brackenfield.ini:2: PlayerRefreshHours=1,5 is no number of hours (0, or 0.01 to 720); it stays off"}},
        // A playlist of the last resort plays local files only.
        {"brackenfield.ini", "[Brackenfield]\r\nLastResortFile=lr.m3u\r\n",
         {"brackenfield.ini:2: warning: LastResortFile: line 2 is a URL (http://x/a.mp3): local files only; it is skipped",
          "brackenfield.ini:2: warning: LastResortFile: gone.mp3 cannot be read; it is skipped",
          "brackenfield.ini:2: warning: LastResortFile: noise.mp3 does not look like .mp3 audio; it is skipped",
          "brackenfield.ini:2: LastResortFile names lr.m3u, a playlist without a readable audio file (.mp3 .ogg .opus "
          ".flac .wav .m4a .aac); the last resort stays silent"}},
        {"sourcelist.ini", "; sources\r\n0u:http://backup.example/b\r\n1n:One\r\n1u:http://\r\n2n:Two\r\nx:y\r\n",
         {"sourcelist.ini:3: source 1 (One) has no playable URL: http://; a switch to it is refused",
          "sourcelist.ini:5: source 2 (Two) has no URL; a switch to it is refused",
          "sourcelist.ini:6: not a source line (\"1n:Name\", \"1u:URL\" or \"1s:command\")",
          "sourceevents.ini:1: the entry names source 1, which has no playable URL in sourcelist.ini: it will not air"}},
        {"sourceevents.ini", "<html>\r\n8 070000 1\r\n1 080000 3\r\n",
         {"sourceevents.ini:1: not a schedule entry (\"D HHMMSS N\": weekday, time, source)",
          "sourceevents.ini:2: weekday 8 is not 1 (Sunday) to 7 (Saturday)",
          "sourceevents.ini:3: the entry names source 3, which has no playable URL in sourcelist.ini: it will not air"}},
        // The backup chain: what is dropped from it is a warning, a link without a URL a fault.
        {"brackenfield.ini", "[Brackenfield]\r\nBackupChain=1, 7,x,1,\r\nStandbyCheck=1\r\n",
         {"brackenfield.ini:2: warning: BackupChain: \"x\" is no source (0 to 9)",
          "brackenfield.ini:2: warning: BackupChain: source 1 is named twice: the second is dropped",
          "brackenfield.ini:2: BackupChain: source 7 has no playable URL in sourcelist.ini; the chain skips it",
          "brackenfield.ini:3: StandbyCheck=1 needs CheckSource=1; the standby links are not heard"}},
        {"mplayer2", "", {"mplayer2: missing: make it with ln -s /usr/bin/mplayer mplayer2"}},
        // The example's placeholders, and the station's own player configuration before MPLAYER_HOME's.
        {"brackenfield.ini", "[Brackenfield]\r\n;MetaURL=http://example.org/\r\nDefaultStrapline=Your Radio (change this)\r\n"
                             "ManagementURL=https://manage.example.org/get\r\nMetaURL=http://notexample.org/\r\n"
                             "AIRid=change-this-id\r\nCheckForChanges=1\r\n",
         {"brackenfield.ini:3: DefaultStrapline still holds the example's placeholder: put in your station's own",
          "brackenfield.ini:4: ManagementURL still holds the example's placeholder: put in your station's own"}},
        {"sourcelist.ini", "0u:http://backup.example/b\r\n1n:One\r\n1u:http://stream.example.com:8000/one\r\n",
         {"sourcelist.ini:3: 1u still holds the example's placeholder: put in your station's own"}},
        // The title outputs: values read whole, a device not there now only a warning, no password shown.
        {"brackenfield.ini", "[Brackenfield]\r\nRdsTarget=serial:/dev/bf-none:9600\r\nRdsCommand=" + std::string(150, 'x') +
                             "\r\nRdsCharset=utf8\r\nIcecastMetadataURL=http://h:8000/live\r\nRdsLineEnd=crlf\r\n",
         {"brackenfield.ini:2: warning: RdsTarget names /dev/bf-none, which is not there now; the station opens it "
          "when it comes (a USB adapter plugged in later)",
          "brackenfield.ini:4: RdsCharset=utf8 is not ascii or latin1; the RDS encoder gets no titles",
          "brackenfield.ini:5: IcecastMetadataURL has no USER:PASSWORD@ (Icecast takes titles only from its admin or "
          "source user); the station's own mount gets no titles"}},
        {"brackenfield.ini", "[Brackenfield]\r\nRdsTarget=udp://[::1]:7000x\r\nIcecastMetadataURL=https://a:p@h/\r\n",
         {"brackenfield.ini:2: RdsTarget=udp://[::1]:7000x has a port that is not 1-65535; the RDS encoder gets no titles",
          "brackenfield.ini:3: IcecastMetadataURL has no /MOUNT; the station's own mount gets no titles"}},
        {"brackenfield.ini", "[Brackenfield]\r\nRdsTarget=serial:/dev/bf-none:9600\r\n",
         {"brackenfield.ini:2: warning: RdsTarget names /dev/bf-none, which is not there now; the station opens it "
          "when it comes (a USB adapter plugged in later)"}},
        // The webhook: an address of its kind, whole, never shown.
        {"brackenfield.ini", "[Brackenfield]\r\nNotifyURL=ftp://h/T0KEN\r\nNotifyFormat=xml\r\n",
         {"brackenfield.ini:2: NotifyURL is no http:// or https:// address with a host; no trouble is told",
          "brackenfield.ini:3: NotifyFormat=xml is neither json nor text; json is used"}},
        {"brackenfield.ini", "[Brackenfield]\r\nNotifyURL=https://u:p@" + std::string(2040, 'h') + "\r\n",
         {"brackenfield.ini:2: NotifyURL is longer than 2048 bytes; no trouble is told"}},
        {"mplayer/config", "# sound\nao=alsa:device=hw=1.0,null,\n",
         {"mplayer/config:2: ao= falls back to null: without the sound card the players play into the void instead "
          "of ending, and nothing goes on air unnoticed"}}};
    // clang-format on
    TempFolder config;
    config.write("config", "ao=pulse\n");
    setenv("MPLAYER_HOME", config.path().c_str(), 1);
    for (const auto& [file, text, expected] : cases) {
        TempFolder station;
        station.write("brackenfield.ini", settings);
        station.write("sourcelist.ini", sources);
        station.write("sourceevents.ini", schedule);
        station.write("lr.m3u", "#EXTM3U\nhttp://x/a.mp3\ngone.mp3\nnoise.mp3\n");
        station.write("noise.mp3", "ID3 and no frame");
        std::filesystem::create_symlink("/bin/true", station.path() / "mplayer1");
        std::filesystem::create_symlink("/bin/true", station.path() / "mplayer2");
        if (!file.empty()) std::filesystem::remove(station.path() / file);
        std::filesystem::create_directory(station.path() / "mplayer");
        if (!text.empty()) station.write(file, text);
        std::vector<std::string> found;
        for (const Finding& f : CheckStation(station.path())) found.push_back(FindingText(f));
        EXPECT_EQ(found, expected) << file;
        const bool faults = std::ranges::any_of(
            expected, [](const std::string& e) { return e.find("warning:") == std::string::npos; });
        EXPECT_EQ(RunStationCheck(station.path()), faults ? 1 : 0) << file;
    }
    EXPECT_EQ(RunStationCheck(config.path() / "config"), 2);  // no folder
    std::filesystem::remove(config.path() / "config");        // an empty folder
    std::vector<std::string> found;
    for (const Finding& f : CheckStation(config.path())) found.push_back(FindingText(f));
    unsetenv("MPLAYER_HOME");
    EXPECT_EQ(found.front(), "brackenfield.ini: missing: every setting takes its default");
    EXPECT_EQ(found.size(), std::filesystem::exists("/dev/snd") ? 5u : 6u);  // and no output for the player
}

}  // namespace
}  // namespace bf::test
