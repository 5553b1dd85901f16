#include "test_station.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <random>
#include <sstream>

#include "app/timer_table.h"
#include "console/console_dump.h"
#include "core/text_file.h"

namespace bf::test {

TempFolder::TempFolder() {
    static std::atomic<int> counter{0};
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("bf-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
             std::to_string(rd() % 100000));
    std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void TempFolder::write(std::string_view name, std::string_view content) const {
    std::ofstream out(path_ / std::string(name), std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::string TempFolder::read(std::string_view name) const {
    std::ifstream in(path_ / std::string(name), std::ios::binary);
    if (!in) return "<missing>";
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool TempFolder::exists(std::string_view name) const {
    return std::filesystem::exists(path_ / std::string(name));
}

size_t CountOf(std::string_view text, std::string_view part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

std::vector<std::pair<std::string, std::string>> DumpItems(const Station& station) {
    std::vector<std::pair<std::string, std::string>> items;
    for (const std::string& line : SplitLines(DumpConsole(station))) {
        const size_t tab = line.find('\t');
        items.emplace_back(line.substr(0, tab), tab == std::string::npos ? "<no tab>" : line.substr(tab + 1));
    }
    return items;
}

std::string Items(const Station& station, std::string_view names) {
    const auto items = DumpItems(station);
    std::string out;
    size_t start = 0;
    while (start < names.size()) {
        size_t end = names.find(' ', start);
        if (end == std::string_view::npos) end = names.size();
        const std::string_view name = names.substr(start, end - start);
        const auto it =
            std::find_if(items.begin(), items.end(), [&](const auto& i) { return i.first == name; });
        if (!name.empty())
            out += (out.empty() ? "" : " ") + std::string(name) + "=" +
                   (it == items.end() ? "<none>" : it->second);
        start = end + 1;
    }
    return out;
}

TestStation::TestStation() {
    Platform platform{clock, processes, timers, InetTestURL, Inet1, InetAIR, InetTallyway, InetWeather};
    station = std::make_unique<Station>(platform, folder.path());
    station->quit = [this] { ++quits; };
    station->openApiServer = [this] { ++apiWindowsOpened; };
    DefineTimers(*station);
    station->logSink = [this](std::string_view line) { logged.emplace_back(line); };
}

}  // namespace bf::test
