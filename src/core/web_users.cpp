#include "core/web_users.h"

#include <algorithm>

namespace bf {

std::optional<WebRole> WebRoleNamed(std::string_view name) {
    for (size_t i = 0; i < kWebRoleNames.size(); ++i)
        if (kWebRoleNames[i] == name) return static_cast<WebRole>(i);
    return std::nullopt;
}

bool IsWebUserName(std::string_view name) {
    return !name.empty() && name.size() <= 32 && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
    });
}

UsersFile ParseUsersFile(std::string_view text) {
    UsersFile file;
    size_t number = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++number;
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        const size_t equals = line.find('='), colon = line.find(':', equals);
        const std::string_view name = line.substr(0, equals);
        const std::optional<WebRole> role = colon == std::string_view::npos
                                                ? std::nullopt
                                                : WebRoleNamed(line.substr(equals + 1, colon - equals - 1));
        std::string why;
        if (equals == std::string_view::npos || !IsWebUserName(name))
            why = "not NAME=ROLE:HASH with a name of a-z, 0-9, '.', '_', '-'";
        else if (!role)
            why = "the role is neither operator nor engineer";
        else if (!line.substr(colon + 1).starts_with("$argon2"))
            why = "no password hash";
        else if (file.users.contains(name))
            why = "the user " + std::string(name) + " is named twice";
        if (!why.empty()) {
            file.problems.push_back("line " + std::to_string(number) + ": " + why);
            continue;
        }
        file.users[std::string(name)] = {*role, std::string(line.substr(colon + 1))};
    }
    return file;
}

std::string UsersFileText(const WebUsers& users) {
    std::string text;
    for (const auto& [name, user] : users)
        text +=
            name + "=" + std::string(kWebRoleNames[static_cast<size_t>(user.role)]) + ":" + user.hash + "\n";
    return text;
}

}  // namespace bf
