#include "status/air_health.h"

#include <algorithm>

#include "core/station.h"
#include "core/text_decode.h"
#include "core/url_credentials.h"
#include "schedule/event_tick.h"
#include "sources/air_hearing.h"
#include "sources/source_list.h"
#include "status/process_readings.h"

namespace bf {

namespace {

// "source 3 Breakfast", or "source 3" for a source without a name.
std::string Named(const AirSource& source) {
    return "source " + std::to_string(source.number) + (source.name.empty() ? "" : " " + source.name);
}

// Whether the source under test fails its check: failed checks in a row, or
// a failover that has not found it passing again.
bool UnderTestFails(const Station& station) {
    const OnAirRecord& onAir = station.onAir;
    const FailoverState state = onAir.failover();
    return onAir.checkFailures() > 0 || state == FailoverState::Suspect || state == FailoverState::Failover ||
           state == FailoverState::LastResort;
}

AirHealth Judge(const Station& station, const ProcessReadings& readings) {
    const OnAirRecord& onAir = station.onAir;
    if (!onAir.everOnAir()) return {false, "nothing on air yet"};
    if (onAir.lastResortOnAir()) return {false, "the last resort file plays"};
    const std::string named = Named(onAir.source());
    const int16_t slot = onAir.CurrentMplayer();
    if (onAir.restartPending() || slot < 1 || slot > 2 || !readings.playerRunning[slot - 1])
        return {false, "no player plays " + named};
    const AirReading air = EarsOf(station).onAir();
    switch (air.sound) {
        case AirSound::Stalled:
            return {false, named + " is stalled: " + air.why};
        case AirSound::Dead:
            return {false, named + " has no stream: " + air.why};
        case AirSound::Silent:
            return {false, named + " is " + air.why};
        case AirSound::Moving:
        case AirSound::Unknown:
            break;
    }
    if (!IsAutomatic(station.schedule) && UnderTestFails(station))
        return {false, "manual mode and " + Named(station.onAir.underTest()) +
                           " fails its health check: nothing fails over or back"};
    std::string reason = named + " plays";
    if (air.sound == AirSound::Moving)
        reason += " and is heard";
    else
        reason +=
            EarsOf(station).listening() ? " (not heard yet)" : " (not listened to: the health check is off)";
    if (onAir.failoverActive() && onAir.source() != onAir.selected())
        reason += ", standing in for " + Named(onAir.selected());
    const bool chainSet = station.settings().BackupChain.find_first_not_of(" \t") != std::string::npos;
    if (const int link = ChainPosition(station.settings(), station.onAir); link > 0 && chainSet)
        reason += " (link " + std::to_string(link) + " of the backup chain)";
    return {true, std::move(reason)};
}

}  // namespace

AirHealth JudgeAirHealth(const Station& station, const ProcessReadings& readings) {
    AirHealth health = Judge(station, readings);
    // Names and a stream's words are bytes of the source list and of peers:
    // one line of UTF-8, without an address's user and password.
    health.reason = WithoutCredentials(ToUtf8(CutAtCharacter(health.reason, 300)));
    std::replace_if(
        health.reason.begin(), health.reason.end(),
        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }, ' ');
    return health;
}

int ChainPosition(const Settings& settings, const OnAirRecord& onAir) {
    if (onAir.CurrentSource() < 0 || onAir.lastResortOnAir()) return -1;
    if (!onAir.failoverActive() || onAir.source() == onAir.selected()) return 0;
    const std::vector<int16_t> links = ParseBackupChain(settings.BackupChain).links;
    const auto at = std::ranges::find(links, onAir.CurrentSource());
    return at == links.end() ? 0 : static_cast<int>(at - links.begin()) + 1;
}

}  // namespace bf
