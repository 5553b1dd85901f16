#include "sources/air_monitor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "core/monitor_line.h"
#include "core/timer_names.h"
#include "schedule/event_tick.h"
#include "sources/air_hearing.h"
#include "sources/health_check.h"
#include "sources/on_air.h"
#include "test_station.h"

namespace bf::test {
namespace {

using Strings = std::vector<std::string>;

const std::string kOne = "http://one.example/live";
const std::string kBackup = "http://backup.example/b";

// What a monitor says at second t of the run for its stream; nullopt: nothing.
using Script = std::function<std::optional<std::string>(double t, const std::string& address)>;

// Bytes growing, at a level.
std::string Flowing(double t, double level = -20) {
    return "bytes=" + std::to_string(static_cast<long long>(t * 16000)) +
           " peak=-3.0 rms=" + std::to_string(level);
}

// Source 1 on air with the health check on (by default in the fast mode),
// the backup and a last resort file at hand. Every half second the monitors
// speak as the script says and the air monitor listens; the check runs at
// its period, the event tick every second. What happened is noted with its
// second.
struct Air : TestStation {
    explicit Air(int silenceSeconds = 0, bool fast = true) : TestStation(false) {
        folder.write("sourcelist.ini", "0n:Backup\r\n0u:" + kBackup + "\r\n1n:One\r\n1u:" + kOne + "\r\n");
        settings().CheckSource = true;
        settings().FastFailover = fast;
        settings().SilenceSeconds = static_cast<int16_t>(silenceSeconds);
        settings().LastResortFile = "/srv/loop.mp3";
        processes.running = {"mplayer1"};
        InetTestURL.reply = [](const std::string&) { return HttpResult{"", HttpError::None, "", 200}; };
        onAir(1);
        // The test makes the event tick's switches, not the check.
        station->schedule.mode = Mode::Manual;
    }
    // The monitor's number for an address: the last one started for it,
    // asked for levels only when the station listens for silence.
    std::optional<int> monitorOf(const std::string& address) {
        const std::string levels = settings().SilenceSeconds > 0 ? "" : "--no-levels ";
        for (size_t i = processes.programLog.size(); i-- > 0;)
            if (processes.programLog[i] == "brackenfield-monitor " + levels + address ||
                processes.programLog[i] == "brackenfield-monitor --sample-every 2 " + address)
                return static_cast<int>(i + 1);
        return std::nullopt;
    }
    void run(double seconds, const Script& script) {
        for (int half = 0; half < seconds * 2; ++half) {
            clock.advance(0.5);
            t += 0.5;
            for (const std::string& address : {kOne, kBackup}) {
                const std::optional<int> pid = monitorOf(address);
                if (!pid || !processes.programs.contains(*pid)) continue;
                const std::optional<std::string> said = script(t, address);
                if (!said) continue;
                // An error is a monitor's last line: it ends as it writes it.
                (said->starts_with("error: ") ? processes.lastWords : processes.output)[*pid] += *said + "\n";
            }
            timers.fire(TimerName::AirMonitor);
            if ((half + 1) % (SourceCheckPeriodMs(settings()) / 500) == 0) tmrSourceCheck_Timer(*station);
            if (half % 2 == 1) {
                tmrCheckAndDoEvents_Timer(*station);
                // The new player plays; the overlap ends 2 s after the switch.
                if (station->onAir.overlapSlot() != 0) {
                    folder.write("mplayer" + std::to_string(station->onAir.CurrentMplayer()) + ".log",
                                 "Starting playback...\n");
                    timers.fire(TimerName::SwitchOverlap);
                }
            }
            const std::string now(kFailoverStateNames[static_cast<size_t>(station->onAir.failover())]);
            if (now != state_) happened.push_back(std::to_string(t).substr(0, 4) + " " + now);
            state_ = now;
        }
    }
    double t = 0;
    std::string state_ = "normal";
    Strings happened;
};

// The monitor listens: a stream that stops for StallSeconds, falls silent or
// cannot be reached fails as a check does and the backup stands in within a
// few seconds, in the default mode too (it is not held for the 15-s checks); a
// hiccup shorter than StallSeconds and a slow first answer are no failure; the
// source returns once it has flowed for ReturnHoldSeconds (the silent one
// flowed all along) and is back once its player plays.
TEST(AirMonitorTest, AStallSilenceOrADeadStreamFailsOverWithinSecondsAndASlowStartDoesNot) {
    // Until second 4 source 1 flows; then what the row says, until second 14; then it flows again.
    // A negative SilenceSeconds: the default mode.
    // `said` counts the lines of that kind its monitors said.
    int said = 0;
    const Strings stalled = {"8.00 suspect", "8.50 failover", "29.5 returning", "32.0 normal"};
    const std::tuple<const char*, int, std::function<std::string(double)>, Strings> cases[] = {
        {"flowing", 0, [](double t) { return Flowing(t); }, {}},
        // A stream that stalled returns once it has flowed for the hold.
        {"stalled", 0, [](double) { return Flowing(4); }, stalled},
        {"stalled, in the default mode",
         -1,
         [](double) { return Flowing(4); },
         {"8.00 suspect", "8.50 failover", "30.0 returning", "32.0 normal"}},
        {"a hiccup of 3 s", 0, [](double t) { return Flowing(t < 7 ? 4 : t - 3); }, {}},
        {"a hiccup of 3 s, in the default mode", -1, [](double t) { return Flowing(t < 7 ? 4 : t - 3); }, {}},
        {"silent",
         3,
         [](double t) { return Flowing(t, -90); },
         {"7.00 suspect", "7.50 failover", "16.0 returning", "18.0 normal"}},
        {"silent, in the default mode",
         -3,
         [](double t) { return Flowing(t, -90); },
         {"7.00 suspect", "7.50 failover", "16.0 returning", "18.0 normal"}},
        {"a refused connection, twice in a row",
         0,
         [](double) { return "error: stream: open: " + std::string(113, 'y') + "\xc3\xa9"; },
         {"5.00 suspect", "5.50 failover", "30.0 returning", "32.0 normal"}},
        // A connection the server closed once, and the monitor's own trouble
        // (a format it cannot read: the server, which answers, is asked
        // instead), fail nothing.
        {"a connection closed once",
         0,
         [&](double t) { return ++said == 1 ? "error: stream: read: End of file" : Flowing(t); },
         {}},
        {"a format the monitor cannot read",
         0,
         [&](double) {
             ++said;
             return "error: format: open: " + std::string(113, 'x') +
                    "\xc3\xa9";  // cut before its last character
         },
         {}}};
    for (const auto& [name, silence, during, expected] : cases) {
        said = 0;
        Air air(std::abs(silence), silence >= 0);
        air.run(32, [&](double t, const std::string& address) -> std::optional<std::string> {
            if (address == kBackup || t <= 4 || t > 14) return Flowing(t);
            return during(t);
        });
        EXPECT_EQ(air.happened, expected) << name;
        if (std::string_view(name).starts_with("a refused")) {  // its reason cut before its last character
            EXPECT_EQ(air.recorded.events.at(0),
                      "failover 1 (" + kOne + ": open: " + std::string(113, 'y') + ") backup");
        }
        if (std::string_view(name).starts_with("a format")) {
            // It is tried again after a minute, not every tick, and logged once.
            EXPECT_EQ(said, 1);
            EXPECT_EQ(CountOf(air.console().txtAIR,
                              "SYS - STREAM MONITOR CANNOT HEAR " + kOne +
                                  ": it cannot read the stream (open: " + std::string(113, 'x') + ") - ITS"),
                      1u);
            EXPECT_EQ(EarsOf(*air).onAir().sound, AirSound::Unknown);
        }
    }
    // A stream whose first bytes take 8 s is no failure.
    Air slow;
    slow.run(12, [](double t, const std::string&) -> std::optional<std::string> {
        if (t < 8) return std::nullopt;
        return Flowing(t);
    });
    EXPECT_EQ(slow.happened, Strings{});
    EXPECT_EQ(EarsOf(*slow).onAir().sound, AirSound::Moving);
    // A monitor stuck connecting says nothing: it is ended after
    // kMonitorMuteSeconds and another connects, not before.
    Air mute;
    const Script nothing = [](double, const std::string&) { return std::nullopt; };
    mute.run(1, nothing);
    const int first = mute.monitorOf(kOne).value_or(0);
    mute.run(kMonitorMuteSeconds - 2, nothing);
    EXPECT_EQ(mute.monitorOf(kOne), first);
    mute.run(3, nothing);
    EXPECT_FALSE(mute.processes.programs.contains(first));
    EXPECT_NE(mute.monitorOf(kOne), first);
}

// A stereo source with one channel silent while the other plays is said once, and once when it is heard
// again, without a failover; the monitor's line carries each channel's level and reads back as written.
TEST(AirMonitorTest, OneSilentChannelIsSaidAndHeardAgainWithoutAFailover) {
    Air air(3);
    air.run(24, [](double t, const std::string&) -> std::optional<std::string> {
        return Flowing(t) + (t > 4 && t <= 14 ? " left=-20.0 right=-90.0" : " left=-20.0 right=-21.0");
    });
    EXPECT_EQ(air.happened, Strings{});
    for (const char* said :
         {"SYS - SOURCE 1 One: RIGHT CHANNEL SILENT", "SYS - SOURCE 1 One: RIGHT CHANNEL HEARD AGAIN"})
        EXPECT_EQ(CountOf(air.console().txtAIR, said), 1u) << said;
    EXPECT_EQ(CountOf(air.console().txtAIR, "LEFT CHANNEL"), 0u);
    const MonitorLine line{MonitorLine::Kind::Count, 9, -3.0, -17.5, {}, -17.0, -120.0};
    EXPECT_EQ(FormatMonitorLine(line), "bytes=9 peak=-3.0 rms=-17.5 left=-17.0 right=-120.0");
    EXPECT_EQ(ParseMonitorLine(FormatMonitorLine(line)), line);
}

// A standby is heard by samples (a sample every 2 s with SilenceSeconds=4): it is silent once its quiet
// samples span SilenceSeconds, not before; a standby that goes on air is heard whole. The monitor's option
// and its beat.
TEST(AirMonitorTest, AStandbyIsHeardBySamplesAndWholeOnceOnAir) {
    Air air(4);
    air.settings().StandbyCheck = true;
    const auto sampled = [](double t, double level) {  // levels on every fourth line
        return std::fmod(t, 2) == 0 ? Flowing(t, level)
                                    : "bytes=" + std::to_string(static_cast<int>(t * 16000));
    };
    const std::string failing = "STANDBY 0 Backup FAILING: " + kBackup + ": silent";
    for (const auto& [until, said] : {std::pair{9.5, 0u}, {10.0, 1u}}) {  // 4 s after the first quiet sample
        air.run(until - air.t, [&](double t, const std::string& address) {
            return address == kOne ? Flowing(t)
                                   : sampled(t, t >= 6 && t < 14 ? -90 : -20);  // quiet at 6, 8, 10
        });
        EXPECT_EQ(CountOf(air.console().txtAIR, failing), said) << until;
    }
    Air dies(4);  // the selected source dies: the standby goes on air
    dies.settings().StandbyCheck = true;
    dies.run(12, [&](double t, const std::string& address) -> std::optional<std::string> {
        return address == kBackup ? sampled(t, -20)
               : t <= 4           ? Flowing(t)
                                  : "error: stream: read: End of file";
    });
    EXPECT_EQ(std::ranges::count(dies.processes.programLog, "brackenfield-monitor " + kBackup), 1);
    for (const auto& [option, period] :
         {std::pair{"2", 2.0}, {"600", 600.0}, {"0.5", 0.0}, {"2s", 0.0}, {"", 0.0}})
        EXPECT_EQ(ParseSamplePeriod(option).value_or(0), period) << option;
    LevelSampler sampler(2, 0.5, 1);
    std::string steps;
    for (double now = 0; now < 5; now += 0.25) {
        const LevelSampler::Step step = sampler.next(now);
        steps += step == LevelSampler::Step::Skip ? '-' : step == LevelSampler::Step::Restart ? 'R' : 'D';
        if (step != LevelSampler::Step::Skip) steps += sampler.counts(0.25) ? "+" : "";
    }
    EXPECT_EQ(steps, "DD+D+-----RD+D+-----RD+D+-");
}

// The backup fails too: the last resort file plays in a loop until the
// backup has flowed again for the hold; then the selected source returns.
TEST(AirMonitorTest, WhenTheBackupFailsTooTheLastResortPlaysUntilTheBackupOrTheSourceIsHeard) {
    Air air;
    air.run(45, [](double t, const std::string& address) -> std::optional<std::string> {
        if (address == kOne) return t <= 2 || t > 26 ? std::optional(Flowing(t)) : std::nullopt;
        return t <= 8 || t > 18 ? std::optional(Flowing(t)) : std::nullopt;  // the backup from second 8 to 18
    });
    // The backup is back from the last resort once it has flowed for the hold.
    EXPECT_EQ(air.happened, (Strings{"6.00 suspect", "6.50 failover", "12.5 last resort", "33.5 failover",
                                     "41.5 returning", "44.0 normal"}));
    Strings loops;
    for (const auto& start : air.processes.starts)
        if (start.args.at(0) == "-loop") loops.push_back(start.args.at(2));
    EXPECT_EQ(loops, Strings{"/srv/loop.mp3"});
    EXPECT_EQ(CountOf(air.console().txtAIR, "  SYS - LAST RESORT: the backup failed too: " + kBackup), 1u);
}

// A player that plays but whose sound output stands still while its stream
// flows, or that never plays, is hung: it is started again, and logged. As
// every restart, the third in a row waits a minute (said once); after three
// hung restarts in ten minutes the next waits too.
TEST(AirMonitorTest, APlayerWhoseSoundStandsStillWhileItsStreamFlowsIsRestarted) {
    Air air;
    air.folder.write("mplayer1.log", "Starting playback...\n");
    uint64_t blocks = 0;
    auto exportFile = [&] {
        std::string head(16, '\0');
        std::memcpy(head.data() + 8, &blocks, sizeof blocks);
        air.folder.write("mplayer1.export", head);
    };
    air.run(3, [&](double t, const std::string&) {
        ++blocks;
        exportFile();
        return std::optional(Flowing(t));
    });
    EXPECT_FALSE(air->onAir.restartPending());
    // From here on no new player plays.
    air.run(97, [&](double t, const std::string&) {
        air.folder.write("mplayer" + std::to_string(air->onAir.CurrentMplayer()) + ".log", "Playing.\n");
        return std::optional(Flowing(t + 3));
    });
    EXPECT_EQ(CountOf(air.console().txtAIR,
                      "  SYS - PLAYER mplayer1 HUNG (ITS SOUND STOOD STILL FOR 3 S AT BLOCK 5)"),
              1u);
    EXPECT_EQ(air.folder.read("error.log").substr(0, 8), "RESTART ");
    EXPECT_EQ(CountOf(air.console().txtAIR, "HUNG (IT HAS NOT PLAYED IN 15 S) - RESTARTING"), 2u);
    EXPECT_EQ(CountOf(air.console().txtAIR, "HUNG AGAIN - 3 RESTARTS IN 10 MIN, THE NEXT WAITS"), 1u);
    EXPECT_EQ(CountOf(air.console().txtAIR, "  SYS - PLAYER RESTARTS HELD - 2 IN A ROW, THE NEXT IN "), 1u);
}

}  // namespace
}  // namespace bf::test
