// The selection commands on the largest sheet (15 tracks of 4000 notes): Select All, Copy and
// Paste of one 4000-note track through the sheet editor, each paste with its undo snapshot of
// every track and the relayout of the whole sheet.

#include "bench_sheets.h"

#include "editor/commands.h"
#include "editor/editing/note_clipboard.h"
#include "editor/editing/sheet_editor.h"
#include "editor/sheet_view_state.h"

#include <benchmark/benchmark.h>

namespace {

using namespace tonvela;

class NullHost : public EditorHost {
  public:
    void layoutChanged() override {}
    void scrolled() override {}
};

void BM_SelectAllCopyPasteOf4000NoteTrack(benchmark::State& state)
{
    auto sheet = bench::makeLargestSheet();
    sheet->zoomamount = 1.0f;
    SheetViewState view(*sheet);
    view.setClientSize(1000, 800);
    NullHost host;
    SheetEditor editor(view, host);
    editor.relayout();
    sheet->selectedTrack = 3;
    for (auto _ : state) {
        editor.command(kCmdSelectAll);
        editor.command(kCmdCopy);
        editor.command(kCmdPaste);
        benchmark::DoNotOptimize(sheet->trackAt(3)->count);
        state.PauseTiming();
        if (sheet->trackAt(3)->count != 8000)
            state.SkipWithError("the paste did not double the track");
        editor.command(kCmdUndo);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SelectAllCopyPasteOf4000NoteTrack)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
