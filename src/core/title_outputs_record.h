#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace bf {

// Results of a metadata update at the station's own Icecast mount: taken,
// failed (no answer, an error status) or refused by a mount that takes no
// titles over HTTP (Ogg, Opus).
enum class IcecastUpdateResult { Ok, Failed, Refused };
inline constexpr std::array<std::string_view, 3> kIcecastUpdateResultNames = {"ok", "failed", "refused"};

// What the title outputs beside the files did last: the RDS encoder's feed
// and the station's own Icecast mount. The outputs write it, the status page
// and the metrics read it. No field holds a password.
struct TitleOutputsRecord {
    struct Rds {
        bool on = false;
        std::string target;    // as RdsTarget names it
        bool up = false;       // the link is open and takes the lines
        std::string failing;   // why the encoder fails; empty while it answers
        std::string lastLine;  // the RadioText line sent last, without its line end
        std::optional<LocalTime> sentAt;
        uint64_t linesSent = 0;
        uint64_t linesDropped = 0;
    } rds;
    struct Icecast {
        bool on = false;
        std::string mount;  // "http://HOST:PORT/MOUNT", without the user and password
        std::string failing;
        bool refused = false;   // the mount takes no titles over HTTP
        std::string lastTitle;  // the title the mount took last
        std::optional<LocalTime> updatedAt;
        std::array<uint64_t, kIcecastUpdateResultNames.size()> updates{};
    } icecast;
};

}  // namespace bf
