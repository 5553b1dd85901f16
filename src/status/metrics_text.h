#pragma once

#include <string>

namespace bf {

struct Station;
struct ProcessReadings;

// The station's metrics in the Prometheus text exposition format (0.0.4):
// names brackenfield_*, each with HELP and TYPE, and the standard process_*
// metrics. Counters count from the program's start. Reads the station, never
// changes it. The text is written here rather than by a client library
// (prometheus-cpp keeps metric objects in a registry; these values are read
// from the station at each scrape); promtool's lint checks it in the
// integration tests. What it says of processes comes from `readings`.
std::string MetricsText(const Station& station, const ProcessReadings& readings);

}  // namespace bf
