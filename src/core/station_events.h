#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/now_playing_record.h"
#include "core/on_air_record.h"

namespace bf {

// A switch of the source on air, told after the new player has started.
struct SwitchEvent {
    AirSource from;  // number -1: nothing was on air
    AirSource to;
    int16_t slot = 0;
    SwitchCause cause = SwitchCause::Schedule;
};

// What stands in for a failed source.
enum class StandIn { Backup, LastResort, None };

// A failure that started a failover: the source that failed, why, and what
// stands in for it (with none, it stays on air).
struct FailoverEvent {
    AirSource failed;
    std::string reason;
    bool silence = false;  // the source was on air but silent
    StandIn standIn = StandIn::Backup;
};

// The source on air, as heard, began to stall (no audio came) or fell
// silent: why, in words ("no audio for 2 s", "silent for 10 s").
struct AirTrouble {
    AirSource source;
    bool silence = false;
    std::string why;
};

// What the station's parts tell each other through. The parts that own a
// decision announce it; app/ wires the reactions (the source list report,
// the counters). Every method does nothing unless overridden, and none may
// hold its caller: slow work is put off to a later turn of the event loop.
class StationListener {
public:
    virtual ~StationListener() = default;
    virtual void switched(const SwitchEvent&) {}
    virtual void failoverStarted(const FailoverEvent&) {}
    // The selected source passed its check again and is back on air.
    virtual void returned(const AirSource&) {}
    // The received title changed, and why (never to an empty title but
    // after a failover to an empty strapline).
    virtual void titleChanged(const TitleChange&) {}
    // A new paid airing was recorded (tallyway.txt), to be billed once.
    virtual void paidAiring(const PaidItem&) {}
    // No player ran: the source is started again.
    virtual void playerRestarted(const AirSource&) {}
    // The backup failed too, or there is none: the last resort file plays.
    virtual void lastResort(const AirSource&) {}
    // A stall or silence of the air began (told once until the sound moves
    // again).
    virtual void airTrouble(const AirTrouble&) {}
    // metadata.txt shows a new line (told by the metadata tick that wrote it).
    virtual void metadataLineChanged(const std::string&) {}
};

// A listener that does nothing, for a station nobody listens to.
inline StationListener& NobodyListens() {
    static StationListener nobody;
    return nobody;
}

}  // namespace bf
