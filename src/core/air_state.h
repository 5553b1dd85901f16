#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/processes.h"

namespace bf {

// What the station hears of one stream through its monitor program (times on
// the monotonic clock, 0 for never).
struct StreamWatch {
    std::string address;  // the stream's address, as the player is given it
    std::optional<ProgramHandle> monitor;
    std::string pending;  // the start of a line not yet ended
    double watchedSince = 0;
    double monitorStarted = 0;
    long long bytes = -1;
    double moved = 0;       // when the byte count last grew
    double level = -120;    // the last half second's RMS, dBFS
    double quietSince = 0;  // when the level fell below SilenceLevel; 0 while loud
    std::string ended;      // why the last monitor ended; empty while it runs
    double endedAt = 0;
};

// The player of a slot as its sound output shows it: MPlayer's export filter
// counts the audio blocks it passes on.
struct PlayerProgress {
    bool playing = false;  // its log said "Starting playback..."
    std::optional<uint64_t> blocks;
    double moved = 0;
};

// The air as the station hears it.
struct AirState {
    std::vector<StreamWatch> watches;
    // Whether a monitor program ever started: without one the fast health
    // check asks the server instead.
    bool monitorStarts = false;
    bool monitorMissingLogged = false;
    std::array<PlayerProgress, 3> players;  // by slot; 0 unused
};

}  // namespace bf
