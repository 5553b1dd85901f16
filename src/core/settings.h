#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/finding.h"
#include "core/settings_record.h"

namespace bf {

struct Station;

// Looks a key up in section [Brackenfield] of brackenfield.ini. Section and
// key match without regard to case; the value is cut to 119 bytes and at its
// first NUL; a missing file or key reads as the working folder's path. A
// UTF-8 byte-order mark at the start of the file is skipped.
std::string ReadSetting(const Station& station, std::string_view key);

// Reads the 26 keys into a new settings record that takes the station's
// current one's place, flags as booleans (on only at
// exactly "1") and numbers by the leading-number parse, then the program's own
// keys (FastFailover, SilenceSeconds, SilenceLevel, LastResortFile,
// OnEventCommand, the title outputs' Rds* and IcecastMetadataURL, these read
// uncut), which are never reported missing. A missing key reads as
// ReadSetting's default, except: DefaultStrapline reads as empty,
// ExtraMetaNowPlaying as "OFF", and APIKey as nullopt (without it, or with
// the example station's key, the API stays closed: see core/api_key; the
// station log says why). The keys whose values go out to other services
// (APIKey, which is also the billing key, ManagementKey, ManagementSwitcher,
// the AIR keys, the weather's key and location) read as empty when missing
// (APIKey as nullopt), and a feature that
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
