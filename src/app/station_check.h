#pragma once

#include <filesystem>
#include <vector>

#include "core/finding.h"

namespace bf {

// What a start of the station in `folder` would meet, checked without
// starting anything or writing a file: the files the settings name
// (LastResortFile, OnEventCommand), the source list, the schedule, the player
// links and the player's configuration (the settings themselves are
// CheckSettings').
std::vector<Finding> CheckStationFiles(const std::filesystem::path& folder);

// Everything: the settings, then the rest.
std::vector<Finding> CheckStation(const std::filesystem::path& folder);

// --check: prints each finding as "FILE:LINE: message" to standard output, or
// that all is well; returns the exit status, 0 when clean (warnings aside)
// and 1 otherwise.
int RunStationCheck(const std::filesystem::path& folder);

}  // namespace bf
