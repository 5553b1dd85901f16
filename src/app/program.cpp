#include "app/program.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "app/settings_reload.h"
#include "app/startup.h"
#include "core/outside_services.h"
#include "core/run_handler.h"
#include "core/station_log.h"
#include "core/timer_names.h"
#include "platform/descriptor_budget.h"
#include "sources/air_monitor.h"
#include "sources/player_control.h"
#include "status/status_server.h"

namespace bf {

namespace {

// Ending the program at once: no further handler runs (not even one that a
// nested event loop of an HTTP fetch would still dispatch), open connections
// are dropped and nothing is saved. The players run in sessions of their own
// and so stay on air.
[[noreturn]] void EndAtOnce() {
    std::_Exit(0);
}

// A termination signal is told to the event loop through this pipe, which
// logs it and ends the program; should the loop not come round within a few
// seconds, the alarm ends the program all the same. SIGHUP comes the same
// way and has the settings read again.
int signalPipe[2] = {-1, -1};
constexpr unsigned kShutdownGraceSeconds = 3;

extern "C" void OnAlarm(int) {
    _exit(0);
}

extern "C" void OnTerminationSignal(int signal) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signal);
    if (signalPipe[1] < 0 || ::write(signalPipe[1], &byte, 1) != 1) _exit(0);
    ::alarm(kShutdownGraceSeconds);
    errno = saved;
}

// A reload asked for while the pipe is full is already on its way.
extern "C" void OnReloadSignal(int signal) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signal);
    if (signalPipe[1] >= 0) (void)!::write(signalPipe[1], &byte, 1);
    errno = saved;
}

std::string SignalName(int signal) {
    switch (signal) {
        case SIGTERM:
            return "SIGTERM";
        case SIGINT:
            return "SIGINT";
        default:
            return "SIGNAL " + std::to_string(signal);
    }
}

// The stream monitor beside the program (the build folder, /usr/bin).
StationOptions WithMonitor(StationOptions options) {
    const std::filesystem::path beside =
        std::filesystem::path(QCoreApplication::applicationDirPath().toStdString()) / "brackenfield-monitor";
    std::error_code ec;
    options.monitorProgram =
        std::filesystem::exists(beside, ec) ? beside.string() : "/usr/bin/brackenfield-monitor";
    return options;
}

}  // namespace

Program::Program(const std::filesystem::path& workingFolder, const Options& options)
    : processes_(workingFolder),
      station_(Platform{clock_, processes_, timers_, InetTestURL_, Inet1_, InetAIR_, InetTallyway_,
                        InetWeather_, processStats_},
               workingFolder, WithMonitor(options.station)),
      titleOutputs_(
          clock_, timers_, rdsLink_, icecastHttp_, station_.titleOutputs,
          [this](std::string_view line, LogPriority priority) { AddToAirLog(station_, line, priority); }),
      notifier_(NotifierLinks{clock_, timers_, notifyHttp_, station_.notify,
                              [this]() -> const Settings& { return station_.settings(); },
                              [this](bool answered, std::string_view why) {
                                  NoteServiceOutcome(station_, OutsideService::Webhook, answered, why);
                              },
                              StationName(workingFolder), &station_.titleOutputs}),
      certificates_(
          clock_, tlsProbe_, station_.certificates,
          [this](std::string_view line, LogPriority priority) { AddToAirLog(station_, line, priority); },
          [this](CertificateEvent event) {
              PostEvent(station_, &StationListener::certificateExpiring, std::move(event));
          }),
      window_(station_) {
    station_.listener = &reactions_;
    reactions_.add(titleOutputs_);
    reactions_.add(notifier_);
    station_.logSink = [this](std::string_view line, LogPriority priority) {
        standardOutput_.write(StandardOutputLine(line, priority, journal_));
        station_.counters.logLinesDropped = standardOutput_.dropped();
        if (standardOutput_.pending() && !standardOutputTimer_.isActive()) standardOutputTimer_.start();
    };
    standardOutputTimer_.setInterval(100);
    standardOutputTimer_.callOnTimeout([this] {
        standardOutput_.flush();
        station_.counters.logLinesDropped = standardOutput_.dropped();
        if (!standardOutput_.pending()) standardOutputTimer_.stop();
    });
    // As many descriptors as the system allows; the listeners leave a
    // reserve of them to the rest of the program.
    RaiseDescriptorLimit();
    // The stream monitors would end at their next line into the closed
    // pipe; one still connecting would linger for seconds.
    station_.quit = [this] {
        StopAirMonitors(station_);
        EndAtOnce();
    };
    station_.openApiServer = [this] { apiWindow_ = OpenApiServerWindow(station_); };
    window_.show();
    Startup(station_);
    timers_.define(TimerName::TitleOutputs, TitleOutputs::kTickMs, [this] {
        RunHandler(station_, "tmrTitleOutputs_Timer", [this] { titleOutputs_.tick(); });
    });
    titleOutputs_.configure(station_.settings(), station_.metadata.outputs.metadataLine);
    timers_.define(TimerName::Certificates, kCertificateTickMs, [this] {
        RunHandler(station_, "tmrCertificates_Timer",
                   [this] { certificates_.tick(station_.workingFolder, station_.air.playlistEntries); });
    });
    timers_.start(TimerName::Certificates);
    if (options.statusPort) {
        WebConsoleOptions web{*options.statusPort, options.statusBind, options.statusHosts, {}};
        for (const std::string& proxy : options.trustedProxies)
            if (const std::optional<AddressRange> range = ParseAddressRange(proxy))
                web.trustedProxies.push_back(*range);
        webConsole_.emplace(station_, passwordChecker_, std::move(web));
        webConsole_->ReadUsers();
        statusServer_.emplace(station_, statusListener_, &*webConsole_);
        statusServer_->Open(*options.statusPort, options.statusBind);
    }
    window_.refresh();
    if (!options.consoleDump.empty()) {
        std::error_code ec;
        consoleDump_.emplace(station_, std::filesystem::absolute(options.consoleDump, ec));
    }
    if (signalPipe[0] >= 0) {
        shutdownNotifier_ = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
        QObject::connect(shutdownNotifier_.get(), &QSocketNotifier::activated, [this] {
            unsigned char signal = 0;
            if (::read(signalPipe[0], &signal, 1) != 1) return;
            if (signal == SIGHUP) {
                ReadSettingsAgain(station_, "SIGHUP");
                if (webConsole_) RunHandler(station_, "ReadUsers", [this] { webConsole_->ReadUsers(); });
                titleOutputs_.configure(station_.settings(), station_.metadata.outputs.metadataLine);
                return;
            }
            AddToAirLog(station_,
                        "  SYS - SYSTEM SHUTDOWN (" + SignalName(signal) + ") - THE PLAYERS STAY ON AIR",
                        LogPriority::Notice);
            station_.quit();
        });
    }
    serviceManager_.ready();
    if (const auto interval = serviceManager_.aliveInterval(); interval.count() > 0) {
        aliveTimer_.callOnTimeout([this] { serviceManager_.alive(); });
        aliveTimer_.start(interval);
    }
}

int StopStationPlayers(const std::filesystem::path& workingFolder) {
    PosixProcesses processes(workingFolder);
    const std::string names[] = {PlayerName(1), PlayerName(2)};
    // Said on standard output, the journal's, after the program's own last
    // words, which leave the players on air.
    for (const std::string& name : names) {
        if (processes.isRunning(name).value_or(false))
            std::printf("brackenfield: stopping %s: the station goes off air\n", name.c_str());
        processes.killByName(name);
    }
    std::fflush(stdout);
    // SIGKILL ends them at once; a dying cache process may take a moment.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
        bool running = false;
        for (const std::string& name : names) running = running || processes.isRunning(name).value_or(true);
        if (!running) return 0;
        if (std::chrono::steady_clock::now() >= deadline) return 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void EndAtOnceOnSignals() {
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) signalPipe[0] = signalPipe[1] = -1;
    struct sigaction alarm {};
    alarm.sa_handler = OnAlarm;
    sigemptyset(&alarm.sa_mask);
    sigaction(SIGALRM, &alarm, nullptr);
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    struct sigaction reload {};
    reload.sa_handler = OnReloadSignal;
    sigemptyset(&reload.sa_mask);
    reload.sa_flags = SA_RESTART;
    sigaction(SIGHUP, &reload, nullptr);
}

}  // namespace bf
