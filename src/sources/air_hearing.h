#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/air_state.h"
#include "core/on_air_record.h"
#include "core/settings_record.h"

namespace bf {

struct Station;

// What the station hears of a stream: its monitor program (one per watched
// stream, brackenfield-monitor) reads it as a listener would and tells twice
// a second how many bytes came and how loud they were.
enum class AirSound { Unknown, Moving, Stalled, Silent, Dead };

struct AirReading {
    AirSound sound = AirSound::Unknown;
    std::string why;  // for a stall, silence or a dead stream
    double level = -120;
    double stalledFor = 0;  // for a stall: the seconds without audio
};

// A stream stalls when no byte came for this long; a newly watched one gets
// kFirstAnswerSeconds for its first bytes (a slow server, redirects).
inline constexpr double kStallSeconds = 2.0;
inline constexpr double kFirstAnswerSeconds = 10.0;
// A monitor that ended is started again after this long; at once when the
// stream's connection ended for the first time, with kReconnectSeconds for
// a moving stream to come back. A monitor that cannot read a stream's
// format tries again after kDeafRetrySeconds.
inline constexpr double kMonitorRestartSeconds = 2.0;
inline constexpr double kReconnectSeconds = 4.0;
inline constexpr double kDeafRetrySeconds = 60.0;
// A monitor tells its count twice a second once connected, and gives up an
// open by itself within 30 s; one that has said nothing for this long is
// stuck (a name lookup or a connection that neither ends nor answers) and is
// ended, its connection counted as ended.
inline constexpr double kMonitorMuteSeconds = 45.0;
// A stream flows steadily once it has flowed this long without a stall: a
// burst that a stalled server hands a new listener is read at once and
// reads as moving for kStallSeconds after it, no longer.
inline constexpr double kSteadySeconds = 3.0;
// A playing player whose sound output stands still this long while its
// stream flows is hung.
inline constexpr double kHungSeconds = 3.0;
// A player that has not started to play this long after its switch, while
// its stream flows, is hung too.
inline constexpr double kNeverPlayedSeconds = 15.0;
// At most kHungRestarts restarts of hung players within kHungWindowSeconds.
inline constexpr size_t kHungRestarts = 3;
inline constexpr double kHungWindowSeconds = 600.0;
inline constexpr int kAirMonitorTickMs = 500;
// A monitor's line tells the level of the half second before it.
inline constexpr double kLevelSpanSeconds = 0.5;

// The air as the station hears it at one moment.
class Ears {
public:
    Ears(const AirState& air, const Settings& settings, const OnAirRecord& onAir, double now)
        : air_(air), settings_(settings), onAir_(onAir), now_(now) {}

    // Whether the station listens to the air: with the health check on.
    bool listening() const { return settings_.CheckSource; }
    // The stream of a source's URL as heard now; Unknown when it is not
    // watched or not yet heard.
    AirReading hear(std::string_view url) const;
    // The reading of the source on air.
    AirReading onAir() const { return hear(onAir_.source().url); }
    // Whether the reading fails the source: a dead stream, silence, or a stall
    // that has lasted StallSeconds.
    bool fails(const AirReading& reading) const;
    // How long the stream of a source's URL has flowed without a stall; 0
    // while it does not flow or is not heard.
    double flowingFor(std::string_view url) const;
    // The flow a return to the stream waits for: none when the monitor does
    // not hear it (its server's answer decides); "never steady" for one it
    // heard before and cannot read now (a burst cut out of a stream may be
    // unreadable), until it hears it again.
    std::optional<double> flow(std::string_view url) const;
    // Whether a monitor hears the stream of a source's URL (it may start, and
    // reads its format).
    bool hears(std::string_view url) const;
    // The air in words ("sound moving", "stalled: no audio for 5 s", "last
    // resort playing"), for the console and the status page.
    std::string inWords() const;

private:
    const AirState& air_;
    const Settings& settings_;
    const OnAirRecord& onAir_;
    double now_;
};

Ears EarsOf(const Station& station);

// The links of the backup chain that standby monitors hear (StandbyCheck,
// with the check on): each one not on air that has a playable URL in the
// station folder's source list now.
std::vector<AirSource> StandbyLinks(const std::filesystem::path& folder, const Settings& settings,
                                    const OnAirRecord& onAir);

}  // namespace bf
