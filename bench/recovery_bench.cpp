// The autosave of the largest sheet (15 tracks of 4000 notes with chords, lyrics and loops):
// what the user-interface thread spends (the copy under the sheet lock and the hand-off to the
// worker) and what the worker spends (the file text and the atomic write).

#include "bench_sheets.h"

#include "platform/serial_worker.h"
#include "recovery/recovery_store.h"
#include "score/sheet_file.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <functional>
#include <memory>

using namespace tonvela;

namespace {

// The part on the user-interface thread: copy and hand-off. The worker's own work is waited
// for outside the timing, as the next autosave comes 30 seconds later.
void BM_AutosaveUserInterfaceThread(benchmark::State& state)
{
    auto sheet = bench::makeLargestSheet();
    SerialWorker worker;
    std::size_t bytes = 0;
    for (auto _ : state) {
        // As a sheet window hands its copy over: the worker holds the only reference, so
        // the copy is also freed there.
        std::function<std::string()> text = [copy = std::make_shared<const SheetCopy>(copySheet(*sheet))] {
            return sheetCopyText(*copy);
        };
        worker.post([text = std::move(text), &bytes] { bytes = text().size(); });
        state.PauseTiming();
        worker.flush();
        state.ResumeTiming();
    }
    state.counters["file_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_AutosaveUserInterfaceThread)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

// The worker's part: the file text from the copy and the atomic write of the recovery file.
void BM_AutosaveWorker(benchmark::State& state)
{
    auto sheet = bench::makeLargestSheet();
    const SheetCopy copy = copySheet(*sheet);
    const std::string folder = (std::filesystem::temp_directory_path() / "tonvela-bench-recovery").string();
    const std::string file = folder + "/bench" + kRecoveryFileSuffix;
    const RecoveryEntry entry{kRecoveryKindSheet, "/tmp/bench.shd", "bench.shd", 0, currentProcess()};
    for (auto _ : state) {
        const FileResult r = writeRecoveryFile(file, entry, sheetCopyText(copy));
        if (!r)
            state.SkipWithError(r.error.c_str());
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_AutosaveWorker)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
