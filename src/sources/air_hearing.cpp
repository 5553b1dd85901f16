#include "sources/air_hearing.h"

#include <algorithm>
#include <cmath>

#include "core/station.h"
#include "core/stream_address.h"

namespace bf {

namespace {

const StreamWatch* Find(const AirState& air, std::string_view address) {
    const auto it = std::ranges::find(air.watches, address, &StreamWatch::address);
    return it == air.watches.end() ? nullptr : &*it;
}

}  // namespace

bool WatchesAir(const Station& station) {
    return station.settings().CheckSource;
}

AirReading HearSource(const Station& station, std::string_view url) {
    const StreamWatch* watch = Find(station.air, StreamAddress(url));
    if (!watch || !station.air.monitorStarts || !WatchesAir(station)) return {};
    const double now = station.clock.monotonicSeconds();
    AirReading reading{AirSound::Unknown, {}, watch->level};
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
    if (watch->moved != 0 && now - watch->moved <= kStallSeconds) {
        const int silence = station.settings().SilenceSeconds;
        if (silence > 0 && watch->quietSince != 0 && now - watch->quietSince >= silence) {
            reading.sound = AirSound::Silent;
            reading.why = "silent for " + std::to_string(static_cast<int>(now - watch->quietSince)) + " s";
        } else {
            reading.sound = AirSound::Moving;
        }
        return reading;
    }
    // Between two monitors, and while one connects again, nothing is heard.
    if (!watch->monitor || now < watch->graceUntil) return reading;
    if (watch->moved != 0 || now - watch->watchedSince >= kFirstAnswerSeconds) {
        const double since = watch->moved != 0 ? watch->moved : watch->watchedSince;
        reading.sound = AirSound::Stalled;
        reading.why = "no audio for " + std::to_string(static_cast<int>(now - since)) + " s";
    }
    return reading;
}

double FlowingFor(const Station& station, std::string_view url) {
    const StreamWatch* watch = Find(station.air, StreamAddress(url));
    if (!watch || watch->flowingSince == 0) return 0;
    const double now = station.clock.monotonicSeconds();
    return now - watch->moved <= kStallSeconds ? now - watch->flowingSince : 0;
}

bool ReturnWaitsForFlow(const Station& station, std::string_view url) {
    const StreamWatch* watch = Find(station.air, StreamAddress(url));
    // A stream the monitor does not hear is judged by its server's answer;
    // but one it heard before and cannot read now may be a burst cut out of
    // the stream (a stalled relay's buffer): it waits until it is heard.
    if (!watch || !station.air.monitorStarts) return false;
    if (!watch->deaf.empty()) return watch->moved != 0;
    return FlowingFor(station, url) < station.settings().ReturnHoldSeconds;
}

bool HearsStream(const Station& station, std::string_view url) {
    const StreamWatch* watch = Find(station.air, StreamAddress(url));
    return station.air.monitorStarts && watch && watch->deaf.empty();
}

AirReading HearOnAir(const Station& station) {
    return HearSource(station, station.onAir.source().url);
}

std::string AirInWords(const Station& station) {
    if (!WatchesAir(station)) return "not listened to: the health check is off";
    if (station.onAir.lastResortOnAir()) return "last resort playing";
    const AirReading air = HearOnAir(station);
    switch (air.sound) {
        case AirSound::Moving:
            return station.settings().SilenceSeconds > 0
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
    return station.onAir.everOnAir() ? "listening" : "nothing on air yet";
}

}  // namespace bf
