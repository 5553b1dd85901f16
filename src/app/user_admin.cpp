#include "app/user_admin.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "core/password_hash.h"
#include "core/text_file.h"
#include "core/web_users.h"

namespace bf {

namespace {

constexpr size_t kLongestPassword = 1024;

// One line of `input`, its line end taken off; nullopt at its end.
std::optional<std::string> ReadPasswordLine(std::FILE* input, const char* prompt) {
    const int fd = ::fileno(input);
    const bool terminal = ::isatty(fd);
    termios saved{};
    if (terminal) {
        std::fputs(prompt, stderr);
        ::tcgetattr(fd, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    std::string line;
    int c = 0;
    while ((c = std::fgetc(input)) != EOF && c != '\n')
        if (line.size() <= kLongestPassword) line += static_cast<char>(c);
    if (terminal) {
        ::tcsetattr(fd, TCSAFLUSH, &saved);
        std::fputs("\n", stderr);
    }
    if (c == EOF && line.empty()) return std::nullopt;
    if (line.ends_with('\r')) line.pop_back();
    return line;
}

std::optional<std::string> ReadUsersText(const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return std::string();
    std::optional<std::string> text = ReadWholeFile(file);
    if (!text) std::fprintf(stderr, "brackenfield: cannot read %s: %s\n", file.c_str(), std::strerror(errno));
    return text;
}

// The users.ini text with the line that gives `name` its password made
// `line` (taken out when empty), or `line` appended when none does; its
// other lines (comments, lines the station skips) as they were. A later line
// for the same name, which the station skips, goes too: once the first was
// changed or taken out it would count. False when no line gave `name` a
// password.
bool PutUserLine(std::string& text, const std::string& name, const std::string& line) {
    std::string out;
    bool found = false;
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size() - 1) + 1;
        const std::string_view current = std::string_view(text).substr(at, end - at);
        at = end;
        if (!ParseUsersFile(current).users.contains(name)) {
            out += current;
            continue;
        }
        if (!found) out += line;
        found = true;
    }
    if (!found && !line.empty()) out += (out.empty() || out.ends_with('\n') ? "" : "\n") + line;
    text = std::move(out);
    return found;
}

int Write(const std::filesystem::path& file, const std::string& text) {
    if (WriteUsersFile(file, text)) return 0;
    std::fprintf(stderr, "brackenfield: cannot write %s: %s\n", file.c_str(), std::strerror(errno));
    return 1;
}

}  // namespace

bool WriteUsersFile(const std::filesystem::path& file, std::string_view text) {
    struct stat folder {};
    if (::stat(file.parent_path().c_str(), &folder) != 0) return false;
    const std::string temporary = file.string() + ".tmp" + std::to_string(::getpid());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = ::fchmod(fd, 0600) == 0;
    // Owned by the folder's owner: the service's user reads it.
    if (ok && ::geteuid() == 0) ok = ::fchown(fd, folder.st_uid, folder.st_gid) == 0;
    for (size_t done = 0; ok && done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        ok = n > 0;
        done += ok ? static_cast<size_t>(n) : 0;
    }
    ok = ok && ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    if (ok && ::rename(temporary.c_str(), file.c_str()) == 0) return true;
    ::unlink(temporary.c_str());
    errno = ok ? errno : error;
    return false;
}

int AddWebUser(const std::filesystem::path& folder, const std::string& name, const std::string& role,
               std::FILE* input) {
    const std::optional<WebRole> kind = WebRoleNamed(role);
    if (!IsWebUserName(name) || !kind) {
        std::fprintf(stderr,
                     "brackenfield: --add-user wants NAME (1 to 32 of a-z 0-9 . _ -) and ROLE (operator or "
                     "engineer)\n");
        return 2;
    }
    const std::filesystem::path file = folder / "users.ini";
    std::optional<std::string> text = ReadUsersText(file);
    if (!text) return 1;
    const std::optional<std::string> password = ReadPasswordLine(input, "Password: ");
    if (!password || password->empty()) {
        std::fprintf(stderr, "brackenfield: no password given\n");
        return 1;
    }
    if (::isatty(::fileno(input))) {
        if (ReadPasswordLine(input, "Password again: ") != password) {
            std::fprintf(stderr, "brackenfield: the passwords differ\n");
            return 1;
        }
    }
    const std::optional<std::string> hash = HashPassword(*password);
    if (!hash) {
        std::fprintf(stderr, "brackenfield: the password could not be hashed (memory?)\n");
        return 1;
    }
    PutUserLine(*text, name, UsersFileText({{name, {*kind, *hash}}}));
    if (const int status = Write(file, *text)) return status;
    std::printf("%s added as %s to %s\n", name.c_str(), role.c_str(), file.c_str());
    return 0;
}

int RemoveWebUser(const std::filesystem::path& folder, const std::string& name) {
    const std::filesystem::path file = folder / "users.ini";
    std::optional<std::string> text = ReadUsersText(file);
    if (!text) return 1;
    if (!PutUserLine(*text, name, "")) {
        std::fprintf(stderr, "brackenfield: %s has no user %s\n", file.c_str(), name.c_str());
        return 1;
    }
    if (const int status = Write(file, *text)) return status;
    std::printf("%s removed from %s\n", name.c_str(), file.c_str());
    return 0;
}

}  // namespace bf
