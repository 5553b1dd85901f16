#include "app/program.h"

#include <signal.h>
#include <unistd.h>

#include <cstdlib>

#include "app/startup.h"
#include "platform/descriptor_budget.h"

namespace bf {

namespace {

// Ending the program at once: no further handler runs (not even one that a
// nested event loop of an HTTP fetch would still dispatch), open connections
// are dropped and nothing is saved. The players run in sessions of their own
// and so stay on air.
[[noreturn]] void EndAtOnce() {
    std::_Exit(0);
}

extern "C" void OnTerminationSignal(int) {
    _exit(0);
}

}  // namespace

Program::Program(const std::filesystem::path& workingFolder, const Options& options)
    : station_(
          Platform{clock_, processes_, timers_, InetTestURL_, Inet1_, InetAIR_, InetTallyway_, InetWeather_},
          workingFolder, options.station),
      window_(station_) {
    // As many descriptors as the system allows; the listeners leave a
    // reserve of them to the rest of the program.
    RaiseDescriptorLimit();
    station_.quit = [] { EndAtOnce(); };
    station_.openApiServer = [this] { apiWindow_ = OpenApiServerWindow(station_); };
    window_.show();
    Startup(station_);
    if (options.statusPort) {
        statusServer_.emplace(station_, statusListener_);
        statusServer_->Open(*options.statusPort, options.statusBind);
    }
    window_.refresh();
    if (!options.consoleDump.empty()) {
        std::error_code ec;
        consoleDump_.emplace(station_, std::filesystem::absolute(options.consoleDump, ec));
    }
}

void EndAtOnceOnSignals() {
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

}  // namespace bf
