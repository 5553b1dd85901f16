#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "views/view_sources.h"

namespace bf {

struct Station;
struct Settings;
class OnAirRecord;
struct ProcessReadings;

// Whether the station is on air as it should be, and why, in one line of
// UTF-8 ("source 3 Breakfast plays and is heard"). /health answers with it
// (200 or 503), brackenfield_healthy exports it and /status.json shows it:
// all three judge alike.
struct AirHealth {
    bool healthy = false;
    std::string reason;
};

// Healthy while a source plays (its slot's player runs, as `readings` say)
// and is heard moving; a source the station does not listen to (the health
// check off) or cannot hear yet is judged by its player alone. Unhealthy
// when nothing has been on air, no player plays, the last resort file plays,
// the air is stalled, dead or silent, or the station is in manual mode while
// the source under test fails its health check (nothing fails over or back
// then). A backup that stands in for a failed source and is heard is healthy.
AirHealth JudgeAirHealth(const Station& station, const ProcessReadings& readings);

// Where the air is in the chain: 0 the selected source (or another that is
// no link), 1..n the nth link, -1 the last resort or nothing.
int ChainPosition(const Settings& settings, const OnAirRecord& onAir);

}  // namespace bf
