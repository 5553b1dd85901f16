// Cost of one metadata tick, which runs on the event-loop thread every five
// seconds and reads the whole player log, for logs of 10 KB, 1 MB and 20 MB.
// A month of titles changing every ten seconds is about 20 MB of log.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "metadata/player_log_reader.h"
#include "test_station.h"

namespace {

const char* const kHeader =
    "MPlayer 1.5 (Debian), built with gcc-12 (C) 2000-2022 MPlayer Team\n"
    "\n"
    "Playing http://127.0.0.1:8000/live.\n"
    "Resolving 127.0.0.1 for AF_INET...\n"
    "Connecting to server 127.0.0.1[127.0.0.1]: 8000...\n"
    "\n"
    "Name   : Brackenfield Test Stream\n"
    "Genre  : Various\n"
    "Website: http://example.org/\n"
    "Public : 1\n"
    "Bitrate: 128kbit/s\n"
    "Cache size set to 320 KBytes\n"
    "Cache fill:  0.00% (0 bytes)   \n"
    "Cache fill: 19.96% (65403 bytes)   \n"
    "Audio only file format detected.\n"
    "==========================================================================\n"
    "Opening audio decoder: [mpg123] MPEG 1.0/2.0/2.5 layers I, II, III\n"
    "AUDIO: 44100 Hz, 2 ch, s16le, 128.0 kbit/9.07% (ratio: 16000->176400)\n"
    "Selected audio codec: [mpg123] afm: mpg123 (MPEG 1.0/2.0/2.5 layers I, II, III)\n"
    "==========================================================================\n"
    "AO: [null] 44100Hz 2ch s16le (2 bytes per sample)\n"
    "Video: no video\n"
    "Starting playback...\n";

// The header, then for every title an ICY line and `statusLines` status
// lines that the player starts with CR, up to `bytes` bytes.
std::string PlayerLog(size_t bytes, int statusLines) {
    std::string log = kHeader;
    log.reserve(bytes + 256);
    char buf[160];
    double seconds = 0;
    for (int title = 0; log.size() < bytes; ++title) {
        std::snprintf(buf, sizeof buf, "\nICY Info: StreamTitle='Artist %d - Song Title %d';\n", title % 997,
                      title);
        log += buf;
        for (int i = 0; i < statusLines; ++i) {
            seconds += 10.0 / statusLines;
            std::snprintf(buf, sizeof buf, "\rA:%7.1f (%02d:%02d.%d) of 0.0 (unknown)  0.4%% 20%%", seconds,
                          static_cast<int>(seconds) / 60 % 60, static_cast<int>(seconds) % 60,
                          static_cast<int>(seconds * 10) % 10);
            log += buf;
        }
    }
    return log;
}

void MetadataTick(benchmark::State& state, int statusLines) {
    bf::test::TestStation ts;
    const std::string log = PlayerLog(static_cast<size_t>(state.range(0)), statusLines);
    ts.folder.write("mplayer1.log", log);
    ts.folder.write("sourcelist.ini", "1u:http://one.example/a\r\n");
    ts.onAir(1);
    ts.folder.write("mplayer1.log", log);
    ts.settings().DefaultStrapline = "Brackenfield Radio";
    ts.settings().ExtraMetaNowPlaying = "Now playing:";
    // Each tick reads `bytes` that the player wrote since the last: the log
    // is written anew and the reader's place in it forgotten.
    for (auto _ : state) {
        state.PauseTiming();
        ts.folder.write("mplayer1.log", log);
        ts->metadata.playerLog = {};
        state.ResumeTiming();
        bf::tmrGetMetadata_Timer(*ts);
        benchmark::DoNotOptimize(ts->nowPlaying.text());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * log.size()));
}

// Quiet player: about one status line per title.
void BM_MetadataTick(benchmark::State& state) {
    MetadataTick(state, 1);
}
// A player that prints its status line every second.
void BM_MetadataTickStatusEverySecond(benchmark::State& state) {
    MetadataTick(state, 10);
}

// A tick of a title flood of 1,000 a second, every other title paid, with
// billing on: 5,000 titles, 2,500 paid airings, each logged, recorded in the
// as-run record and queued for billing.
void BM_PaidFloodTick(benchmark::State& state) {
    bf::test::TestStation ts;
    ts.folder.write("sourcelist.ini", "1u:http://one.example/a\r\n");
    ts.onAir(1);
    ts.settings().Tallyway = true;
    std::string log = kHeader;
    for (int title = 0; title < 5000; ++title)
        log += "ICY Info: StreamTitle='" + std::string(title % 2 ? "$ Flood " : "Flood ") +
               std::to_string(title) + (title % 2 ? " - " : " ") + std::string(240, 'x') + "';\n";
    for (auto _ : state) {
        state.PauseTiming();
        ts.folder.write("mplayer1.log", log);
        ts->metadata.playerLog = {};
        ts->metadata.billing.pending.clear();
        state.ResumeTiming();
        bf::tmrGetMetadata_Timer(*ts);
        benchmark::DoNotOptimize(ts->nowPlaying.text());
    }
}

}  // namespace

BENCHMARK(BM_PaidFloodTick)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MetadataTick)->Arg(10 << 10)->Arg(1 << 20)->Arg(20 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MetadataTickStatusEverySecond)
    ->Arg(10 << 10)
    ->Arg(1 << 20)
    ->Arg(20 << 20)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
