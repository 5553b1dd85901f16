#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/station.h"

class QCoreApplication;

namespace bf {

// What the command line chooses.
struct Options {
    StationOptions station;
    std::string consoleDump;             // empty: no dump
    std::optional<uint16_t> statusPort;  // the status listener; off when empty
    std::string statusBind = "127.0.0.1";
};

// Whether the command line asks for help or the version, which need no
// display.
bool AsksForHelpOrVersion(int argc, char* argv[]);

// Parses the command line; Qt's own options (-platform ...) have already
// been taken out by the application. --help and --version print and end the
// program here. Empty after printing an error.
std::optional<Options> ParseOptions(const QCoreApplication& app);

}  // namespace bf
