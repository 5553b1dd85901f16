#pragma once

// What every fuzz target shares: one station over the test fakes in its own
// temporary folder for the whole run, made new in state for each input, and
// checks that end the run with a report libFuzzer keeps.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "test_station.h"

namespace bf::fuzz {

// Aborts with the condition's text: libFuzzer saves the input as a finding.
#define BF_FUZZ_CHECK(condition)                                                               \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

inline std::string_view AsText(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// The station, with its state, console and API window as at a fresh start,
// the fakes' records emptied and the clock at Sunday 12:00:00. A handler
// that fails (RunHandler catches it and logs "... FAILED: ...") is a finding.
inline test::TestStation& FreshStation() {
    static test::TestStation s;
    s->state = StationState{};
    s->onAir = OnAirRecord{};
    s->schedule = ScheduleState{};
    s->console = ConsoleModel{};
    s->api = ApiServerModel{};
    s->nowPlaying = NowPlayingRecord{};
    s->metadata = MetadataState{};
    s->management = ManagementState{};
    s->servicesFailing = {};
    s->logSink = [](std::string_view line, LogPriority) {
        // "YYYY-MM-DD HH:MM:SS  SYS - NAME FAILED: REASON", as RunHandler logs it.
        // The handler's name is one word: a finding that quotes " FAILED: "
        // from a file is none.
        const std::string_view message = line.substr(std::min<size_t>(19, line.size()));
        if (!message.starts_with("  SYS - ")) return;
        const size_t failed = message.find(" FAILED: ");
        if (failed == std::string_view::npos ||
            message.substr(8, failed - 8).find(' ') != std::string_view::npos)
            return;
        std::fprintf(stderr, "a handler failed: %.*s\n", static_cast<int>(line.size()), line.data());
        std::abort();
    };
    s.processes.starts.clear();
    s.processes.kills.clear();
    s.processes.commands.clear();
    s.processes.log.clear();
    s.processes.running.clear();
    s.processes.onCall = {};
    for (test::FakeHttpClient* http :
         {&s.InetTestURL, &s.Inet1, &s.InetAIR, &s.InetTallyway, &s.InetWeather}) {
        http->requests.clear();
        http->queued.clear();
    }
    s.clock.set(2026, 12, 6, 12, 0, 0);
    return s;
}

}  // namespace bf::fuzz
