#pragma once

#include <string>

namespace bf {

struct Station;

// The station's metrics in the Prometheus text exposition format (0.0.4):
// names brackenfield_*, each with HELP and TYPE. Counters count from the
// program's start. Reads the station, never changes it.
std::string MetricsText(const Station& station);

}  // namespace bf
