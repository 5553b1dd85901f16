#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/finding.h"

namespace bf {

struct SourceEntry {
    std::string name;
    std::string url;
    std::string command;
};

// Sources 0 (the backup) to 9.
using SourceTable = std::array<SourceEntry, 10>;

// What a line fills when its first character names no entry of the table.
constexpr int kNoSource = -1;

// The digit's value; kNoSource for any other character.
int DigitSource(char first);

// Reads the station folder's sourcelist.ini from its start (the operator may edit it at any time)
// into the table. An entry line is one character, a key ("n:", "u:" or "s:")
// and the value, taken unchanged; the last line of an entry and key wins.
// `sourceOf` gives the entry that a line's first character fills. nullopt
// when the file cannot be read.
std::optional<SourceTable> ReadSourceList(const std::filesystem::path& folder,
                                          const std::function<int(char first)>& sourceOf = DigitSource);

// Looks one source up by its one-character number text. Any character is
// looked up as itself: a line that starts with a letter is found when that
// letter is asked for. A missing file finds nothing.
SourceEntry FindSource(const std::filesystem::path& folder, std::string_view number);

// All ten sources as the source list report reads them: comment lines skip,
// a line whose first character is no digit fills source 0. A missing file
// gives empty entries.
SourceTable ReadSourceTable(const std::filesystem::path& folder);

// A source's URL can be a stream's address: 8 bytes at least.
constexpr size_t kShortestUrl = 8;

// The backup chain BackupChain names ("0,7,9": digits separated by commas,
// blanks ignored), in order; `problems` names what was dropped (a duplicate,
// a word that is no source). Unset (empty), or set without a word that is a
// source (`named` false), the chain is source 0.
struct BackupChain {
    std::vector<int16_t> links;
    std::vector<std::string> problems;
    bool named = false;
};
BackupChain ParseBackupChain(std::string_view text);

// The links that can play now, in order: the chain's with a playable URL;
// without one, source 0 as without BackupChain, when it has one.
std::vector<int16_t> PlayableChain(std::string_view text, const SourceTable& table);

// What is wrong in the source list's text: lines that are no source line
// ("Nn:", "Nu:", "Ns:" with N a digit), sources without a playable URL.
std::vector<Finding> CheckSourceListText(std::string_view text);

}  // namespace bf
