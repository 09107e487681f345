// MusicXML export of the largest sheet (15 tracks of 4000 notes with chords, lyrics, bar lines
// and a loop on every track, which the export writes out as it plays), plain and compressed.

#include "bench_sheets.h"

#include "interchange/musicxml_export.h"
#include "interchange/mxl_container_write.h"

#include <benchmark/benchmark.h>

#include <string>

using namespace tonvela;

namespace {

void BM_MusicXmlTextOfLargestSheet(benchmark::State& state)
{
    const auto sheet = bench::makeLargestSheet();
    std::string text;
    std::string error;
    for (auto _ : state) {
        if (!musicXmlText(*sheet, "Largest", text, error))
            state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(text.data());
    }
    state.counters["bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_MusicXmlTextOfLargestSheet)->Unit(benchmark::kMillisecond);

void BM_MxlArchiveOfLargestSheet(benchmark::State& state)
{
    const auto sheet = bench::makeLargestSheet();
    std::string text;
    std::string error;
    musicXmlText(*sheet, "Largest", text, error);
    std::string bytes;
    for (auto _ : state) {
        if (!mxlArchiveBytes(kMxlScoreName, text, bytes, error))
            state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(bytes.data());
    }
    state.counters["bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(BM_MxlArchiveOfLargestSheet)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
