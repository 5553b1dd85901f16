#include "app/options.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>
#include <cstdio>
#include <string_view>

#include "core/address_range.h"

namespace bf {

bool NeedsNoWindow(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help" || arg == "-?" || arg == "--help-all" || arg == "-v" ||
            arg == "--version" || arg == "--stop-players" || arg == "--check" || arg == "--add-user" ||
            arg == "--remove-user" || arg == "--notify-test")
            return true;
    }
    return false;
}

std::optional<Options> ParseOptions(const QCoreApplication& app) {
    Options options;
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
        QStringLiteral("Address the remote API server listens on (default: every interface)."),
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
    const QCommandLineOption statusPort(
        QStringLiteral("status-port"),
        QStringLiteral("TCP port of the read-only status page and metrics (/, /status.json, /metrics); "
                       "off when not given."),
        QStringLiteral("N"));
    const QCommandLineOption statusBind(
        QStringLiteral("status-bind"),
        QStringLiteral("IP address the status port listens on (default %1; 0.0.0.0 opens it to the network).")
            .arg(QString::fromStdString(options.statusBind)),
        QStringLiteral("ADDRESS"), QString::fromStdString(options.statusBind));
    const QCommandLineOption stopPlayers(
        QStringLiteral("stop-players"),
        QStringLiteral(
            "Stop the players of the station in the current folder, and end (the service's stop)."));
    const QCommandLineOption check(
        QStringLiteral("check"),
        QStringLiteral(
            "Check the station folder (FOLDER, or the current folder) as a start would read it, print "
            "each problem as FILE:LINE: message and end: 0 when there is none, 1 otherwise. Starts no "
            "player and writes no file."));
    const QCommandLineOption notifyTest(
        QStringLiteral("notify-test"),
        QStringLiteral("Send one test message to the NotifyURL of the station folder (FOLDER, or the current "
                       "folder), print what the webhook answered and end: 0 on a 2xx answer, 1 otherwise."));
    const QCommandLineOption addUser(
        QStringLiteral("add-user"),
        QStringLiteral("Add (or replace) user NAME of the browser console with ROLE (operator or engineer) "
                       "to users.ini in FOLDER (or the current folder): the password is read from standard "
                       "input. Then end."),
        QStringLiteral("NAME"));
    const QCommandLineOption removeUser(
        QStringLiteral("remove-user"),
        QStringLiteral("Remove user NAME from users.ini in FOLDER (or the current folder), and end."),
        QStringLiteral("NAME"));
    const QCommandLineOption trustedProxy(
        QStringLiteral("trusted-proxy"),
        QStringLiteral(
            "A proxy (address or CIDR range; repeatable) in front of the status port whose "
            "X-Forwarded-For and X-Forwarded-Proto count: logins through it over HTTPS are taken."),
        QStringLiteral("ADDRESS"));
    const QCommandLineOption statusHost(
        QStringLiteral("status-host"),
        QStringLiteral(
            "A host name (repeatable) by which browsers reach the status port, besides its address "
            "and localhost."),
        QStringLiteral("NAME"));
    parser.addPositionalArgument(QStringLiteral("FOLDER"),
                                 QStringLiteral("With --check or --notify-test: the station folder."),
                                 QStringLiteral("[FOLDER]"));
    parser.addOptions({apiPort, apiBind, airUrl, weatherUrl, consoleDump, statusPort, statusBind, stopPlayers,
                       check, notifyTest, addUser, removeUser, trustedProxy, statusHost});
    // process() alone would end the program on an unknown option with status
    // 1, which a service manager takes for a failure worth a restart.
    if (!parser.parse(app.arguments())) {
        QString error = parser.errorText();
        if (error.endsWith(QLatin1Char('.'))) error.chop(1);
        std::fprintf(stderr, "brackenfield: %s (see --help)\n", qPrintable(error));
        return std::nullopt;
    }
    parser.process(app);  // --help and --version end the program here
    options.stopPlayers = parser.isSet(stopPlayers);
    if (parser.isSet(check) || parser.isSet(notifyTest)) {
        const QStringList folders = parser.positionalArguments();
        const char* name = parser.isSet(check) ? "--check" : "--notify-test";
        if (folders.size() > 1) {
            std::fprintf(stderr, "brackenfield: %s takes one folder, not %lld (see --help)\n", name,
                         static_cast<long long>(folders.size()));
            return std::nullopt;
        }
        (parser.isSet(check) ? options.check : options.notifyTest) =
            folders.isEmpty() ? std::string() : folders.first().toStdString();
        return options;
    }

    if (parser.isSet(addUser) || parser.isSet(removeUser)) {
        const QStringList rest = parser.positionalArguments();
        const bool adding = parser.isSet(addUser);
        const qsizetype fixed = adding ? 1 : 0;
        if (rest.size() < fixed || rest.size() > fixed + 1 || (adding && parser.isSet(removeUser))) {
            std::fprintf(stderr,
                         "brackenfield: --add-user NAME ROLE [FOLDER] or --remove-user NAME [FOLDER]\n");
            return std::nullopt;
        }
        if (adding)
            options.addUser = parser.value(addUser).toStdString();
        else
            options.removeUser = parser.value(removeUser).toStdString();
        if (adding) options.userRole = rest.first().toStdString();
        if (rest.size() > fixed) options.userFolder = rest.last().toStdString();
        return options;
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "brackenfield: unexpected argument '%s' (see --help)\n",
                     qPrintable(parser.positionalArguments().first()));
        return std::nullopt;
    }
    bool ok = false;
    const int port = parser.value(apiPort).toInt(&ok);
    if (!ok || port < 1 || port > 65535) {
        std::fprintf(stderr, "brackenfield: --api-port wants a port number from 1 to 65535, not '%s'\n",
                     qPrintable(parser.value(apiPort)));
        return std::nullopt;
    }
    options.station.apiPort = port;
    options.station.apiBind = parser.value(apiBind).toStdString();
    options.station.airUrl = parser.value(airUrl).toStdString();
    options.station.weatherUrl = parser.value(weatherUrl).toStdString();
    if (parser.isSet(consoleDump)) {
        if (parser.value(consoleDump).isEmpty()) {
            std::fprintf(stderr, "brackenfield: --console-dump wants a file name\n");
            return std::nullopt;
        }
        options.consoleDump = parser.value(consoleDump).toStdString();
    }
    if (parser.isSet(statusPort)) {
        const int status = parser.value(statusPort).toInt(&ok);
        if (!ok || status < 1 || status > 65535) {
            std::fprintf(stderr,
                         "brackenfield: --status-port wants a port number from 1 to 65535, not '%s'\n",
                         qPrintable(parser.value(statusPort)));
            return std::nullopt;
        }
        options.statusPort = static_cast<uint16_t>(status);
    } else if (parser.isSet(statusBind)) {
        std::fprintf(stderr, "brackenfield: --status-bind needs --status-port\n");
        return std::nullopt;
    }
    if (QHostAddress(parser.value(statusBind)).isNull()) {
        std::fprintf(stderr, "brackenfield: --status-bind wants an IP address, not '%s'\n",
                     qPrintable(parser.value(statusBind)));
        return std::nullopt;
    }
    options.statusBind = parser.value(statusBind).toStdString();
    for (const QString& proxy : parser.values(trustedProxy)) {
        if (!ParseAddressRange(proxy.toStdString())) {
            std::fprintf(stderr, "brackenfield: --trusted-proxy wants an address or CIDR range, not '%s'\n",
                         qPrintable(proxy));
            return std::nullopt;
        }
        options.trustedProxies.push_back(proxy.toStdString());
    }
    for (const QString& host : parser.values(statusHost))
        options.statusHosts.push_back(host.toLower().toStdString());
    return options;
}

}  // namespace bf
