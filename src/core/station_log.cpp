#include "core/station_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "core/text_decode.h"
#include "core/text_file.h"

namespace bf {

namespace {
constexpr size_t kLogLimit = 2048;
constexpr size_t kLogKeep = 2000;

// Opens the file for appending without waiting on a pipe's reader and
// without creating anything but a regular file; -1 when it cannot be used.
int OpenForAppend(const std::filesystem::path& path, struct stat& st) {
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0) return -1;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}
}  // namespace

void AppendToStationLogFile(const std::filesystem::path& path, std::string_view line) {
    struct stat st {};
    int fd = OpenForAppend(path, st);
    if (fd < 0) return;
    auto size = static_cast<size_t>(st.st_size);
    if (size > 0 && size + line.size() > kStationLogFileLimit) {
        std::filesystem::path old = path;
        old += ".1";
        if (std::rename(path.c_str(), old.c_str()) == 0) {
            ::close(fd);
            fd = OpenForAppend(path, st);
            if (fd < 0) return;
            size = static_cast<size_t>(st.st_size);
        } else if (::ftruncate(fd, 0) == 0) {
            size = 0;
        } else {
            // Neither moved aside nor emptied: the cap holds, this line is lost.
            ::close(fd);
            return;
        }
    }
    AppendWhole(fd, line, size);  // a line that does not fit is lost whole
    ::close(fd);
}

bool StandardOutputIsJournal() {
    const char* stream = std::getenv("JOURNAL_STREAM");
    if (stream == nullptr) return false;
    unsigned long long device = 0, inode = 0;
    struct stat st {};
    return std::sscanf(stream, "%llu:%llu", &device, &inode) == 2 && ::fstat(STDOUT_FILENO, &st) == 0 &&
           st.st_dev == device && st.st_ino == inode;
}

std::string StandardOutputLine(std::string_view line, LogPriority priority, bool journal) {
    std::string text = journal ? "<" + std::to_string(static_cast<int>(priority)) + ">" : std::string();
    text += line;
    text += '\n';
    return text;
}

void StationLog::add(std::string line) {
    line += text_;
    if (line.size() > kLogLimit) line.resize(CutAtCharacter(line, kLogKeep).size());
    text_ = std::move(line);
}

}  // namespace bf
