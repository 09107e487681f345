// Mouse editing on the largest sheet (15 tracks of 4000 notes) in a 1000 x 800 window at
// zoom 1: a click that inserts a note, through its undo snapshot of every track, the insertion,
// the relayout of the whole sheet and the paint of the window as the painter thread paints it;
// and the tracking of one pointer move over the sheet; and the paint of a window at zoom 2.

#include "bench_sheets.h"

#include "editor/commands.h"
#include "editor/editing/sheet_editor.h"
#include "editor/sheet_drawing.h"
#include "editor/sheet_view_state.h"
#include "render/qt_canvas.h"
#include "render/sheet_rendering.h"

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

using namespace tonvela;

class NullHost : public EditorHost {
  public:
    void layoutChanged() override {}
    void scrolled() override {}
};

constexpr int kWidth = 1000;
constexpr int kHeight = 800;

struct LargestSheetWindow {
    explicit LargestSheetWindow(float zoom = 1.0f)
        : sheet(bench::makeLargestSheet()), view(*sheet), editor(view, host)
    {
        sheet->zoomamount = zoom;
        editor.resize(kWidth, kHeight);
    }
    // What the painter thread does for a window: a white image of the client size, the sheet
    // drawn into it.
    QImage paint()
    {
        const SheetLockGuard lock(sheetLock());
        QImage image(kWidth, kHeight, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        QtCanvas canvas(painter, kWidth, kHeight);
        drawSheet(view, canvas, false);
        return image;
    }

    std::unique_ptr<SheetDocument> sheet;
    SheetViewState view;
    NullHost host;
    SheetEditor editor;
};

void BM_ClickInsertsANoteOnTheLargestSheet(benchmark::State& state)
{
    ensureGuiApplication();
    LargestSheetWindow w;
    Track& track = *w.sheet->trackAt(0);
    // Between the second and third chords of the first track: the whole track moves up.
    const int third = track.nextRoot(track.nextRoot(0));
    const int x = w.view.noteLayout(0, third).x - 6;
    const int y = w.view.row(0).top + 20;
    int64_t ms = 0;
    // The window has been painted before anyone clicks: glyphs and fonts are ready.
    benchmark::DoNotOptimize(w.paint().constBits());
    double worst = 0.0;
    for (auto _ : state) {
        const int before = track.count;
        const auto start = std::chrono::steady_clock::now();
        w.editor.pointerPressed({x, y, false, false, ms += 20, PointerButton::Left});
        w.editor.pointerReleased({x, y, false, false, ms += 20, PointerButton::Left});
        const QImage picture = w.paint();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        worst = std::max(worst, seconds);
        benchmark::DoNotOptimize(picture.constBits());
        if (track.count != before + 1) {
            state.SkipWithError("the click added no note");
            break;
        }
        w.editor.command(kCmdUndo);
    }
    state.counters["worst_ms"] = worst * 1000.0;
}
BENCHMARK(BM_ClickInsertsANoteOnTheLargestSheet)
    ->ComputeStatistics("max",
                        [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); })
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(200)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_PointerTrackingOverTheLargestSheet(benchmark::State& state)
{
    LargestSheetWindow w;
    int64_t ms = 0;
    int k = 0;
    for (auto _ : state) {
        // Across the window and down through the rows, every move tracked.
        const int x = 20 + (k * 37) % (kWidth - 40);
        const int y = 10 + (k * 53) % (kHeight - 20);
        ++k;
        benchmark::DoNotOptimize(w.editor.pointerMoved({x, y, false, false, ms += 20, PointerButton::None}));
    }
}
BENCHMARK(BM_PointerTrackingOverTheLargestSheet)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The paint of one window at zoom 2 as the painter thread does it, the layout already done:
// staff lines, ledger lines, beams and ties at their weights, and the glyphs.
void BM_PaintWindowAtZoomTwo(benchmark::State& state)
{
    ensureGuiApplication();
    LargestSheetWindow w(2.0f);
    benchmark::DoNotOptimize(w.paint().constBits());
    for (auto _ : state)
        benchmark::DoNotOptimize(w.paint().constBits());
}
BENCHMARK(BM_PaintWindowAtZoomTwo)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
