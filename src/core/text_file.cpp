#include "core/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fstream>

namespace bf {

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    ForEachLine(text, [&](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

namespace {

// Reads from `fd` into `text` from `used` on until its end or until `text` is
// full; `grow` lets `text` grow when full. False on a read error.
bool ReadInto(int fd, std::string& text, size_t& used, bool grow) {
    for (;;) {
        if (used == text.size()) {
            if (!grow) return true;
            text.resize(text.size() * 2 + 4096);
        }
        const ssize_t n = ::read(fd, text.data() + used, text.size() - used);
        if (n < 0) return false;
        if (n == 0) return true;
        used += static_cast<size_t>(n);
    }
}

}  // namespace

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {  // a folder or a pipe is no text file
        ::close(fd);
        return std::nullopt;
    }
    // Sized once from the file, so a large file is read without regrowing;
    // a file that grows meanwhile is read to its new end.
    std::string content;
    size_t used = 0;
    bool read = false;
    try {
        content.resize(static_cast<size_t>(st.st_size) + 1);
        read = ReadInto(fd, content, used, true);
    } catch (const std::bad_alloc&) {
    }
    ::close(fd);
    if (!read) return std::nullopt;
    content.resize(used);
    return content;
}

namespace {

// Up to `maxBytes` bytes of the file: its last ones when `fromEnd`, else its
// first ones; nullopt when it cannot be read.
std::optional<std::string> ReadFilePart(const std::filesystem::path& path, size_t maxBytes, bool fromEnd) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (fromEnd && ::fstat(fd, &st) == 0 && static_cast<size_t>(st.st_size) > maxBytes)
        ::lseek(fd, static_cast<off_t>(static_cast<size_t>(st.st_size) - maxBytes), SEEK_SET);
    std::string part(maxBytes, '\0');
    size_t used = 0;
    const bool read = ReadInto(fd, part, used, false);
    ::close(fd);
    if (!read) return std::nullopt;
    part.resize(used);
    return part;
}

}  // namespace

std::optional<std::string> ReadFileHead(const std::filesystem::path& path, size_t maxBytes) {
    return ReadFilePart(path, maxBytes, false);
}

std::optional<std::string> ReadFileTail(const std::filesystem::path& path, size_t maxBytes) {
    return ReadFilePart(path, maxBytes, true);
}

std::optional<FilePart> ReadFileFrom(const std::filesystem::path& path, uint64_t offset, size_t maxBytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    FilePart part;
    part.identity = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    part.size = static_cast<uint64_t>(st.st_size);
    // The file may have grown since fstat: it is read on to its end, within
    // the bound.
    const uint64_t known = part.size > offset ? part.size - offset : 0;
    part.bytes.resize(static_cast<size_t>(std::min<uint64_t>(maxBytes, known)));
    size_t used = 0;
    bool read = true;
    for (;;) {
        if (used == part.bytes.size()) {
            if (used >= maxBytes) break;
            part.bytes.resize(std::min(maxBytes, used + 65536));
        }
        const ssize_t n = ::pread(fd, part.bytes.data() + used, part.bytes.size() - used,
                                  static_cast<off_t>(offset + used));
        if (n < 0) read = false;
        if (n <= 0) break;
        used += static_cast<size_t>(n);
    }
    ::close(fd);
    if (!read) return std::nullopt;
    part.bytes.resize(used);
    part.size = std::max<uint64_t>(part.size, offset + used);
    return part;
}

bool CutAppendedFile(const std::filesystem::path& path, const FileIdentity& identity, uint64_t size,
                     std::string_view keep) {
    if (keep.size() >= size) return false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    bool cut = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
               FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)} == identity &&
               static_cast<uint64_t>(st.st_size) == size;
    // Written over bytes the caller has read, then cut after: the writer's
    // bytes land after `keep` whenever they come, never before it.
    for (size_t done = 0; cut && done < keep.size();) {
        const ssize_t n = ::pwrite(fd, keep.data() + done, keep.size() - done, static_cast<off_t>(done));
        if (n <= 0)
            cut = false;
        else
            done += static_cast<size_t>(n);
    }
    cut = cut && ::ftruncate(fd, static_cast<off_t>(keep.size())) == 0;
    ::close(fd);
    return cut;
}

std::optional<std::vector<std::string>> ReadLines(const std::filesystem::path& path) {
    auto content = ReadWholeFile(path);
    if (!content) return std::nullopt;
    return SplitLines(*content);
}

static bool WriteAll(int fd, std::string_view content) {
    size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Syncs a folder, so that a rename in it is on the disk.
static bool SyncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

bool ReplaceFile(const std::filesystem::path& given, std::string_view content, Durability durability) {
    // A symlink is written through: an engineer who links metadata.txt to the
    // encoder's input wants that file updated, not the link replaced, even
    // while the file it names is still to be made.
    std::filesystem::path path = given;
    std::error_code ec;
    for (int hops = 0; hops < 8 && std::filesystem::is_symlink(path, ec); ++hops) {
        const std::filesystem::path target = std::filesystem::read_symlink(path, ec);
        if (ec) break;
        path = path.parent_path() / target;  // an absolute target replaces the whole path
    }
    // An existing file keeps its permissions, and one that nobody may write
    // (an operator froze it) stays as it is, though the folder would allow
    // the rename.
    struct stat old {};
    const bool exists = ::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    if (exists && (old.st_mode & 0222) == 0) {
        errno = EACCES;
        return false;
    }

    static std::atomic<unsigned> counter{0};
    std::filesystem::path temp = path;
    temp += ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool written = WriteAll(fd, content) && (!exists || ::fchmod(fd, old.st_mode & 07777) == 0) &&
                         (durability == Durability::Quick || ::fsync(fd) == 0);
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || std::rename(temp.c_str(), path.c_str()) != 0) {
        const int error = errno;  // why, for the caller
        ::unlink(temp.c_str());
        errno = error;
        return false;
    }
    return durability == Durability::Quick || SyncFolder(path.parent_path());
}

int RemoveLeftTemporaries(const std::filesystem::path& folder) {
    int removed = 0;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const size_t at = name.rfind(".tmp");
        if (at == std::string::npos || at == 0) continue;
        const std::string_view tail = std::string_view(name).substr(at + 4);
        const size_t dash = tail.find('-');
        const auto digits = [](std::string_view t) {
            return !t.empty() && t.find_first_not_of("0123456789") == std::string_view::npos;
        };
        if (dash == std::string_view::npos || !digits(tail.substr(0, dash)) || !digits(tail.substr(dash + 1)))
            continue;
        std::error_code removeError;
        if (it->is_regular_file(removeError) && std::filesystem::remove(it->path(), removeError)) ++removed;
    }
    return removed;
}

bool AppendWhole(int fd, std::string_view content, uint64_t sizeBefore) {
    if (WriteAll(fd, content)) return true;
    const int error = errno;
    // Nothing else appends to the station's own files meanwhile.
    while (::ftruncate(fd, static_cast<off_t>(sizeBefore)) != 0 && errno == EINTR) {
    }
    errno = error;
    return false;
}

bool AppendWhole(int fd, std::string_view content) {
    struct stat before {};
    return ::fstat(fd, &before) == 0 && AppendWhole(fd, content, static_cast<uint64_t>(before.st_size));
}

bool AppendToFile(const std::filesystem::path& path, std::string_view content) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool written = AppendWhole(fd, content);
    const int error = errno;
    const bool closed = ::close(fd) == 0;
    if (!written) errno = error;
    return closed && written;
}

void RemoveFile(const std::filesystem::path& path, Durability durability) {
    std::error_code ec;
    if (std::filesystem::remove(path, ec) && durability == Durability::Synced) SyncFolder(path.parent_path());
}

}  // namespace bf
