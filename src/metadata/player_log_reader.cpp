#include "metadata/player_log_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/station.h"
#include "metadata/metadata_outputs.h"

namespace bf {

namespace {

struct HeaderLine {
    std::string_view prefix;
    Label ConsoleModel::*label;
};

// The stream header lines the player prints when it connects; the prefixes
// are matched exactly, blanks and case included.
constexpr std::array<HeaderLine, 6> kHeaderLines{{
    {"Name   : ", &ConsoleModel::lblStreamName},
    {"Genre  : ", &ConsoleModel::lblStreamGenre},
    {"Website: ", &ConsoleModel::lblStreamWebsite},
    {"Public : ", &ConsoleModel::lblStreamPublic},
    {"Bitrate: ", &ConsoleModel::lblStreamBitrate},
    {"Selected audio codec: ", &ConsoleModel::lblStreamCodec},
}};

constexpr std::string_view kTitlePrefix = "ICY Info: StreamTitle='";

// What one reading of the log found: for each header line and for the title,
// the value of the last matching line. Views point into the log's text.
struct PlayerLogValues {
    std::array<std::optional<std::string_view>, kHeaderLines.size()> headers;
    std::string_view title;
};

void TakeLine(std::string_view line, PlayerLogValues& values) {
    if (line.starts_with(kTitlePrefix)) {
        std::string_view rest = line.substr(kTitlePrefix.size());
        // Drops the closing "';"; a shorter remainder is kept as it is.
        if (rest.size() >= 2) rest.remove_suffix(2);
        values.title = rest;
        return;
    }
    for (size_t i = 0; i < kHeaderLines.size(); ++i) {
        if (line.starts_with(kHeaderLines[i].prefix)) {
            values.headers[i] = line.substr(kHeaderLines[i].prefix.size());
            return;
        }
    }
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// The log as far as the player has written it. A month-long run leaves tens
// of megabytes, read every five seconds: the buffer is sized from the file
// once instead of growing chunk by chunk. Read-only, without a lock, so the
// player goes on writing meanwhile; anything but a plain file (a FIFO would
// block the event thread) reads as unreadable.
std::optional<std::string> ReadLogFile(const std::filesystem::path& path) {
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) return std::nullopt;
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    std::string text(static_cast<size_t>(info.st_size) + 4096, '\0');
    size_t length = 0;
    for (;;) {
        if (length == text.size()) text.resize(text.size() * 2);  // it grew since fstat
        const ssize_t n = ::read(fd.get(), text.data() + length, text.size() - length);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        length += static_cast<size_t>(n);
    }
    text.resize(length);
    return text;
}

// The lines of the log exactly as ForEachLine splits them (CR LF, lone CR,
// lone LF), but the line ends are found with memchr, many bytes per step:
// a month of titles is twenty megabytes, read on the event thread.
template <typename F>
void ForEachLogLine(std::string_view text, F&& onLine) {
    const char* const end = text.data() + text.size();
    auto next = [end](const char* from, char c) {
        const void* hit = std::memchr(from, c, static_cast<size_t>(end - from));
        return hit ? static_cast<const char*>(hit) : end;
    };
    const char* pos = text.data();
    // Each search resumes where the last one stopped, so a file without any
    // CR (or LF) is still scanned once, not once per line.
    const char* nextCr = next(pos, '\r');
    const char* nextLf = next(pos, '\n');
    while (pos < end) {
        if (nextCr < pos) nextCr = next(pos, '\r');
        if (nextLf < pos) nextLf = next(pos, '\n');
        const char* lineEnd = std::min(nextCr, nextLf);
        onLine(std::string_view(pos, static_cast<size_t>(lineEnd - pos)));
        if (lineEnd == end) break;
        pos = lineEnd + 1;
        if (*lineEnd == '\r' && pos < end && *pos == '\n') ++pos;
    }
}

// Reads the active player's log; an empty title when no player runs or its
// log is missing or unreadable, and then the header labels stay as they are.
std::string ReadPlayerLogOrThrow(Station& station) {
    const int16_t slot = station.state.CurrentMplayer;
    if (slot == 0) return {};
    const std::optional<std::string> log = ReadLogFile(station.file("mplayer" + std::to_string(slot) + ".log"));
    if (!log) return {};

    PlayerLogValues values;
    ForEachLogLine(*log, [&values](std::string_view line) {
        // Every prefix starts with one of these letters; most lines are the
        // player's status lines and stop here.
        switch (line.empty() ? '\0' : line.front()) {
            case 'I': case 'N': case 'G': case 'W': case 'P': case 'B': case 'S':
                TakeLine(line, values);
                break;
            default:
                break;
        }
    });
    for (size_t i = 0; i < kHeaderLines.size(); ++i) {
        if (values.headers[i]) (station.console.*kHeaderLines[i].label).caption = std::string(*values.headers[i]);
    }
    return std::string(values.title);
}

// A log too big to hold in memory reads as an unreadable one.
std::string ReadPlayerLog(Station& station) {
    try {
        return ReadPlayerLogOrThrow(station);
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace

void tmrGetMetadata_Timer(Station& station) {
    StationState& s = station.state;
    const std::string title = ReadPlayerLog(station);
    const bool isNew = title != s.PreviousMetadata;

    if (!title.empty()) station.console.lblRXmetadata.caption = title;
    if (isNew && IsSystemCommand(title)) LogSystemCommand(station, title);
    if (IsBillingTitle(title)) {
        if (isNew) WriteBillingOutputs(station, title);
        s.RXmetadata = s.DefaultStrapline;
    } else if (!title.empty()) {
        s.RXmetadata = title;
    }
    s.PreviousMetadata = title;
    ProduceMetadataOutputs(station);
}

}  // namespace bf
