#include "test_station.h"

#include <stdlib.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "app/timer_table.h"
#include "console/console_dump.h"
#include "core/timer_names.h"
#include "sources/on_air.h"

namespace bf::test {

TempFolder::TempFolder() {
    std::string name = (std::filesystem::temp_directory_path() / "bf-test-XXXXXX").string();
    if (::mkdtemp(name.data()) == nullptr) throw std::system_error(errno, std::generic_category(), name);
    path_ = name;
}

void TempFolder::write(std::string_view name, std::string_view content) const {
    std::ofstream(path_ / name, std::ios::binary) << content;
}

std::string TempFolder::read(std::string_view name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<missing>";
}

size_t CountOf(std::string_view text, std::string_view part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

std::string Items(const Station& station, std::string_view names) {
    const std::string dump = "\n" + DumpConsole(station);
    std::istringstream wanted{std::string(names)};
    std::string out;
    for (std::string name; wanted >> name;) {
        const size_t at = dump.find("\n" + name + "\t");
        const size_t from = at + name.size() + 2;
        out += (out.empty() ? "" : " ") + name + "=" +
               (at == std::string::npos ? "<none>" : dump.substr(from, dump.find('\n', from) - from));
    }
    return out;
}

TestStation::TestStation(bool reacting) {
    Platform platform{clock,   processes,    timers,      InetTestURL, Inet1,
                      InetAIR, InetTallyway, InetWeather, processStats};
    station = std::make_unique<Station>(platform, folder.path());
    station->quit = [this] { ++quits; };
    station->openApiServer = [this] {
        ++apiWindowsOpened;
        station->api.created = true;
    };
    station->logSink = [this](std::string_view line, LogPriority priority) {
        logged.emplace_back(line);
        priorities.push_back(priority);
    };
    DefineTimers(*station);
    reactions = std::make_unique<StationReactions>(*station);
    station->listener = reacting ? static_cast<StationListener*>(reactions.get()) : &recorded;
}

void TestStation::endOverlap() {
    const int slot = station->onAir.CurrentMplayer();
    folder.write("mplayer" + std::to_string(slot) + ".log", "Starting playback...\n");
    clock.advance(air::kOverlapSeconds);
    clock.step(-air::kOverlapSeconds);  // the wall clock stays where it was
    timers.fire(TimerName::SwitchOverlap);
}

void TestStation::onAir(int number, int slot) {
    do {
        if (!Observe(*station, air::Choice{std::to_string(number), SwitchCause::Operator}).taken)
            throw std::logic_error("source " + std::to_string(number) + " is not playable");
        endOverlap();
    } while (station->onAir.CurrentMplayer() != slot);
    processes.starts.clear();
    processes.kills.clear();
    processes.log.clear();
    station->log.clear();
    recorded.events.clear();
}

}  // namespace bf::test
