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

// A line as the program copies it to standard output, where a service
// manager's journal keeps it: the line and LF; for the journal's stream
// (`journal`, see StandardOutputIsJournal) it starts with its priority
// ("<4>"), which the journal takes as the line's priority. The program writes
// it through a LogOutput, which never waits for a stalled reader.
std::string StandardOutputLine(std::string_view line, LogPriority priority, bool journal);

// Whether standard output goes to the journal, as JOURNAL_STREAM's device and
// inode name it.
bool StandardOutputIsJournal();

}  // namespace bf
