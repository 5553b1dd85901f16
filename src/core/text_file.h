#pragma once

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
// copying.
template <typename F>
void ForEachLine(std::string_view text, F&& onLine) {
    size_t start = 0;
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            onLine(text.substr(start, i - start));
            if (c == '\r' && i + 1 < n && text[i + 1] == '\n') ++i;
            start = ++i;
        } else {
            ++i;
        }
    }
    if (start < n) onLine(text.substr(start));
}

// The whole file as bytes; nullopt when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);

// The file's lines; nullopt when it cannot be opened or read.
std::optional<std::vector<std::string>> ReadLines(const std::filesystem::path& path);

// Replaces the file's content: written under a temporary name in the same
// folder and renamed into place, so a reader never sees a torn or empty file.
// Returns false (and leaves the old file as it was) on any failure.
bool ReplaceFile(const std::filesystem::path& path, std::string_view content);

// Appends to the file, creating it when missing. Returns false on failure.
bool AppendToFile(const std::filesystem::path& path, std::string_view content);

// Removes the file; a failure (file missing, folder read-only) is ignored.
void RemoveFile(const std::filesystem::path& path);

}  // namespace bf
