// Paper and close-up speed: the sheet imported from 6 tracks of 10 000 note-ons printed to a
// PDF file (with the file's size and page count as counters), and one 1000 x 800 window of the
// largest sheet (chords, lyrics on every fourth root) drawn at zoom 2 through the Qt canvas.

#include "bench_sheets.h"

#include "editor/layout.h"
#include "editor/sheet_drawing.h"
#include "editor/sheet_view_state.h"
#include "platform/sheet_lock.h"
#include "playback/midi_file_reader.h"
#include "render/qt_canvas.h"
#include "render/sheet_rendering.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>

#include <cstdlib>
#include <string>

namespace {

using namespace tonvela;

void BM_PrintSixTracksOfTenThousandNotesToPdf(benchmark::State& state)
{
    ensureGuiApplication();
    SheetDocument sheet;
    const LoadResult res = importMidiData(bench::makeSixTracksOfTenThousandNotes(), sheet);
    if (!res.ok()) {
        state.SkipWithError(res.error.c_str());
        return;
    }
    SheetViewState view(sheet);
    view.title = "Six tracks";
    view.setClientSize(1000, 800);
    const std::string path = QDir::tempPath().toStdString() + "/tonvela-print-bench.pdf";
    PrintResult result;
    for (auto _ : state) {
        result = printViewToPdf(view, path);
        if (!result.ok) {
            state.SkipWithError(result.error.c_str());
            break;
        }
    }
    state.counters["pages"] = result.pages;
    state.counters["MB"] = static_cast<double>(QFileInfo(QString::fromStdString(path)).size()) / 1e6;
    if (!std::getenv("TONVELA_KEEP_BENCH_PDF"))
        QFile::remove(QString::fromStdString(path));
}
BENCHMARK(BM_PrintSixTracksOfTenThousandNotesToPdf)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_DrawWindowOfTheLargestSheetAtZoom2(benchmark::State& state)
{
    ensureGuiApplication();
    auto sheet = bench::makeLargestSheet();
    sheet->zoomamount = 2.0f;
    SheetViewState view(*sheet);
    constexpr int kWidth = 1000, kHeight = 800;
    view.setClientSize(kWidth, kHeight);
    view.firstVisibleRow = 30;
    {
        const SheetLockGuard lock(sheetLock());
        layoutRows(view);
    }
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        const SheetLockGuard lock(sheetLock());
        image.fill(Qt::white);
        QPainter painter(&image);
        QtCanvas canvas(painter, kWidth, kHeight);
        drawSheet(view, canvas, false);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_DrawWindowOfTheLargestSheetAtZoom2)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
