// The as-run record over the month it keeps, written as the program writes
// it (AsRunRecord::add): a title a minute, a switch an hour, and each day a
// stall, a failover to the backup and its return, and a silence. Reports the
// bytes the month takes on disk (the blocks of its files) and the time a row
// takes to write.
//
// With BF_ASRUN_INTO=FOLDER it only writes such a month into FOLDER/asrun/,
// ending now by the local clock, with the day before yesterday filled to the
// record's caps (titles of 200 bytes until a day takes no more, then
// stalls): bench/asrun serves it from a station.

#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "asrun/as_run_record.h"
#include "test_station.h"

namespace {

using bf::AsRunEvent;
using bf::AsRunRecord;

const char* const kNames[] = {"Backup", "Morning Show", "Music Stream", "Night Relay"};

struct Month {
    long rows = 0;
    uint64_t diskBytes = 0, fileBytes = 0;
    int files = 0;
};

// Writes the 31 days that end at `now`; `floodDaysBack` >= 0 fills that day to its caps.
long WriteMonth(AsRunRecord& record, double now, int floodDaysBack) {
    const bf::LocalTime end = bf::LocalTimeAt(now);
    const double today = now - end.secondsSinceMidnight;
    long rows = 0;
    auto add = [&](double at, AsRunEvent event, int source, std::string cause, std::string detail) {
        rows += record.add({bf::LocalTimeAt(at), event, source, source < 0 ? "" : kNames[source % 4],
                            std::move(cause), std::move(detail)});
    };
    char title[256];
    for (int back = AsRunRecord::kDaysKept - 1; back >= 0; --back) {
        const double day = today - back * 86400.0;
        for (int minute = 0; minute < 1440 && day + minute * 60 + 59 <= now; ++minute) {
            const double at = day + minute * 60;
            const int source = 1 + minute / 60 % 3;
            if (minute % 60 == 0) add(at, AsRunEvent::OnAir, source, "schedule", "");
            if (minute == 192) {  // 03:12: the source stalls and the backup takes over
                add(at + 5, AsRunEvent::Stall, source, "", "no audio for 2 s");
                add(at + 20, AsRunEvent::Failover, source, "", "SERVER OR LINK FAILURE: Connection refused");
                add(at + 22, AsRunEvent::OnAir, 0, "failover", "");
            }
            if (minute == 200) add(at + 3, AsRunEvent::OnAir, source, "return", "");
            if (minute == 900) add(at + 30, AsRunEvent::Silence, source, "", "silent for 10 s");
            std::snprintf(title, sizeof title, "Artist Number %d - A Song Title of Some Length %d",
                          minute % 97, minute);
            add(at + 17, AsRunEvent::Title, source, "", title);
        }
        if (back != floodDaysBack) continue;
        const std::string flood(200, 'f');
        while (record.add({bf::LocalTimeAt(day + 86000), AsRunEvent::Title, 1, kNames[1], "", flood})) ++rows;
        while (record.add(
            {bf::LocalTimeAt(day + 86001), AsRunEvent::Stall, 1, kNames[1], "", "no audio for 2 s"}))
            ++rows;
    }
    return rows;
}

Month Measure(const std::filesystem::path& folder) {
    Month month;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        struct stat st {};
        if (::stat(entry.path().c_str(), &st) != 0) continue;
        month.diskBytes += static_cast<uint64_t>(st.st_blocks) * 512;
        month.fileBytes += static_cast<uint64_t>(st.st_size);
        ++month.files;
    }
    return month;
}

void BM_MonthAtATitleAMinute(benchmark::State& state) {
    Month month;
    for (auto _ : state) {
        bf::test::TempFolder folder;
        AsRunRecord record(folder.path());
        const long rows = WriteMonth(record, static_cast<double>(std::time(nullptr)), -1);
        month = Measure(record.folder());
        month.rows = rows;
    }
    state.counters["rows"] = static_cast<double>(month.rows);
    state.counters["days"] = month.files;
    state.counters["MB_on_disk"] = month.diskBytes / 1e6;
    state.counters["MB_of_rows"] = month.fileBytes / 1e6;
    state.counters["us_per_row"] =
        benchmark::Counter(static_cast<double>(month.rows),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_MonthAtATitleAMinute)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (const char* into = std::getenv("BF_ASRUN_INTO")) {
        AsRunRecord record(into);
        const long rows = WriteMonth(record, static_cast<double>(std::time(nullptr)), 2);
        const Month month = Measure(record.folder());
        std::printf("%ld rows, %d days, %.2f MB on disk in %s\n", rows, month.files, month.diskBytes / 1e6,
                    record.folder().c_str());
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
