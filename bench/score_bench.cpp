// Load, save, one edit, and the undo ring's memory on the largest sheet (15 tracks of 4000
// notes with chords, lyrics and loops).

#include "bench_sheets.h"

#include "score/sheet_file.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>

using namespace tonvela;

// Live heap bytes, counted by replacing the global allocation functions of this program.
namespace {
std::atomic<long long> g_liveBytes{0};
}

void* operator new(std::size_t n)
{
    void* p = std::malloc(n + 16);
    if (!p)
        throw std::bad_alloc();
    *static_cast<std::size_t*>(p) = n;
    g_liveBytes += static_cast<long long>(n);
    return static_cast<char*>(p) + 16;
}
void operator delete(void* p) noexcept
{
    if (!p)
        return;
    char* base = static_cast<char*>(p) - 16;
    g_liveBytes -= static_cast<long long>(*reinterpret_cast<std::size_t*>(base));
    std::free(base);
}
void operator delete(void* p, std::size_t) noexcept
{
    operator delete(p);
}

namespace {

std::string tempPath(const char* name)
{
    return (std::filesystem::temp_directory_path() / name).string();
}

void BM_SaveLargestSheet(benchmark::State& state)
{
    auto sheet = bench::makeLargestSheet();
    const std::string p = tempPath("tonvela-bench-save.shd");
    for (auto _ : state) {
        const FileResult r = saveSheet(*sheet, "bench.shd", p);
        if (!r)
            state.SkipWithError(r.error.c_str());
    }
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(p));
}
BENCHMARK(BM_SaveLargestSheet)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_LoadLargestSheet(benchmark::State& state)
{
    auto sheet = bench::makeLargestSheet();
    const std::string p = tempPath("tonvela-bench-load.shd");
    saveSheet(*sheet, "bench.shd", p);
    for (auto _ : state) {
        SheetDocument loaded;
        const LoadResult r = loadSheet(loaded, "bench.shd", p);
        if (!r.ok())
            state.SkipWithError(r.error.c_str());
        benchmark::DoNotOptimize(loaded.trackCount());
    }
}
BENCHMARK(BM_LoadLargestSheet)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// One edit as the editor makes it: a whole-sheet snapshot, one note inserted in the middle of
// a track, chord lists rebuilt.
void BM_OneEdit(benchmark::State& state)
{
    auto sheet = bench::makeLargestSheet();
    int k = 0;
    for (auto _ : state) {
        sheet->snapshot(SnapshotKind::Insert, 0);
        Track& t = *sheet->trackAt(k % 15);
        Note n;
        n.type = kTypeQuarter;
        n.setStaffPosition(k % 9 - 4);
        t.insertNote(n, t.count / 2);
        t.rebuildChordLists();
        ++k;
        state.PauseTiming();
        if (t.count > 4200) // keep the sheet at its size
            t.removeNote(t.count / 2);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OneEdit)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Memory the undo ring holds once it is full: 64 edits on the largest sheet.
void BM_UndoRingMemory(benchmark::State& state)
{
    for (auto _ : state) {
        auto sheet = bench::makeLargestSheet();
        const long long before = g_liveBytes.load();
        for (int k = 0; k < 64; ++k) {
            sheet->snapshot(SnapshotKind::Insert, 0);
            Track& t = *sheet->trackAt(k % 15);
            Note n;
            n.type = kTypeEighth;
            n.setLyric("edit");
            t.insertNote(n, (k * 997) % t.count);
        }
        const long long after = g_liveBytes.load();
        state.counters["undo_ring_MB"] = static_cast<double>(after - before) / (1024.0 * 1024.0);
        // Undo all the way back, to show the ring is usable.
        for (int k = 0; k < 64; ++k)
            sheet->undo();
        state.counters["notes_after_undo"] = sheet->trackAt(0)->count;
    }
}
BENCHMARK(BM_UndoRingMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
