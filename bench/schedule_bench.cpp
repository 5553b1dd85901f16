// Cost of one schedule calculation, which runs on the event-loop thread every
// ten seconds, for schedule files of 100, 10,000 and 100,000 lines.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "schedule/next_event.h"
#include "test_station.h"

namespace {

// A week of switches repeated: entries for every weekday at all hours, with
// a comment line every eighth line.
std::string ScheduleFile(int lines) {
    std::string text;
    text.reserve(static_cast<size_t>(lines) * 12);
    char buf[32];
    for (int i = 0; i < lines; ++i) {
        if (i % 8 == 0) {
            text += "; morning show block\r\n";
            continue;
        }
        const int weekday = i % 7 + 1;
        const int hour = (i / 7) % 24;
        const int minute = (i / 168) % 60;
        std::snprintf(buf, sizeof buf, "%d %02d%02d00 %d\r\n", weekday, hour, minute, i % 10);
        text += buf;
    }
    return text;
}

void BM_ScheduleCalculation(benchmark::State& state) {
    bf::test::TestStation ts;
    ts.folder.write("sourceevents.ini", ScheduleFile(static_cast<int>(state.range(0))));
    ts.clock.setTime(4, 12, 34, 56);
    for (auto _ : state) {
        bf::tmrLoadEventsAndCalculate_Timer(*ts);
        benchmark::DoNotOptimize(ts->schedule.next);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(BM_ScheduleCalculation)->Arg(100)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
