// Layout and drawing speed of the largest sheet: 15 tracks of 4000 notes.

#include "bench_sheets.h"

#include "editor/layout.h"
#include "editor/sheet_drawing.h"
#include "editor/sheet_view_state.h"
#include "platform/canvas.h"

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
    void drawEllipse(int, int, int, int) override { ++calls; }
    void drawArc(int, int, int, int, int, int, int, int) override { ++calls; }
    void drawText(int, int, std::string_view) override { ++calls; }
    void drawTextInRect(int, int, int, int, std::string_view) override { ++calls; }
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
        layoutRows(view);
        benchmark::DoNotOptimize(view.rowsInUse);
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
        layoutRows(view);
        drawSheet(view, canvas, false);
        benchmark::DoNotOptimize(canvas.calls);
    }
}
BENCHMARK(BM_LayoutAndDrawWindowLargestSheet)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
