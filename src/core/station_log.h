#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace bf {

struct Station;

// station.log is moved to station.log.1 before a line would take it past this.
constexpr size_t kStationLogFileLimit = 1024 * 1024;

// Adds one line to the top of the station log (txtAIR):
// " YYYY-MM-DD HH:MM:SS" + message + CR LF; a log longer than 2048 bytes is
// cut to its first 2000. The same line is appended to station.log in the
// working folder and handed, without its leading blank and line end, to the
// station's logSink (standard output in the program), so the record outlives
// the window. Neither copy can hold up or fail the caller.
void AddToAirLog(Station& station, std::string_view message);

// "YYYY-MM-DD HH:MM:SS" directly followed by the message, for status labels.
std::string StampedStatus(const Station& station, std::string_view message);

// Appends `line` to the file at `path`, first moving a file that the line
// would take past kStationLogFileLimit to `path` + ".1". Never blocks: a path
// that is no regular file (a folder, a pipe) or cannot be written is skipped.
void AppendToStationLogFile(const std::filesystem::path& path, std::string_view line);

// The program's logSink: the line and LF to standard output, where a service
// manager's journal keeps it. A reader that went away is ignored.
void WriteToStandardOutput(std::string_view line);

}  // namespace bf
