#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace bf {

// A paid item waiting for the billing server's answer: its stamp and its
// text with the leading "$ ". Two are the same item when stamp and text are.
struct PaidItem {
    std::string stamp;
    std::string item;
    // Billing ticks (seconds) until the next attempt after a failed one; 0:
    // due now.
    int16_t retryCountdown = 0;
    bool operator==(const PaidItem& other) const { return stamp == other.stamp && item == other.item; }
};

// Where the metadata tick stopped reading titles in a player's log: the slot,
// the end of the last title line read and that line. A log that no longer
// holds that line there is a fresh one (a player started anew).
struct TitleMark {
    int16_t slot = 0;
    size_t end = 0;
    std::string line;
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
    // not yet answered for, oldest first.
    std::vector<PaidItem> PendingReports;
    // The paid title whose airing is on air, until the stream announces
    // another title: the same paid title read again from a fresh player log
    // (a restart of a player or of the program, a switch back) is the same
    // airing. Empty when no paid airing is on air.
    std::string PaidTitleOnAir;
    TitleMark PlayerLogMark;
    // "1": the health check runs every second and the failover and return
    // overlap the players, so that nothing is silent.
    std::string FastFailover;
};

}  // namespace bf
