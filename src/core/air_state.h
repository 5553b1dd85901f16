#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/processes.h"

namespace bf {

// A title a stream monitor told: announced by the stream while it listened,
// or the title of the moment, read again when it connected. `number`: its
// place among every title told for air since the start.
struct ToldTitle {
    std::string text;
    bool announced = false;
    uint64_t number = 0;
};

// What the station hears of one stream through its monitor program (times on
// the monotonic clock, 0 for never).
struct StreamWatch {
    std::string address;  // the stream's address, as the player is given it
    std::optional<ProgramHandle> monitor;
    std::string pending;  // the start of a line not yet ended
    double watchedSince = 0;
    double monitorStarted = 0;
    double heard = 0;  // when the running monitor last wrote a line
    long long bytes = -1;
    double moved = 0;  // when the byte count last grew
    // Since when the bytes have come without a stall on this connection; 0
    // while they do not. A burst that a stalled server hands a new listener
    // flows only as long as it lasts.
    double flowingSince = 0;
    double level = -120;    // the last half second's RMS, dBFS
    double quietSince = 0;  // when the level fell below SilenceLevel; 0 while loud
    // A standby's monitor decodes a sample every samplePeriod seconds (0: all
    // of it); its silence counts up to its last quiet sample, quietHeard.
    double samplePeriod = 0;
    double sampleWanted = 0;
    double quietHeard = 0;
    // A stereo stream's channels, left and right: since when one has been
    // below SilenceLevel while the other was not; 0 while not.
    std::array<double, 2> channelQuietSince{};
    // Why the stream's last connection ended (refused, closed, a 404) until
    // bytes come again, and how many connections in a row ended so.
    std::string ended;
    int ends = 0;
    std::string lastWords;  // the running monitor's "error: stream: ..." line
    double endedAt = 0;     // when the last monitor ended, whatever the cause
    double graceUntil = 0;  // a stream that moved until its monitor ended: no stall before this
    // Why the monitor cannot hear this stream (it cannot start, or cannot
    // read the stream's format): then the stream is not judged by ear.
    std::string deaf;
    bool deafLogged = false;
    // The titles the monitor told: the first is the title of the moment read
    // again, the others were announced while it listened (kept until the
    // title reader takes them).
    std::vector<ToldTitle> titles;
    bool titleRead = false;  // the monitor told a title since it started
};

// The player of a slot: how it was started, as its sound output shows it
// (MPlayer's export filter counts the audio blocks it passes on), and as the
// watchdog saw it. Each group has one writer, named beside it.
struct PlayerProgress {
    // sources/player_control: the last start of the slot's player failed;
    // whether the stream's titles come from its monitor rather than from the
    // player's log, as its start knew (for what MPlayer opens through FFmpeg
    // or a playlist, and a player kept from the last run); nullopt when the
    // start could not tell.
    bool startFailed = false;
    std::optional<bool> titlesFromMonitor;
    std::string role;  // as its record says it: "chosen", "standsin 3"; empty: not written by this run
    // sources/air_monitor: the same learnt from the codec its log names;
    // and the switch this is about, since when it is looked at, whether it
    // plays, its audio blocks and when they last moved.
    std::optional<bool> codecTitlesFromMonitor;
    double codecOf = 0;     // the switch (station clock) the codec was learnt for
    double switchedAt = 0;  // the switch (station clock)
    double since = 0;
    bool playing = false;  // its log said "Starting playback..."
    std::optional<uint64_t> blocks;
    double moved = 0;
    // sources/watchdog: whether its last look at the process table found the
    // slot's player running; none while it could not read it yet.
    std::optional<bool> seenRunning;
};

// The titles of the source on air as its monitor told them, for a source
// titled so, in order, until the title reader has taken them (it notes the
// number of the next one it takes: MonitorTitlesRead). Between two of its
// ticks at most kMonitorTitlesKept wait; past that the oldest unpaid ones
// are dropped and counted, paid ones (billed) up to kMonitorPaidTitlesKept.
inline constexpr size_t kMonitorTitlesKept = 64;
inline constexpr size_t kMonitorPaidTitlesKept = 1000;
struct MonitorTitles {
    std::string address;  // of the stream they belong to
    std::deque<ToldTitle> told;
    uint64_t next = 0;  // the number the next title told gets
    uint64_t dropped = 0;
};

inline constexpr size_t kPlaylistEntriesKept = 32;

// The air as the station hears it.
struct AirState {
    MonitorTitles onAirTitles;
    std::vector<StreamWatch> watches;
    // Whether a monitor program ever started: without one the fast health
    // check asks the server instead.
    bool monitorStarts = false;
    bool monitorMissingLogged = false;
    std::array<PlayerProgress, 3> players;  // by slot; 0 unused
    // When hung players were restarted lately: a few in a row, and the next
    // waits (a player that hangs on every start gains nothing by more).
    std::vector<double> hungRestarts;
    bool hungRestartsHeldLogged = false;
    // Addresses found to be playlists by their content type.
    std::vector<std::string> playlists;
    // The stream a playlist's monitor last told it listens to, by the
    // playlist's address (for the certificate watch); at most
    // kPlaylistEntriesKept.
    std::map<std::string, std::string> playlistEntries;
    // The trouble of the air last told to the listener: 0 none, 1 a stall,
    // 2 silence.
    int troubleTold = 0;
    // The channels (left, right) of the source on air told silent, and the
    // source they were told of.
    std::array<bool, 2> channelSilentTold{};
    int16_t channelSource = -1;
    // sources/watchdog, the refresh: the day (days since 1970) whose daily refresh
    // fell due, whether it waits for a quiet moment, and the wall clock's day
    // and second at the last look; the last refresh for memory, and the last
    // one tried, with the slot it was to replace (monotonic seconds).
    int64_t refreshDay = -1;
    bool dailyRefreshDue = false;
    std::optional<std::pair<int64_t, int>> refreshLook;
    double memoryRefreshAt = 0;
    double refreshTriedAt = 0;
    int16_t refreshTriedSlot = 0;
};

}  // namespace bf
