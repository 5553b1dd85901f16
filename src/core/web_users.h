#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bf {

// What a user of the browser console may do. An operator switches the
// source, leaves the backup and restarts the player; an engineer may also
// set the mode. The API key counts as an engineer.
enum class WebRole { Operator, Engineer };
inline constexpr std::array<std::string_view, 2> kWebRoleNames = {"operator", "engineer"};

std::optional<WebRole> WebRoleNamed(std::string_view name);

// A user's name: 1 to 32 of a-z, 0-9, ".", "_" and "-".
bool IsWebUserName(std::string_view name);

struct WebUser {
    WebRole role = WebRole::Operator;
    std::string hash;  // libsodium's crypto_pwhash_str, "$argon2id$..."
};
using WebUsers = std::map<std::string, WebUser, std::less<>>;

// users.ini: one line NAME=ROLE:HASH a user. Blank lines and lines starting
// with ";" or "#" are skipped; a malformed line is skipped and named in
// `problems` ("line 3: ...").
struct UsersFile {
    WebUsers users;
    std::vector<std::string> problems;
};
UsersFile ParseUsersFile(std::string_view text);
std::string UsersFileText(const WebUsers& users);

}  // namespace bf
