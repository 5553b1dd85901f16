#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

namespace bf {

// --add-user NAME ROLE [FOLDER]: reads the password from `input` (asked
// twice, without echo, when it is a terminal) and writes NAME=ROLE:HASH into
// the folder's users.ini, replacing the user's line if there is one (the
// other lines, comments and faulty ones too, stay as they are). The
// file is mode 0600 and owned by the folder's owner, so that the service's
// user can read it and nobody else. Returns the exit status.
int AddWebUser(const std::filesystem::path& folder, const std::string& name, const std::string& role,
               std::FILE* input);

// --remove-user NAME [FOLDER]: takes the user's line out of users.ini.
int RemoveWebUser(const std::filesystem::path& folder, const std::string& name);

// Writes users.ini as the commands above do; false with errno on failure.
bool WriteUsersFile(const std::filesystem::path& file, std::string_view text);

}  // namespace bf
