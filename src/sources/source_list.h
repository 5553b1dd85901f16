#pragma once

#include <array>
#include <string>
#include <string_view>

namespace bf {

struct Station;

struct SourceEntry {
    std::string name;
    std::string url;
    std::string command;
};

struct SourceTable {
    std::array<std::string, 10> names;
    std::array<std::string, 10> urls;
};

// Looks one source up in sourcelist.ini by its one-character number text.
SourceEntry FindSource(const Station& station, std::string_view number);

// Reads the names and URLs of all ten sources of sourcelist.ini.
SourceTable ReadSourceTable(const Station& station);

}  // namespace bf
