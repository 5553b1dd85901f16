#pragma once

#include <string>
#include <string_view>

namespace bf {

struct Station;

// Looks a key up in section [Brackenfield] of brackenfield.ini. Section and
// key match without regard to case; the value is cut to 119 bytes and at its
// first NUL; a missing file or key reads as the working folder's path. A
// UTF-8 byte-order mark at the start of the file is skipped.
std::string ReadSetting(const Station& station, std::string_view key);

// Reads the 26 keys into the station state and
// returns the Tallyway value, which only the startup uses. A missing key reads
// as ReadSetting's default, except: DefaultStrapline reads as empty,
// ExtraMetaNowPlaying as "OFF", and without APIKey or with the example
// station's key the API stays closed (APIallowed reads as "0", lblAPIstatus
// and the station log say why). The keys whose values go
// out to other services (AIRdefaultTitle, AIRdefaultArtist, APIKey, which is
// also the billing key, ManagementKey, ManagementSwitcher) read as empty when
// missing, and a feature that would send them stays off: AIRenable reads as
// "0", ManagementUpdate and CheckForChanges as 0, Tallyway as "0"; its label
// and a station log line name the keys it lacks. One station log line names
// the missing keys and the values cut to 119 bytes, or tells that the file
// could not be read; another warns of an API open with an empty key.
// FastFailover, read last, is no documented key: absent, it reads as "0".
std::string LoadSettings(Station& station);

}  // namespace bf
