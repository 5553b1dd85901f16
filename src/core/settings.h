#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/finding.h"

namespace bf {

struct Station;

// A stalled server (a relay until its source times out, a CDN edge, an
// encoder's buffer) hands each new listener a burst: 64 KB, some 10 s of
// audio, sent at once or at most at the audio's own pace, and then nothing.
// Its bytes flow for at most 10 s, and the stall after them is heard 2 s
// later; a stream that has flowed for 15 s without a stall is no burst.
inline constexpr int16_t kDefaultReturnHoldSeconds = 15;

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
    bool APIallowed = false;
    std::string APIkey;
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
    // flowed without a stall before it returns from a failover.
    // LastResortFile: an audio file played when no source plays.
    // OnEventCommand: a program told of every event. KeepAirOnStart: a start
    // keeps the players the last run left on air (see sources/player_adoption)
    // and the now-playing files.
    bool FastFailover = false;
    int16_t SilenceSeconds = 0;
    int16_t SilenceLevel = -50;
    int16_t ReturnHoldSeconds = kDefaultReturnHoldSeconds;
    std::string LastResortFile;
    std::string OnEventCommand;
    bool KeepAirOnStart = false;

    // The keys ("AIRid, AIRpartnerKey") a feature lacks that keep it off
    // although its setting turns it on; empty when it lacks none.
    struct Lacking {
        std::string air, management, billing, weather;
        bool operator==(const Lacking&) const = default;
    } lacking;
};

// Looks a key up in section [Brackenfield] of brackenfield.ini. Section and
// key match without regard to case; the value is cut to 119 bytes and at its
// first NUL; a missing file or key reads as the working folder's path. A
// UTF-8 byte-order mark at the start of the file is skipped.
std::string ReadSetting(const Station& station, std::string_view key);

// Reads the 26 keys into a new settings record that takes the station's
// current one's place, flags as booleans (on only at
// exactly "1") and numbers by the leading-number parse, then the program's own
// keys (FastFailover, SilenceSeconds, SilenceLevel, LastResortFile,
// OnEventCommand), which are never reported missing. A missing key reads as
// ReadSetting's default, except: DefaultStrapline reads as empty,
// ExtraMetaNowPlaying as "OFF", and without APIKey or with the example
// station's key the API stays closed (lblAPIstatus and the station log say
// why). The keys whose values go out to other services (APIKey, which is also
// the billing key, ManagementKey, ManagementSwitcher, the AIR keys, the
// weather's key and location) read as empty when missing, and a feature that
// would send them stays off; its label and a station log line name the keys
// it lacks. One station log line names the missing keys and the values cut
// to 119 bytes, or tells that the file could not be read; another warns of
// an API open with an empty key; every other problem CheckSettingsText finds
// gets a line of its own.
void LoadSettings(Station& station);

// The keys (as brackenfield.ini names them) whose values differ between two
// settings records.
std::vector<std::string> ChangedKeys(const Settings& before, const Settings& after);

// What is wrong in a settings file's text: values a key does not take,
// numbers outside their key's range (with what is used instead), keys set
// twice, unknown keys (with the nearest known name).
std::vector<Finding> CheckSettingsText(std::string_view text);

// The same for the station folder's brackenfield.ini, values cut to 119
// bytes included; a missing or unreadable file is a finding too.
std::vector<Finding> CheckSettings(const std::filesystem::path& folder);

// A key's line in the station folder's brackenfield.ini and its value as
// LoadSettings reads it; nullopt when the key or the file is missing.
struct SettingLine {
    int line = 0;
    std::string value;
};
std::optional<SettingLine> FindSetting(const std::filesystem::path& folder, std::string_view key);

}  // namespace bf
