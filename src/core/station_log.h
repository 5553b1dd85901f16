#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace bf {

// How much a station log line matters, as syslog and the journal rank it.
enum class LogPriority { Error = 3, Warning = 4, Notice = 5, Info = 6 };

// station.log is moved to station.log.1 before a line would take it past this.
constexpr size_t kStationLogFileLimit = 1024 * 1024;

// The station log's lines as the console shows them (txtAIR): the newest
// first, each " YYYY-MM-DD HH:MM:SS" + message + CR LF. Only AddToAirLog
// (core/station.h) adds to it; the console and the status page draw it.
class StationLog {
public:
    // Puts a whole line on top; a log longer than 2048 bytes is cut to its
    // first 2000 (never inside a character).
    void add(std::string line);
    void clear() { text_.clear(); }
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

// Appends `line` to the file at `path`, first moving a file that the line
// would take past kStationLogFileLimit to `path` + ".1". Never blocks: a path
// that is no regular file (a folder, a pipe) or cannot be written is skipped.
void AppendToStationLogFile(const std::filesystem::path& path, std::string_view line);

// The program's logSink: the line and LF to standard output, where a service
// manager's journal keeps it; when standard output is the journal's
// (JOURNAL_STREAM names it), the line starts with its priority ("<4>"), which
// the journal takes as the line's priority. A reader that went away is
// ignored.
void WriteToStandardOutput(std::string_view line, LogPriority priority);

// Whether standard output goes to the journal, as JOURNAL_STREAM's device and
// inode name it.
bool StandardOutputIsJournal();

}  // namespace bf
