// Layout and drawing speed of the largest sheet (15 tracks of 4000 notes) and of a sheet
// imported from a MIDI file of 6 tracks of 10 000 notes: layouts made afresh (as a new width or
// zoom makes them), the layout after an edit (only what the edit changed), and drawing.

#include "bench_sheets.h"

#include "drawing/canvas.h"
#include "editor/layout.h"
#include "editor/sheet_drawing.h"
#include "editor/sheet_view_state.h"
#include "playback/midi_file_reader.h"

#include <benchmark/benchmark.h>

namespace {

using namespace tonvela;

// Counts calls and keeps nothing, so the figure is the drawing logic alone.
class NullCanvas : public Canvas {
  public:
    int width() const override { return 1000; }
    int height() const override { return 800; }
    void setPen(const Pen&) override { ++calls; }
    void setBrush(Color) override { ++calls; }
    void setNoBrush() override { ++calls; }
    void setFont(const Font&) override { ++calls; }
    void setTextColor(Color) override { ++calls; }
    void drawLine(int, int, int, int) override { ++calls; }
    void drawRect(int, int, int, int) override { ++calls; }
    void fillRect(int, int, int, int, Color) override { ++calls; }
    void fillPolygon(std::span<const PointF>, Color) override { ++calls; }
    void drawEllipse(int, int, int, int) override { ++calls; }
    void drawArc(int, int, int, int, int, int, int, int) override { ++calls; }
    void drawText(int, int, std::string_view) override { ++calls; }
    void drawTextInRect(int, int, int, int, std::string_view) override { ++calls; }
    void drawTextCentred(int, int, int, int, std::string_view) override { ++calls; }
    void drawGlyph(int, int, int, double, GlyphColor) override { ++calls; }
    void drawPicture(const Picture&, int, int, int, int) override { ++calls; }
    long long calls = 0;
};

void BM_LayoutRowsLargestSheet(benchmark::State& state)
{
    auto sheet = bench::makeLargestSheet();
    sheet->zoomamount = 1.0f;
    SheetViewState view(*sheet);
    view.setClientSize(1000, 800);
    for (auto _ : state) {
        view.setLayout(nullptr);
        layoutRows(view);
        benchmark::DoNotOptimize(view.rowsInUse());
    }
}
BENCHMARK(BM_LayoutRowsLargestSheet)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_DrawWindowLargestSheet(benchmark::State& state)
{
    auto sheet = bench::makeLargestSheet();
    sheet->zoomamount = 1.0f;
    SheetViewState view(*sheet);
    view.setClientSize(1000, 800);
    layoutRows(view);
    NullCanvas canvas;
    for (auto _ : state) {
        drawSheet(view, canvas, false);
        benchmark::DoNotOptimize(canvas.calls);
    }
}
BENCHMARK(BM_DrawWindowLargestSheet)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_LayoutAndDrawWindowLargestSheet(benchmark::State& state)
{
    auto sheet = bench::makeLargestSheet();
    sheet->zoomamount = 1.0f;
    SheetViewState view(*sheet);
    view.setClientSize(1000, 800);
    NullCanvas canvas;
    for (auto _ : state) {
        view.setLayout(nullptr);
        layoutRows(view);
        drawSheet(view, canvas, false);
        benchmark::DoNotOptimize(canvas.calls);
    }
}
BENCHMARK(BM_LayoutAndDrawWindowLargestSheet)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The layout after an edit near the start of the first track of the largest sheet: a note
// inserted (and taken out again, each laid out): the first track is laid out again from its
// first row, the 14 others keep theirs.
void BM_RelayoutAfterAnEditOfTheLargestSheet(benchmark::State& state)
{
    auto sheet = bench::makeLargestSheet();
    sheet->zoomamount = 1.0f;
    SheetViewState view(*sheet);
    view.setClientSize(1000, 800);
    layoutRows(view);
    Track& track = *sheet->trackAt(0);
    const int at = track.nextRoot(track.nextRoot(0));
    Note note;
    note.type = kTypeQuarter;
    for (auto _ : state) {
        track.insertNote(note, at);
        layoutRows(view);
        track.removeNote(at);
        layoutRows(view);
        benchmark::DoNotOptimize(view.rowsInUse());
    }
}
BENCHMARK(BM_RelayoutAfterAnEditOfTheLargestSheet)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The sheet imported from 6 tracks of 10 000 note-ons, laid out whole in a window of
// 1000 x 800.
std::unique_ptr<SheetDocument> importedSixTrackSheet(benchmark::State& state)
{
    auto sheet = std::make_unique<SheetDocument>();
    const LoadResult res = importMidiData(bench::makeSixTracksOfTenThousandNotes(), *sheet);
    if (!res.ok())
        state.SkipWithError(res.error.c_str());
    sheet->zoomamount = 1.0f;
    return sheet;
}

void BM_LayoutRowsSixTracksOfTenThousandNotes(benchmark::State& state)
{
    auto sheet = importedSixTrackSheet(state);
    SheetViewState view(*sheet);
    view.setClientSize(1000, 800);
    int notes = 0;
    for (int t = 0; t < sheet->trackCount(); ++t)
        notes += sheet->trackAt(t)->count;
    for (auto _ : state) {
        view.setLayout(nullptr);
        layoutRows(view);
        benchmark::DoNotOptimize(view.rowsInUse());
    }
    int laid = 0;
    for (int t = 0; t < sheet->trackCount(); ++t)
        laid += view.laidOutCount(t);
    state.counters["sheetNotes"] = notes;
    state.counters["laidOut"] = laid;
    state.counters["rows"] = view.rowsInUse();
}
BENCHMARK(BM_LayoutRowsSixTracksOfTenThousandNotes)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// Scrolled half way down, as a window shows the middle of a long piece.
void BM_LayoutAndDrawWindowSixTracksOfTenThousandNotes(benchmark::State& state)
{
    auto sheet = importedSixTrackSheet(state);
    SheetViewState view(*sheet);
    view.setClientSize(1000, 800);
    layoutRows(view);
    view.firstVisibleRow = view.rowsInUse() / 2;
    NullCanvas canvas;
    for (auto _ : state) {
        view.setLayout(nullptr);
        layoutRows(view);
        drawSheet(view, canvas, false);
        benchmark::DoNotOptimize(canvas.calls);
    }
}
BENCHMARK(BM_LayoutAndDrawWindowSixTracksOfTenThousandNotes)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
