#include "sources/air_hearing.h"

#include <algorithm>
#include <cmath>

#include "core/station.h"
#include "core/stream_address.h"
#include "sources/failover_policy.h"
#include "sources/source_list.h"

namespace bf {

namespace {

const StreamWatch* Find(const AirState& air, std::string_view address) {
    const auto it = std::ranges::find(air.watches, address, &StreamWatch::address);
    return it == air.watches.end() ? nullptr : &*it;
}

}  // namespace

Ears EarsOf(const Station& station) {
    return Ears(station.air, station.settings(), station.onAir, station.clock.monotonicSeconds());
}

AirReading Ears::hear(std::string_view url) const {
    const StreamWatch* watch = Find(air_, StreamAddress(url));
    if (!watch || !air_.monitorStarts || !listening()) return {};
    AirReading reading{AirSound::Unknown, {}, watch->level, 0};
    // A stream the monitor cannot hear is not judged by ear.
    if (!watch->deaf.empty()) {
        reading.why = watch->deaf;
        return reading;
    }
    // A connection that ended (refused, closed, a 404) twice in a row tells
    // at once.
    if (!watch->ended.empty() && watch->ends >= 2) {
        reading.sound = AirSound::Dead;
        reading.why = watch->ended;
        return reading;
    }
    if (watch->moved != 0 && now_ - watch->moved <= kStallSeconds) {
        const int silence = settings_.SilenceSeconds;
        // A sampled stream is silent once its quiet samples span the time.
        const double heardTo = watch->samplePeriod > 0 ? watch->quietHeard : now_;
        if (silence > 0 && watch->quietSince != 0 && heardTo - watch->quietSince >= silence) {
            reading.sound = AirSound::Silent;
            reading.why = "silent for " + std::to_string(static_cast<int>(now_ - watch->quietSince)) + " s";
        } else {
            reading.sound = AirSound::Moving;
        }
        return reading;
    }
    // Between two monitors, and while one connects again, nothing is heard.
    if (!watch->monitor || now_ < watch->graceUntil) return reading;
    if (watch->moved != 0 || now_ - watch->watchedSince >= kFirstAnswerSeconds) {
        const double since = watch->moved != 0 ? watch->moved : watch->watchedSince;
        reading.sound = AirSound::Stalled;
        reading.stalledFor = now_ - since;
        reading.why = "no audio for " + std::to_string(static_cast<int>(reading.stalledFor)) + " s";
    }
    return reading;
}

bool Ears::fails(const AirReading& reading) const {
    switch (reading.sound) {
        case AirSound::Dead:
        case AirSound::Silent:
            return true;
        case AirSound::Stalled:
            return reading.stalledFor >= settings_.StallSeconds;
        case AirSound::Moving:
        case AirSound::Unknown:
            break;
    }
    return false;
}

double Ears::flowingFor(std::string_view url) const {
    const StreamWatch* watch = Find(air_, StreamAddress(url));
    if (!watch || watch->flowingSince == 0) return 0;
    return now_ - watch->moved <= kStallSeconds ? now_ - watch->flowingSince : 0;
}

std::optional<double> Ears::flow(std::string_view url) const {
    const StreamWatch* watch = Find(air_, StreamAddress(url));
    if (!watch || !air_.monitorStarts) return std::nullopt;
    if (!watch->deaf.empty()) return watch->moved != 0 ? std::optional(air::kNeverSteady) : std::nullopt;
    return flowingFor(url);
}

bool Ears::hears(std::string_view url) const {
    const StreamWatch* watch = Find(air_, StreamAddress(url));
    return air_.monitorStarts && watch && watch->deaf.empty();
}

std::string Ears::inWords() const {
    if (!listening()) return "not listened to: the health check is off";
    if (onAir_.lastResortOnAir()) return "last resort playing";
    const AirReading air = onAir();
    switch (air.sound) {
        case AirSound::Moving:
            return settings_.SilenceSeconds > 0
                       ? "sound moving at " + std::to_string(std::lround(air.level)) + " dBFS"
                       : "sound moving";
        case AirSound::Stalled:
            return "stalled: " + air.why;
        case AirSound::Silent:
            return air.why;
        case AirSound::Dead:
            return "no stream: " + air.why;
        case AirSound::Unknown:
            break;
    }
    return onAir_.everOnAir() ? "listening" : "nothing on air yet";
}

std::vector<AirSource> StandbyLinks(const std::filesystem::path& folder, const Settings& settings,
                                    const OnAirRecord& onAir) {
    std::vector<AirSource> links;
    if (!settings.StandbyCheck || !settings.CheckSource) return links;
    const std::optional<SourceTable> table = ReadSourceList(folder);
    if (!table) return links;
    for (const int16_t number : PlayableChain(settings.BackupChain, *table)) {
        const SourceEntry& entry = (*table)[static_cast<size_t>(number)];
        const bool onAirNow =
            onAir.everOnAir() && !onAir.lastResortOnAir() && onAir.source().number == number;
        if (!onAirNow) links.push_back({number, entry.name, entry.url});
    }
    return links;
}

}  // namespace bf
