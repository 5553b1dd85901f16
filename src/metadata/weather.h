#pragma once

#include <string>
#include <string_view>

namespace bf {

struct Station;

// The weather label's caption from startup until the first fetch has been
// composed; it is a placeholder for the console, never a strapline.
constexpr std::string_view kNoWeatherData = "NO WEATHER DATA";
// Seconds between two fetches: the counter runs 0..1800.
constexpr int kWeatherCycle = 1800;
// A fetch gives up long before its sentence is first wanted in the extra
// line (from a minute after startup) and long before the next fetch.
constexpr int kWeatherTimeoutMs = 10000;

// The sentence for a current-weather reply (the temperature in kelvin), or
// `fallback` when the temperature is not between -50 and 50 degrees (as
// after a failed fetch, which gives -274).
std::string ComposeWeather(std::string_view body, const std::string& fallback);

// The weather tick: a fetch on every 1801st tick, the countdown on all
// (station.metadata.weather).
void tmrWeather_Timer(Station& station);

}  // namespace bf
