#pragma once

#include <array>
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

// Where the metadata tick stands in the active player's log: the slot and
// the file, the end of the last complete line read and the bytes just before
// it. A log that is another file or no longer holds those bytes there is a
// fresh one (a player started anew), read from its start. `kept` holds, by
// the reader's table, the lines kept when the log is cut: its last stream
// header lines, its start of playback and its last title line.
// `skipping`: the read is inside a line too long to take, skipped to its end.
// `startedFar`: the start of playback lies beyond the log's first bytes,
// where the switch and the stream watch look for it.
struct PlayerLogPlace {
    int16_t slot = 0;
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t end = 0;
    std::string before;
    std::vector<std::string> kept;
    bool skipping = false;
    bool startedFar = false;
};

// The station's record beside what is on air (station.onAir) and the
// schedule (station.schedule). Integers are 16-bit, the uptime 32-bit.
// Settings fields carry the names of their keys and never change after
// startup. PlayURL mirrors the URL on air.
// A stalled server (a relay until its source times out, a CDN edge, an
// encoder's buffer) hands each new listener a burst: 64 KB, some 10 s of
// audio, sent at once or at most at the audio's own pace, and then nothing.
// Its bytes flow for at most 10 s, and the stall after them is heard 2 s
// later; a stream that has flowed for 15 s without a stall is no burst.
inline constexpr int16_t kDefaultReturnHoldSeconds = 15;

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
    bool APIallowed = false;
    std::string APIkey;
    bool AIRenable = false;
    std::string AIRid;
    std::string AIRpartnerid;
    std::string AIRpartnerkey;
    std::string AIRLastArtist;
    std::string AIRLastTitle;
    std::string DoNotPrefixWhenContains;
    bool MetaWeather = false;
    std::string MetaOpenWeatherMapKey;
    std::string MetaLocation;
    int16_t WeatherCounter = 0;
    int16_t TimerCount = 0;
    std::string AIRdefaultTitle;
    std::string AIRdefaultArtist;
    int16_t MinMax = 0;
    std::string RXmetadata;
    std::string PreviousMetadata;
    bool FilterSystem = false;
    int16_t HideTaskbar = 0;
    int32_t SystemRuntime = 0;
    std::string SystemStart;
    bool CheckSource = false;
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
    // The last title the title intake took, whoever read it: the title
    // before the next one the stream announces.
    std::string TitleTaken;
    PlayerLogPlace PlayerLog;
    // PendingReports has changed since kPendingReportsFile was written.
    bool PendingReportsUnsaved = false;
    // The queue was full and a paid airing went unreported.
    bool PendingReportsFull = false;
    // Why the last configuration download failed; empty after a success.
    std::string LastConfigFailure;
    // Outside services (OutsideService) whose last request failed.
    std::array<bool, 4> ServiceFailing{};
    // The billing reporter runs (Tallyway=1).
    bool Tallyway = false;
    // The program's own settings, beside the documented keys. FastFailover:
    // the health check decides twice a second by what the stream monitor
    // hears, and the failover and return overlap the players, so that
    // nothing is silent. SilenceSeconds (0: off) and
    // SilenceLevel (dBFS): how long and how far down the air may be silent
    // before the backup takes over. ReturnHoldSeconds: how long the selected
    // source's stream must have flowed without a stall before it returns
    // from a failover. LastResortFile: an audio file played when
    // no source plays. OnEventCommand: a program told of every event.
    bool FastFailover = false;
    int16_t SilenceSeconds = 0;
    int16_t SilenceLevel = -50;
    int16_t ReturnHoldSeconds = kDefaultReturnHoldSeconds;
    std::string LastResortFile;
    std::string OnEventCommand;
};

}  // namespace bf
