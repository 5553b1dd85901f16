#pragma once

#include <filesystem>
#include <memory>
#include <optional>

#include "apiserver/api_server_window.h"
#include "app/options.h"
#include "console/console_dump.h"
#include "console/main_window.h"
#include "core/station.h"
#include "platform/posix_processes.h"
#include "platform/qt_http_client.h"
#include "platform/qt_tcp_listener.h"
#include "platform/qt_timers.h"
#include "platform/real_clock.h"
#include "status/status_server.h"

namespace bf {

// The station on the real platform with its windows, started: the main
// window shows, the startup has run and the timers tick once the
// application's event loop runs. Needs a QApplication.
class Program {
public:
    Program(const std::filesystem::path& workingFolder, const Options& options);
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

private:
    RealClock clock_;
    PosixProcesses processes_;
    QtTimers timers_;
    QtHttpClient InetTestURL_, Inet1_, InetAIR_, InetTallyway_, InetWeather_;
    Station station_;
    MainWindow window_;
    // Opened by the startup when APIallowed is "1"; listens on --api-port.
    std::unique_ptr<ApiServerWindow> apiWindow_;
    std::optional<ConsoleDumpFile> consoleDump_;
    // The read-only status page and metrics, on --status-port when given.
    QtTcpListener statusListener_;  // outlives statusServer_, whose connections it made
    std::optional<StatusServer> statusServer_;
};

// SIGTERM and SIGINT end the program like closing the window: the players
// keep running.
void EndAtOnceOnSignals();

}  // namespace bf
