#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace bf {

struct Station;

// How much a station log line matters, as syslog and the journal rank it.
enum class LogPriority { Error = 3, Warning = 4, Notice = 5, Info = 6 };

// station.log is moved to station.log.1 before a line would take it past this.
constexpr size_t kStationLogFileLimit = 1024 * 1024;

// Adds one line to the top of the station log (txtAIR):
// " YYYY-MM-DD HH:MM:SS" + message + CR LF; a log longer than 2048 bytes is
// cut to its first 2000. The same line is appended to station.log in the
// working folder and handed, without its leading blank and line end, to the
// station's logSink (standard output in the program), so the record outlives
// the window, with its priority. Neither copy can hold up or fail the caller.
void AddToAirLog(Station& station, std::string_view message, LogPriority priority = LogPriority::Info);

// "YYYY-MM-DD HH:MM:SS" directly followed by the message, for status labels.
std::string StampedStatus(const Station& station, std::string_view message);

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
