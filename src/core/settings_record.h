#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace bf {

// A stalled server (a relay until its source times out, a CDN edge, an
// encoder's buffer) hands each new listener a burst: 64 KB, some 10 s of
// audio, sent at once or at most at the audio's own pace, and then nothing.
// Its bytes flow for at most 10 s, and the stall after them is heard 2 s
// later; a stream that has flowed for 15 s without a stall is no burst.
inline constexpr int16_t kDefaultReturnHoldSeconds = 15;

// A stall heard for this long fails the source at once, in both modes: about
// what the player's cache covers, so that a hiccup of a few seconds is
// bridged by the cache and fails nothing over.
inline constexpr int16_t kDefaultStallSeconds = 4;

// The station's settings from brackenfield.ini, typed, each field named as
// its key (APIkey is APIKey, URLbase is MetaURL). Read whole at the start and
// never changed: reading the settings again makes a new record that takes
// this one's place (Station::replaceSettings).
struct Settings {
    std::string DefaultStrapline;
    std::string ExtraMetaNowPlaying;
    int16_t ManagementUpdate = 0;
    std::string ManagementURL;
    std::string ManagementSendURL;
    std::string ManagementKey;
    std::string ManagementSwitcher;
    int16_t CheckForChanges = 0;
    std::string CheckForChangeURL;
    // As the file says: whether the API may answer is ApiOpen's
    // (core/api_key) to judge, by this and the key.
    bool APIallowed = false;
    // Also the billing report's key. nullopt: no APIKey line.
    std::optional<std::string> APIkey;
    bool AIRenable = false;
    std::string AIRid;
    std::string AIRpartnerid;
    std::string AIRpartnerkey;
    std::string AIRdefaultTitle;
    std::string AIRdefaultArtist;
    std::string DoNotPrefixWhenContains;
    bool MetaWeather = false;
    std::string MetaOpenWeatherMapKey;
    std::string MetaLocation;
    bool FilterSystem = false;
    int16_t HideTaskbar = 0;
    bool CheckSource = false;
    std::string URLbase;
    // The billing reporter runs (Tallyway=1).
    bool Tallyway = false;
    // The program's own keys, beside the documented ones. FastFailover: the
    // health check decides twice a second by what the stream monitor hears,
    // and the failover and return overlap the players, so that nothing is
    // silent. SilenceSeconds (0: off) and SilenceLevel (dBFS): how long and
    // how far down the air may be silent before the backup takes over.
    // ReturnHoldSeconds: how long the selected source's stream must have
    // flowed without a stall before it returns from a failover. StallSeconds:
    // how long a stall is heard before it fails the source.
    // LastResortFile: an audio file played when no source plays.
    // OnEventCommand: a program told of every event. KeepAirOnStart: a start
    // keeps the players the last run left on air (see sources/player_adoption)
    // and the now-playing files. BackupChain: the sources tried in order
    // when the selected one fails ("0,7,9"; empty: source 0).
    // StandbyCheck: the chain's links not on air are heard by monitors of
    // their own (with CheckSource only).
    bool FastFailover = false;
    int16_t SilenceSeconds = 0;
    int16_t SilenceLevel = -50;
    int16_t ReturnHoldSeconds = kDefaultReturnHoldSeconds;
    int16_t StallSeconds = kDefaultStallSeconds;
    std::string LastResortFile;
    std::string OnEventCommand;
    std::string BackupChain;
    bool StandbyCheck = false;
    bool KeepAirOnStart = false;
    // The title outputs beside the files (metadata/title_outputs.h): the RDS
    // encoder's link and lines, and the station's own Icecast mount. Their
    // values are read uncut.
    std::string RdsTarget;
    std::string RdsCommand = "TEXT={text}";
    std::string RdsPsCommand;
    int16_t RdsPsMaxLength = 8;
    std::string RdsLineEnd = "CR";
    int16_t RdsMaxLength = 64;
    std::string RdsCharset = "ascii";
    int16_t RdsRepeatSeconds = 60;
    std::string IcecastMetadataURL;
    // RemotePlaylistPrivate: a remote playlist may name addresses of the
    // station's private network (its loopback, link-local and unspecified
    // ones never).
    bool RemotePlaylistPrivate = true;
    // The player on air replaced by a fresh one at a quiet moment
    // (sources/watchdog): once it is PlayerRefreshHours old (0: off,
    // else 0.01 to 720), daily at PlayerRefreshAt (minutes after midnight,
    // from "HH:MM"; -1: off), and once its processes together hold more
    // than PlayerMemoryLimitMB (0: off).
    double PlayerRefreshHours = 0;
    int16_t PlayerRefreshAt = -1;
    int16_t PlayerMemoryLimitMB = 0;
    // The webhook told when trouble begins and ends (empty: none), read
    // uncut up to 2,048 bytes; NotifyFormat "json" (a JSON document) or
    // "text" (its sentence alone); NotifyRepeatMinutes: how often a trouble
    // that lasts is told again, and how long one that begins again soon
    // after its end must last before it is told.
    std::string NotifyURL;
    std::string NotifyFormat = "json";
    int16_t NotifyRepeatMinutes = 60;

    // The keys ("AIRid, AIRpartnerKey") a feature lacks that keep it off
    // although its setting turns it on; empty when it lacks none.
    struct Lacking {
        std::string air, management, billing, weather;
        bool operator==(const Lacking&) const = default;
    } lacking;
};

}  // namespace bf
