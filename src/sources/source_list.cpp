#include "sources/source_list.h"

#include <optional>

#include "core/station.h"
#include "core/text_file.h"

namespace bf {

namespace {

// The operator may edit the file at any time, so it is read from the start on
// every use. A missing or unreadable file reads as a file without entries.
std::string ReadSourceList(const Station& station) {
    std::optional<std::string> content = ReadWholeFile(station.file("sourcelist.ini"));
    return content ? std::move(*content) : std::string();
}

}  // namespace

SourceEntry FindSource(const Station& station, std::string_view number) {
    SourceEntry entry;
    // Only a one-character number can equal the first three characters of a
    // line together with its key; any other number finds nothing.
    if (number.size() != 1) return entry;
    const std::string content = ReadSourceList(station);
    ForEachLine(content, [&](std::string_view line) {
        if (line.size() < 3 || line[0] != number[0]) return;
        const std::string_view key = line.substr(1, 2);
        const std::string_view value = line.substr(3);
        if (key == "n:") entry.name = value;
        if (key == "u:") entry.url = value;
        if (key == "s:") entry.command = value;
    });
    return entry;
}

SourceTable ReadSourceTable(const Station& station) {
    SourceTable table;
    const std::string content = ReadSourceList(station);
    ForEachLine(content, [&](std::string_view line) {
        if (line.empty() || line[0] == ';' || line.size() < 3) return;
        // A first character that is not a digit files the line under 0.
        const size_t index = (line[0] >= '0' && line[0] <= '9') ? static_cast<size_t>(line[0] - '0') : 0;
        const std::string_view key = line.substr(1, 2);
        if (key == "n:") table.names[index] = line.substr(3);
        if (key == "u:") table.urls[index] = line.substr(3);
    });
    return table;
}

}  // namespace bf
