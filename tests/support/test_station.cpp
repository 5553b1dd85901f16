#include "test_station.h"

#include <atomic>
#include <fstream>
#include <random>
#include <sstream>
#include <unistd.h>

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

bool TempFolder::exists(std::string_view name) const { return std::filesystem::exists(path_ / std::string(name)); }

TestStation::TestStation() {
    Platform platform{clock, processes, timers, InetTestURL, Inet1, InetAIR, InetTallyway, InetWeather};
    station = std::make_unique<Station>(platform, folder.path());
    station->quit = [this] { ++quits; };
    station->openApiServer = [this] { ++apiWindowsOpened; };
}

}  // namespace bf::test
