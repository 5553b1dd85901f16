#include "platform/proc_process_stats.h"

#include <unistd.h>

#include <charconv>
#include <chrono>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace bf {

namespace {

// The files read here are a few hundred bytes; the cap bounds a surprise.
constexpr std::streamsize kMostBytes = 64 * 1024;

std::optional<std::string> ReadSmallFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text(static_cast<size_t>(kMostBytes), '\0');
    in.read(text.data(), kMostBytes);
    text.resize(static_cast<size_t>(in.gcount()));
    return text;
}

std::optional<double> Number(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end == text.data()) return std::nullopt;
    return value;
}

std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    size_t at = 0;
    while ((at = text.find_first_not_of(" \t\n", at)) != std::string_view::npos) {
        const size_t end = std::min(text.find_first_of(" \t\n", at), text.size());
        words.push_back(text.substr(at, end - at));
        at = end;
    }
    return words;
}

// The value after `label` on the line that begins with it.
std::optional<double> LabelledNumber(const std::optional<std::string>& text, std::string_view label) {
    if (!text) return std::nullopt;
    const size_t at = text->starts_with(label) ? 0 : text->find("\n" + std::string(label));
    if (at == std::string::npos) return std::nullopt;
    const size_t from = at + label.size() + (at == 0 ? 0 : 1);
    const std::vector<std::string_view> words = Words(std::string_view(*text).substr(from, 64));
    return words.empty() ? std::nullopt : Number(words[0]);
}

}  // namespace

ProcProcessStats::ProcProcessStats(std::filesystem::path root)
    : root_(std::move(root)),
      ticksPerSecond_(static_cast<double>(::sysconf(_SC_CLK_TCK))),
      pageBytes_(static_cast<double>(::sysconf(_SC_PAGESIZE))),
      startTime_(std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count()) {
}

ProcessSample ProcProcessStats::sample() const {
    ProcessSample out;
    out.startTimeSeconds = startTime_;
    // The fields after the name, which is in parentheses and may itself
    // hold blanks and parentheses: the last ")" ends it.
    if (const std::optional<std::string> stat = ReadSmallFile(root_ / "self" / "stat")) {
        const size_t close = stat->rfind(')');
        const std::vector<std::string_view> f = Words(
            close == std::string::npos ? std::string_view() : std::string_view(*stat).substr(close + 1));
        // f[0] is field 3 of proc(5): utime 14, stime 15, rss 24.
        if (f.size() > 21 && ticksPerSecond_ > 0) {
            const std::optional<double> user = Number(f[11]), system = Number(f[12]);
            if (user && system) out.cpuSeconds = (*user + *system) / ticksPerSecond_;
            if (const std::optional<double> pages = Number(f[21]); pages && pageBytes_ > 0)
                out.residentBytes = *pages * pageBytes_;
        }
    }
    std::error_code ec;
    double open = 0;
    for (std::filesystem::directory_iterator it(root_ / "self" / "fd", ec), end; !ec && it != end;
         it.increment(ec))
        ++open;
    if (!ec) out.openFds = open;
    // "Max open files  <soft>  <hard>  files"; "unlimited" stays empty.
    out.maxFds = LabelledNumber(ReadSmallFile(root_ / "self" / "limits"), "Max open files");
    return out;
}

}  // namespace bf
