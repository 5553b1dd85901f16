#include "app/reactions/as_run_story.h"

#include <string>

#include "core/file_trouble.h"
#include "core/station.h"

namespace bf {

AsRunStory::AsRunStory(Station& station) : station_(station), record_(station.workingFolder) {}

void AsRunStory::add(AsRunEvent event, const AirSource& source, std::string cause, std::string detail,
                     std::string by) {
    const bool written = record_.add({station_.clock.now(), event, source.number, source.name,
                                      std::move(cause), std::move(detail), std::move(by)});
    // A full day's file is the record's own cap, no trouble of the disk. A
    // row written counts only after the record's own trouble: one that fits
    // the file's last page on a full disk must not end the others'.
    if (!record_.dayFull() && (!written || station_.state.FailingFiles.contains("asrun")))
        NoteFileWrite(station_, "asrun", written);
    if (const std::optional<AsRunRecord::DateLeap> leap = record_.takeDateLeap())
        AddToAirLog(
            station_,
            "  SYS - AS-RUN: THE DATE LEAPT FROM " + leap->from + " TO " + leap->to + " - OLD DAYS KEPT",
            LogPriority::Warning);
}

// Who chose a switch; nobody for the station's own (a failover, a return, a restart).
void AsRunStory::switched(const SwitchEvent& event) {
    std::string by;
    switch (event.cause) {
        case SwitchCause::Schedule:
        case SwitchCause::Api:
        case SwitchCause::Management:
            by = kSwitchCauseNames[static_cast<size_t>(event.cause)];
            break;
        case SwitchCause::Operator:
            by = "console";
            break;
        case SwitchCause::Web:
            by = event.by;
            break;
        default:
            break;
    }
    add(AsRunEvent::OnAir, event.to, std::string(kSwitchCauseNames[static_cast<size_t>(event.cause)]), "",
        std::move(by));
}

void AsRunStory::failoverStarted(const FailoverEvent& event) {
    add(AsRunEvent::Failover, event.failed, "", event.reason);
}

// Titles the stream announces; one read again from a player that started
// anew, or the strapline in a failed source's place, is no new airing.
void AsRunStory::titleChanged(const TitleChange& change) {
    if (change.cause == TitleCause::Announced)
        add(AsRunEvent::Title, station_.onAir.source(), "", change.title);
}

// The last resort starts a stretch of its own; the row names the source
// that failed.
void AsRunStory::lastResort(const LastResortEvent& event) {
    const AirSource& failed = event.failed;
    add(AsRunEvent::LastResort, AirSource{}, "last resort",
        failed.number < 0 ? "" : std::to_string(failed.number) + " " + failed.name + " failed");
}

// Each track of the last resort is a title row of its stretch.
void AsRunStory::lastResortTrack(const std::string& title) {
    add(AsRunEvent::Title, AirSource{}, "", title);
}

void AsRunStory::airTrouble(const AirTrouble& trouble) {
    add(trouble.silence ? AsRunEvent::Silence : AsRunEvent::Stall, trouble.source, "", trouble.why);
}

}  // namespace bf
