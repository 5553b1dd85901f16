#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/reactions/station_reactions.h"
#include "core/station.h"
#include "fake_clock.h"
#include "fake_http.h"
#include "fake_process_stats.h"
#include "fake_processes.h"
#include "fake_timers.h"
#include "recording_listener.h"
#include "views/console_view.h"

namespace bf::test {

// A temporary working folder, removed when the object dies.
class TempFolder {
public:
    TempFolder();
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Writes a file byte for byte (no line-end conversion).
    void write(std::string_view name, std::string_view content) const;
    // The file's bytes, or "<missing>" when it does not exist.
    std::string read(std::string_view name) const;
    bool exists(std::string_view name) const { return std::filesystem::exists(path_ / name); }

private:
    std::filesystem::path path_;
};

// How often `part` occurs in `text` (overlaps counted).
size_t CountOf(std::string_view text, std::string_view part);

// Named items of the console dump (labels, buttons and the main state
// fields) as "name=value name=value", for comparing several at once.
std::string Items(const Station& station, std::string_view names);

// A Station over fakes in its own temporary folder, its timers defined and
// stopped. The clock starts on Sunday 6 December 2026 at 12:00:00. The
// program's reactions listen, or with `reacting` false only `recorded`.
struct TestStation {
    explicit TestStation(bool reacting = true);

    TempFolder folder;
    FakeClock clock;
    FakeProcesses processes;
    FakeTimers timers;
    FakeHttpClient InetTestURL, Inet1, InetAIR, InetTallyway, InetWeather;
    FakeProcessStats processStats;
    std::unique_ptr<Station> station;
    int quits = 0;
    int apiWindowsOpened = 0;
    std::vector<std::string> logged;              // what the station sent to its logSink
    std::vector<LogPriority> priorities;          // and with which priority
    std::unique_ptr<StationReactions> reactions;  // the program's, listening
    RecordingListener recorded;

    // Puts source `number` (the source list must give it a URL) on air on
    // `slot` by switching, with the overlap over; then forgets the player
    // calls, the station log and the events recorded so far.
    void onAir(int number, int slot = 1);
    // Lets the switch's overlap run to its end: the new player plays (only
    // durations see the time pass, the wall clock stays).
    void endOverlap();

    Station& operator*() { return *station; }
    Station* operator->() { return station.get(); }
    StationState& state() { return station->state; }
    // The settings record, to set up a test: the program itself never
    // changes one, it replaces it whole.
    Settings& settings() { return const_cast<Settings&>(station->settings()); }
    // The console as the window would show it now: drawn from the owners.
    ConsoleModel& console() {
        DrawConsole(*station, station->console);
        return station->console;
    }
};

}  // namespace bf::test
