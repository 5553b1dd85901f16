#pragma once

#include <QSocketNotifier>
#include <QTimer>
#include <filesystem>
#include <memory>
#include <optional>

#include "apiserver/api_server_window.h"
#include "app/options.h"
#include "app/reactions/notifier.h"
#include "app/reactions/station_reactions.h"
#include "console/console_dump.h"
#include "console/main_window.h"
#include "core/log_output.h"
#include "core/station.h"
#include "metadata/title_outputs.h"
#include "platform/posix_processes.h"
#include "platform/proc_process_stats.h"
#include "platform/qt_encoder_link.h"
#include "platform/qt_http_client.h"
#include "platform/qt_tcp_listener.h"
#include "platform/qt_timers.h"
#include "platform/qt_tls_probe.h"
#include "platform/real_clock.h"
#include "platform/service_manager.h"
#include "platform/thread_password_checker.h"
#include "sources/certificate_watch.h"
#include "status/status_server.h"
#include "webconsole/web_console.h"

namespace bf {

// The station on the real platform with its windows, started: the main
// window shows, the startup has run and the timers tick once the
// application's event loop runs. Started by systemd as a notify service, it
// reports ready after the startup and alive on a timer of its own, so that a
// stuck event loop stops the reports and the watchdog restarts the program.
// Needs a QApplication.
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
    ProcProcessStats processStats_;
    Station station_;
    StationReactions reactions_{station_};
    // The RDS encoder's feed and the station's own Icecast mount, on links
    // of their own.
    QtEncoderLink rdsLink_;
    QtHttpClient icecastHttp_;
    TitleOutputs titleOutputs_;
    // Tells the webhook (NotifyURL) of trouble, on a link of its own.
    QtHttpClient notifyHttp_;
    Notifier notifier_;
    // The HTTPS sources' certificates, looked at on connections of their own.
    QtTlsProbe tlsProbe_;
    CertificateWatch certificates_;
    MainWindow window_;
    // Opened by the startup when APIallowed is "1"; listens on --api-port.
    std::unique_ptr<ApiServerWindow> apiWindow_;
    std::optional<ConsoleDumpFile> consoleDump_;
    // The read-only status page and metrics, on --status-port when given.
    // The browser console's password checks, on a thread of their own, and its users and sessions.
    ThreadPasswordChecker passwordChecker_;
    std::optional<WebConsole> webConsole_;
    QtTcpListener statusListener_;  // outlives statusServer_, whose connections it made
    std::optional<StatusServer> statusServer_;
    ServiceManager serviceManager_;
    QTimer aliveTimer_;
    // The station log's copy on standard output: what a stalled reader does
    // not take waits (bounded) and is written on by the timer.
    LogOutput standardOutput_{1};
    bool journal_ = StandardOutputIsJournal();
    QTimer standardOutputTimer_;
    // Tells a termination signal to the station log before the end.
    std::unique_ptr<QSocketNotifier> shutdownNotifier_;
};

// The service's stop (--stop-players): kills the players of the station in
// `workingFolder`, never another station's, and waits a few seconds for them
// to end. Returns the exit status: 0 once they are gone.
int StopStationPlayers(const std::filesystem::path& workingFolder);

// SIGTERM and SIGINT end the program like closing the window, after a
// station log line naming the signal: the players keep running.
void EndAtOnceOnSignals();

}  // namespace bf
