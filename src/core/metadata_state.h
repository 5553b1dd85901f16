#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/now_playing_record.h"
#include "platform/clock.h"

namespace bf {

// Where the metadata tick stands in the active player's log: the slot and
// the file, the end of the last complete line read and the bytes just before
// it. A log that is another file or no longer holds those bytes there is a
// fresh one (a player started anew), read from its start. `kept` holds, by
// the reader's table, the lines kept when the log is cut: its last stream
// header lines, its start of playback and its last title line.
// `skipping`: the read is inside a line too long to take, skipped to its end.
// `startedFar`: the start of playback lies beyond the log's first bytes,
// where the switch and the stream watch look for it.
struct PlayerLogPlace {
    int16_t slot = 0;
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t end = 0;
    std::string before;
    std::vector<std::string> kept;
    bool skipping = false;
    bool startedFar = false;
    // The slot of a player kept on air from the last run, whose log that run
    // has read: it is read to its end before its titles count (0: none).
    int16_t resumeSlot = 0;
    bool resuming = false;
    // Steps of the log read since the metadata tick began (also across a
    // fresh log).
    int tickReads = 0;
    // The last resort's track the player opened ("Playing NAME.") and its
    // tags, until its playback starts.
    std::string trackFile, trackTitle, trackArtist;
};

// The stream header lines the player prints when it connects, in the order
// of StreamHeaders::values.
enum class StreamHeader { Name, Genre, Website, Public, Bitrate, Codec };

// The last value of each stream header line the player logs read so far
// told; none for a line not seen yet. A log lacking a line keeps the value.
struct StreamHeaders {
    std::array<std::optional<std::string>, 6> values;
};

// What the metadata tick last wrote: metadata.txt's line, metaextra.txt's
// line, and whether the text carried the traffic marker or a system command.
struct MetadataOutputs {
    bool written = false;
    // A paid airing was recorded since tallyway.txt was last written: the
    // tick's end writes the newest.
    bool paidAiringUnwritten = false;
    std::string metadataLine;
    std::string extraLine;
    bool traffic = false;
    bool command = false;
};

// The billing reporter's queue and what it last did.
struct BillingState {
    // Paid items the billing server has not yet answered for, oldest first.
    std::vector<PaidItem> pending;
    // `pending` has changed since the pending file was written.
    bool unsaved = false;
    // The queue was full and a paid airing went unreported.
    bool full = false;
    // The last tick; none before the first.
    std::optional<LocalTime> lastCheck;
    // The report sent last; none before the first.
    std::optional<PaidItem> sent;
    // When its answer (or failure) came, and the answer as the console shows
    // it: the reply, "HTTP 400 reason" for a refusal, "" without an answer.
    std::optional<LocalTime> answeredAt;
    std::string response;
};

// TuneIn AIR: the newest now-playing text, until the AIR tick takes it; the
// text last sent, split (also when the defaults went in its place); what went
// and when its answer came.
struct AirUpdateState {
    std::optional<std::string> next;
    std::string splitArtist;
    std::string splitTitle;
    std::string artist;
    std::string title;
    std::optional<LocalTime> answeredAt;
};

// The weather: the counter (0..kWeatherCycle; a fetch when it is 0), whether
// the weather tick has run, and the sentence composed from the last reply;
// none before the first reply.
struct WeatherState {
    int16_t counter = 0;
    bool ticked = false;
    std::optional<std::string> sentence;
};

// How far the title reader has taken the titles a stream monitor told
// (AirState::onAirTitles): the stream, the number of the next title to take
// and the last title taken.
struct MonitorTitlesRead {
    std::string address;
    uint64_t next = 0;
    std::string current;
};

// The metadata part's records beside what is playing (station.nowPlaying).
struct MetadataState {
    PlayerLogPlace playerLog;
    MonitorTitlesRead monitorTitles;
    StreamHeaders headers;
    MetadataOutputs outputs;
    BillingState billing;
    AirUpdateState air;
    WeatherState weather;
};

}  // namespace bf
