#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bf {

// Splits text into lines. A line ends at CR LF, at a lone CR or at a lone LF;
// the last line needs no line end. Lines keep every other byte.
std::vector<std::string> SplitLines(std::string_view text);

// Calls `onLine` for each line of `text` (same rules as SplitLines) without
// copying. Line ends are found with memchr, many bytes a step: the player's
// log reaches tens of megabytes and is read on the event thread.
template <typename F>
void ForEachLine(std::string_view text, F&& onLine) {
    if (text.empty()) return;  // its data() may be null, which memchr must not see
    const char* const end = text.data() + text.size();
    auto find = [end](const char* from, char c) {
        const void* hit = std::memchr(from, c, static_cast<size_t>(end - from));
        return hit ? static_cast<const char*>(hit) : end;
    };
    const char* pos = text.data();
    // Each search resumes where the last one stopped, so a text without any
    // CR (or LF) is still scanned once, not once per line.
    const char* nextCr = find(pos, '\r');
    const char* nextLf = find(pos, '\n');
    while (pos < end) {
        if (nextCr < pos) nextCr = find(pos, '\r');
        if (nextLf < pos) nextLf = find(pos, '\n');
        const char* lineEnd = std::min(nextCr, nextLf);
        onLine(std::string_view(pos, static_cast<size_t>(lineEnd - pos)));
        if (lineEnd == end) break;
        pos = lineEnd + 1;
        if (*lineEnd == '\r' && pos < end && *pos == '\n') ++pos;
    }
}

// The whole file as bytes; nullopt when it cannot be opened or read, or is
// too big to hold in memory.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);

// The first `maxBytes` bytes of the file (all of a shorter one); nullopt when
// it cannot be opened or read.
std::optional<std::string> ReadFileHead(const std::filesystem::path& path, size_t maxBytes);

// The last `maxBytes` bytes of the file (all of a shorter one); nullopt when
// it cannot be opened or read.
std::optional<std::string> ReadFileTail(const std::filesystem::path& path, size_t maxBytes);

// Which file a path named when it was read: its device and inode.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// Bytes of a file read from an offset on, with the file's identity and its
// size at the read.
struct FilePart {
    std::string bytes;
    FileIdentity identity;
    uint64_t size = 0;
};

// Up to `maxBytes` bytes of the file from byte `offset` on (none when it ends
// there or before), so that a file another program appends to is read on
// from where the last read stopped, never whole; nullopt when it is missing,
// no regular file or cannot be read.
std::optional<FilePart> ReadFileFrom(const std::filesystem::path& path, uint64_t offset, size_t maxBytes);

// Cuts a file another program appends to (through a descriptor opened with
// O_APPEND, as a player's log is) down to `keep`: when the file at `path` is
// still `identity` and `size` bytes long, `keep` is written at its start and
// the file cut after it, so that the writer's next bytes follow `keep`.
// False, and nothing changed, when the file is another one or has grown since
// the caller read it to `size` (the caller reads on and tries again), or on
// failure. What the writer adds in the instant between that test and the
// cut is lost.
bool CutAppendedFile(const std::filesystem::path& path, const FileIdentity& identity, uint64_t size,
                     std::string_view keep);

// The file's lines; nullopt when it cannot be opened or read.
std::optional<std::vector<std::string>> ReadLines(const std::filesystem::path& path);

// Replaces the file's content: written under a temporary name in the same
// folder and renamed into place, so a reader never sees a torn or empty file.
// A symlink is followed to the file it names; an existing file keeps its
// permissions, and a file without any write permission is not replaced.
// Returns false (and leaves the old file as it was) on any failure, with errno
// telling why. A Synced
// file (one that must survive a power cut: the billing queue, a downloaded
// schedule) is on the disk before it counts: its bytes and then its folder
// are synced.
enum class Durability { Quick, Synced };
bool ReplaceFile(const std::filesystem::path& path, std::string_view content,
                 Durability durability = Durability::Quick);

// Removes the temporary files of replacements that a crash or a power cut
// left in `folder` ("NAME.tmpPID-N"); returns how many.
int RemoveLeftTemporaries(const std::filesystem::path& folder);

// Appends to the file, creating it when missing, whole or not at all (see
// AppendWhole). Returns false on failure, with errno telling why.
bool AppendToFile(const std::filesystem::path& path, std::string_view content);

// Writes `content` at the end of the file open for appending as `fd`, whole
// or not at all: a write that falls short (a full disk) is undone, the file
// cut back to its size before, so that no reader ever meets half a row, and
// an open quote never swallows the rows after it. False on failure, with
// errno telling why.
bool AppendWhole(int fd, std::string_view content);
// The same for a file whose size before the write the caller knows.
bool AppendWhole(int fd, std::string_view content, uint64_t sizeBefore);

// Removes the file; a failure (file missing, folder read-only) is ignored.
// A Synced removal (of a file that must not come back after a power cut: the
// billing queue) syncs the folder after it.
void RemoveFile(const std::filesystem::path& path, Durability durability = Durability::Quick);

}  // namespace bf
