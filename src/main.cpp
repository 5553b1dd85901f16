// Brackenfield: keeps one internet audio stream on air by running MPlayer on
// it, and switches sources by schedule, by hand, by the management server
// and through a small HTTP API.

#include <unistd.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "apiserver/api_server_window.h"
#include "console/console_dump.h"
#include "console/main_window.h"
#include "app/startup.h"
#include "core/station.h"
#include "core/text_file.h"
#include "platform/posix_processes.h"
#include "platform/qt_http_client.h"
#include "platform/qt_timers.h"
#include "platform/real_clock.h"

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

// SIGTERM and SIGINT end the program like closing the window: the players
// keep running.
void EndAtOnceOnSignals() {
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

struct Options {
    bf::StationOptions station;
    std::string consoleDump;  // empty: no dump
};

// Parses the command line; Qt's own options (-platform ...) have already
// been taken out by QApplication. Returns false after printing an error.
bool ParseOptions(const QCoreApplication& app, Options& options) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Keeps an internet audio stream on air and switches sources by schedule, by hand and by remote "
        "call.\n"
        "Runs in the current folder, which holds brackenfield.ini, sourcelist.ini and sourceevents.ini.\n"
        "Qt's own options apply too, e.g. -platform offscreen for a station without a display."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption apiPort(QStringLiteral("api-port"),
                                     QStringLiteral("TCP port of the remote API server (default 1011)."),
                                     QStringLiteral("N"), QString::number(options.station.apiPort));
    const QCommandLineOption apiBind(
        QStringLiteral("api-bind"),
        QStringLiteral("IP address the remote API server listens on (default: every interface)."),
        QStringLiteral("ADDRESS"));
    const QCommandLineOption airUrl(QStringLiteral("air-url"),
                                    QStringLiteral("Base address of the TuneIn AIR service (default %1).")
                                        .arg(QString::fromStdString(options.station.airUrl)),
                                    QStringLiteral("URL"), QString::fromStdString(options.station.airUrl));
    const QCommandLineOption weatherUrl(
        QStringLiteral("weather-url"),
        QStringLiteral("Base address of the OpenWeatherMap service (default %1).")
            .arg(QString::fromStdString(options.station.weatherUrl)),
        QStringLiteral("URL"), QString::fromStdString(options.station.weatherUrl));
    const QCommandLineOption consoleDump(
        QStringLiteral("console-dump"),
        QStringLiteral("For test rigs: keep FILE holding the console's state (rewritten when it changes)."),
        QStringLiteral("FILE"));
    parser.addOptions({apiPort, apiBind, airUrl, weatherUrl, consoleDump});
    parser.process(app);  // --help and --version end the program here

    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "brackenfield: unexpected argument '%s' (see --help)\n",
                     qPrintable(parser.positionalArguments().first()));
        return false;
    }
    bool ok = false;
    const int port = parser.value(apiPort).toInt(&ok);
    if (!ok || port < 1 || port > 65535) {
        std::fprintf(stderr, "brackenfield: --api-port wants a port number from 1 to 65535, not '%s'\n",
                     qPrintable(parser.value(apiPort)));
        return false;
    }
    options.station.apiPort = port;
    options.station.apiBind = parser.value(apiBind).toStdString();
    options.station.airUrl = parser.value(airUrl).toStdString();
    options.station.weatherUrl = parser.value(weatherUrl).toStdString();
    if (parser.isSet(consoleDump)) {
        if (parser.value(consoleDump).isEmpty()) {
            std::fprintf(stderr, "brackenfield: --console-dump wants a file name\n");
            return false;
        }
        options.consoleDump = parser.value(consoleDump).toStdString();
    }
    return true;
}

bool AsksForHelpOrVersion(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help" || arg == "-?" || arg == "--help-all" || arg == "-v" ||
            arg == "--version")
            return true;
    }
    return false;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication::setApplicationName(QStringLiteral("brackenfield"));
    QCoreApplication::setApplicationVersion(QStringLiteral(BF_VERSION));
    // Help and version need no display.
    if (AsksForHelpOrVersion(argc, argv)) {
        QCoreApplication info(argc, argv);
        Options options;
        ParseOptions(info, options);  // prints and ends the program
        return 2;
    }

    QApplication app(argc, argv);
    // Fusion draws the model's button colours on every desktop.
    QApplication::setStyle(QStringLiteral("Fusion"));

    Options options;
    if (!ParseOptions(app, options)) return 2;
    EndAtOnceOnSignals();

    // The working folder is the current folder at start; nothing changes it.
    std::error_code ec;
    const std::filesystem::path workingFolder = std::filesystem::current_path(ec);
    if (ec) {
        std::fprintf(stderr, "brackenfield: cannot read the current folder: %s\n", ec.message().c_str());
        return 1;
    }

    bf::RealClock clock;
    bf::PosixProcesses processes;
    bf::QtTimers timers;
    bf::QtHttpClient InetTestURL, Inet1, InetAIR, InetTallyway, InetWeather;
    // The health check runs every 15 s: its fetch must give up before the
    // next check is due.
    InetTestURL.setTimeoutMs(10000);
    for (bf::HttpClient* client : {&Inet1, &InetAIR, &InetTallyway, &InetWeather})
        client->setTimeoutMs(30000);

    bf::Platform platform{clock, processes, timers, InetTestURL, Inet1, InetAIR, InetTallyway, InetWeather};
    bf::Station station(platform, workingFolder, options.station);
    station.quit = [] { EndAtOnce(); };
    // The API server window, created by the startup when APIallowed is "1";
    // it listens on station.options.apiPort.
    std::unique_ptr<bf::ApiServerWindow> apiWindow;
    station.openApiServer = [&station, &apiWindow] { apiWindow = bf::OpenApiServerWindow(station); };

    bf::MainWindow window(station);
    window.show();
    bf::Startup(station);
    window.refresh();

    // Test seam: the console's state as a file, rewritten (atomically) only
    // when it changed.
    QTimer dumpTimer;
    std::string lastDump;
    if (!options.consoleDump.empty()) {
        const std::filesystem::path dumpPath = std::filesystem::absolute(options.consoleDump, ec);
        auto writeDump = [&station, &lastDump, dumpPath] {
            std::string dump = bf::DumpConsole(station);
            if (dump == lastDump) return;
            if (bf::ReplaceFile(dumpPath, dump)) lastDump = std::move(dump);
        };
        writeDump();
        dumpTimer.callOnTimeout(writeDump);
        dumpTimer.start(250);
    }

    return app.exec();
}
