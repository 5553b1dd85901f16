#include "core/file_trouble.h"

#include <cerrno>
#include <map>
#include <string>
#include <system_error>

#include "core/station.h"
#include "core/station_log.h"

namespace bf {

namespace {

// A failure of the whole disk or folder, which a write that works on it ends
// for every file.
bool DiskWide(int error) {
    return error == ENOSPC || error == EDQUOT || error == EROFS || error == EIO;
}

}  // namespace

bool NoteFileWrite(Station& station, std::string_view name, bool written) {
    const int error = errno == 0 ? EIO : errno;
    std::map<std::string, int>& failing = station.state.FailingFiles;
    const bool before = !failing.empty();
    if (written) {
        failing.erase(std::string(name));
        std::erase_if(failing, [](const auto& file) { return DiskWide(file.second); });
    } else {
        PostEvent(station, &StationListener::fileWriteFailed, FileWriteFailure{std::string(name)});
        failing[std::string(name)] = error;
    }
    // The station log's own file may fail too: the console and the journal
    // still get the line.
    if (!before && !failing.empty()) {
        const std::string why = std::generic_category().message(error);
        AddToAirLog(station, "  SYS - CANNOT WRITE " + std::string(name) + ": " + why, LogPriority::Warning);
        PostEvent(station, &StationListener::fileTrouble, FileTrouble{std::string(name), why});
    } else if (before && failing.empty()) {
        AddToAirLog(station, "  SYS - FILES ARE WRITTEN AGAIN", LogPriority::Notice);
        PostEvent(station, &StationListener::fileTrouble, FileTrouble{std::string(name), {}, true});
    }
    return written;
}

}  // namespace bf
