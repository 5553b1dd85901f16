#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/station.h"

class QCoreApplication;

namespace bf {

// What the command line chooses.
struct Options {
    StationOptions station;
    std::string consoleDump;             // empty: no dump
    std::optional<uint16_t> statusPort;  // the status listener; off when empty
    std::string statusBind = "127.0.0.1";
    bool stopPlayers = false;  // --stop-players: stop the station's players and end
    // --check [FOLDER]: check the station folder (the current one when empty) and end.
    std::optional<std::string> check;
    // --notify-test [FOLDER]: send the folder's webhook a test message and end.
    std::optional<std::string> notifyTest;
    // --add-user NAME ROLE [FOLDER] / --remove-user NAME [FOLDER]: change
    // the folder's users.ini and end.
    std::optional<std::string> addUser, removeUser;
    std::string userRole, userFolder;
    // The browser console: proxies whose X-Forwarded-* headers count
    // (addresses or CIDR ranges), and host names that requests may name.
    std::vector<std::string> trustedProxies, statusHosts;
};

// The exit status of a command line that the program cannot run (a mistyped
// option, a bad value): a service manager does not start it again.
inline constexpr int kUsageError = 2;

// Whether the command line asks for something that needs no window: help,
// the version, a check of the station or stopping the players.
bool NeedsNoWindow(int argc, char* argv[]);

// Parses the command line; Qt's own options (-platform ...) have already
// been taken out by the application. --help and --version print and end the
// program here. Empty after printing an error.
std::optional<Options> ParseOptions(const QCoreApplication& app);

}  // namespace bf
