#include "sources/source_list.h"

#include <algorithm>
#include <array>

#include "core/stream_address.h"
#include "core/text_decode.h"
#include "core/text_file.h"

namespace bf {

int DigitSource(char first) {
    return first >= '0' && first <= '9' ? first - '0' : kNoSource;
}

std::optional<SourceTable> ReadSourceList(const std::filesystem::path& folder,
                                          const std::function<int(char first)>& sourceOf) {
    const std::optional<std::string> content = ReadWholeFile(folder / "sourcelist.ini");
    if (!content) return std::nullopt;
    SourceTable table;
    ForEachLine(*content, [&](std::string_view line) {
        if (line.size() < 3) return;
        const int source = sourceOf(line[0]);
        if (source < 0 || source >= static_cast<int>(table.size())) return;
        SourceEntry& entry = table[static_cast<size_t>(source)];
        const std::string_view key = line.substr(1, 2);
        const std::string_view value = line.substr(3);
        if (key == "n:") entry.name = value;
        if (key == "u:") entry.url = value;
        if (key == "s:") entry.command = value;
    });
    return table;
}

SourceEntry FindSource(const std::filesystem::path& folder, std::string_view number) {
    // Only a one-character number can equal the first three characters of a
    // line together with its key; any other number finds nothing.
    if (number.size() != 1) return {};
    const char wanted = number[0];
    // The lines of that one character fill entry 0.
    const auto table =
        ReadSourceList(folder, [wanted](char first) { return first == wanted ? 0 : kNoSource; });
    return table ? (*table)[0] : SourceEntry{};
}

SourceTable ReadSourceTable(const std::filesystem::path& folder) {
    const auto table = ReadSourceList(
        folder, [](char first) { return first == ';' ? kNoSource : std::max(DigitSource(first), 0); });
    return table.value_or(SourceTable{});
}

std::vector<Finding> CheckSourceListText(std::string_view text) {
    std::vector<Finding> findings;
    auto add = [&](int line, std::string message) {
        findings.push_back({"sourcelist.ini", line, std::move(message)});
    };
    std::array<int, 10> firstLine{};  // the first line of each source; 0: none
    SourceTable table;
    int number = 0;
    ForEachLine(text, [&](std::string_view line) {
        ++number;
        if (line.empty() || line.front() == ';') return;
        const int source = line.size() >= 3 ? DigitSource(line[0]) : kNoSource;
        const std::string_view key = line.size() >= 3 ? line.substr(1, 2) : std::string_view();
        if (source == kNoSource || (key != "n:" && key != "u:" && key != "s:")) {
            add(number, "not a source line (\"1n:Name\", \"1u:URL\" or \"1s:command\")");
            return;
        }
        SourceEntry& entry = table[static_cast<size_t>(source)];
        if (firstLine[static_cast<size_t>(source)] == 0) firstLine[static_cast<size_t>(source)] = number;
        if (key == "n:") entry.name = line.substr(3);
        if (key == "u:") entry.url = line.substr(3);
    });
    for (size_t n = 0; n < table.size(); ++n) {
        if (firstLine[n] != 0 && table[n].url.size() >= kShortestUrl) {
            const std::string address = StreamAddress(table[n].url);
            const AddressForm form = FormOfAddress(address);
            if (!form.unsupported.empty())
                add(firstLine[n], "source " + std::to_string(n) +
                                      (table[n].name.empty() ? "" : " (" + table[n].name + ")") + ": " +
                                      address + " cannot be played: " + form.unsupported);
        }
        if (firstLine[n] == 0 || table[n].url.size() >= kShortestUrl) continue;
        add(firstLine[n],
            "source " + std::to_string(n) + (table[n].name.empty() ? "" : " (" + table[n].name + ")") +
                (table[n].url.empty() ? " has no URL" : " has no playable URL: " + table[n].url) +
                "; a switch to it is refused");
    }
    std::ranges::stable_sort(findings, {}, &Finding::line);
    return findings;
}

BackupChain ParseBackupChain(std::string_view text) {
    BackupChain chain;
    if (text.find_first_not_of(" \t") == std::string_view::npos) {
        chain.links = {0};
        return chain;
    }
    while (!text.empty()) {
        const size_t comma = std::min(text.find(','), text.size());
        std::string word;
        for (const char c : text.substr(0, comma))
            if (c != ' ' && c != '\t') word += c;
        text.remove_prefix(std::min(comma + 1, text.size()));
        if (word.empty()) continue;
        const int number = word.size() == 1 ? DigitSource(word[0]) : kNoSource;
        if (number == kNoSource)
            chain.problems.push_back("\"" + std::string(CutAtCharacter(word, 20)) +
                                     "\" is no source (0 to 9)");
        else if (std::ranges::find(chain.links, number) != chain.links.end())
            chain.problems.push_back("source " + word + " is named twice: the second is dropped");
        else
            chain.links.push_back(static_cast<int16_t>(number));
    }
    chain.named = !chain.links.empty();
    if (!chain.named) chain.links = {0};
    return chain;
}

std::vector<int16_t> PlayableChain(std::string_view text, const SourceTable& table) {
    std::vector<int16_t> links;
    for (const int16_t number : ParseBackupChain(text).links)
        if (table[static_cast<size_t>(number)].url.size() >= kShortestUrl) links.push_back(number);
    if (links.empty() && table[0].url.size() >= kShortestUrl) links.push_back(0);
    return links;
}

}  // namespace bf
