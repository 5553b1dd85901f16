#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace bf {

// A paid item waiting for the billing server's answer: its stamp and its
// text with the leading "$ ".
struct PaidItem {
    std::string stamp;
    std::string item;
    bool operator==(const PaidItem&) const = default;
};

// The station's record beside what is on air (station.onAir) and the
// schedule (station.schedule). Integers are 16-bit, the uptime 32-bit.
// Settings fields carry the names of their keys and never change after
// startup. PlayURL mirrors the URL on air.
struct StationState {
    std::string DefaultStrapline;
    std::string ExtraMetaNowPlaying;
    int16_t ManagementUpdate = 0;
    std::string ManagementURL;
    std::string ManagementSendURL;
    std::string ManagementKey;
    std::string ManagementSwitcher;
    int16_t ManagementCounter = 0;
    int16_t CheckForChanges = 0;
    std::string CheckForChangeURL;
    std::string PlayURL;
    std::string APIallowed;
    std::string APIkey;
    std::string AIRenable;
    std::string AIRid;
    std::string AIRpartnerid;
    std::string AIRpartnerkey;
    std::string AIRLastArtist;
    std::string AIRLastTitle;
    std::string DoNotPrefixWhenContains;
    std::string MetaWeather;
    std::string MetaOpenWeatherMapKey;
    std::string MetaLocation;
    int16_t WeatherCounter = 0;
    int16_t TimerCount = 0;
    std::string AIRdefaultTitle;
    std::string AIRdefaultArtist;
    int16_t MinMax = 0;
    std::string RXmetadata;
    std::string PreviousMetadata;
    std::string FilterSystem;
    int16_t HideTaskbar = 0;
    int32_t SystemRuntime = 0;
    std::string SystemStart;
    std::string CheckSource;
    std::string TallywayTT;
    std::string TallywayMM;
    std::string LastFileLine1;
    std::string LastFileLine2;
    int16_t StartupFlag = 1;
    std::string URLbase;

    // Kept beside the documented fields: paid items the billing server has
    // not yet answered for, oldest first, and the seconds until the next
    // attempt after a failed one.
    std::vector<PaidItem> PendingReports;
    int16_t ReportRetryCountdown = 0;
    // The paid title last recorded, until another non-empty title arrives:
    // the same paid title heard again after a gap is the same airing.
    std::string PaidTitleOnAir;
    // "1": the health check runs every second and the failover and return
    // overlap the players, so that nothing is silent.
    std::string FastFailover;
};

}  // namespace bf
