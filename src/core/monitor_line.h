#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace bf {

// The lines the stream monitor (brackenfield-monitor) writes and the
// station reads, one a line:
//
//   bytes=123456 peak=-3.1 rms=-17.4   the byte count, and the levels of the
//     left=-17.0 right=-120.0          half second before (dBFS; none with
//                                      --no-levels), each channel's RMS for
//                                      a stereo stream
//   title=Artist - Title               the stream names another title
//   entry=http://host:8000/stream      the playlist's stream it listens to
//   error: stream: open: refused       its last line: the stream is gone
//   error: format: no audio: ...       its last line: it cannot read it
//
// Both sides go through this one writer and this one reader.
struct MonitorLine {
    enum class Kind { Count, Title, Entry, StreamGone, CannotRead };
    Kind kind = Kind::Count;
    long long bytes = 0;
    std::optional<double> peak, rms;    // with levels
    std::string text;                   // the title, the entry's address, or why (for an error)
    std::optional<double> left, right;  // a stereo stream's channels' RMS
    bool operator==(const MonitorLine&) const = default;
};

// The line without its line end. A title, an entry or a reason is written
// as given: the monitor makes it one line first.
std::string FormatMonitorLine(const MonitorLine& line);

// A line (without its line end) as the monitor wrote it; nullopt for one
// that is none of the above. A byte count that does not start with a digit
// is none either.
std::optional<MonitorLine> ParseMonitorLine(std::string_view line);

// A standby stream's monitor (--sample-every SECONDS before the URL) reads
// and counts every byte but decodes only a sample: half a second of audio
// every SECONDS of the clock. After a skip the decoder starts afresh and its
// first frames, which lack what came before them, are not measured. Lines
// without a sample in their half second carry no levels.
std::optional<double> ParseSamplePeriod(std::string_view seconds);  // 1 .. 600

class LevelSampler {
public:
    enum class Step { Decode, Skip, Restart };  // Restart: flush the decoder, then decode
    explicit LevelSampler(double period = 0, double listen = 0.5, int warmup = 2)
        : period_(period), listen_(listen), warmup_(warmup), warm_(warmup) {}
    bool sampling() const { return period_ > 0; }
    // Before an audio packet: what to do with it at `now` (seconds).
    Step next(double now);
    // After a frame of `seconds` decoded: whether its levels count.
    bool counts(double seconds);

private:
    double period_, listen_;
    int warmup_, warm_;
    double windowStart_ = -1;  // when the sample being taken began
    double heard_ = 0;         // seconds of it measured
    bool skipping_ = false;
};

}  // namespace bf
