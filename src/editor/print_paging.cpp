#include "editor/print_paging.h"

#include "drawing/scaled_canvas.h"
#include "editor/layout.h"
#include "editor/sheet_drawing.h"
#include "editor/sheet_view_state.h"
#include "platform/sheet_lock.h"
#include "score/sheet_document.h"

#include <algorithm>
#include <cmath>

namespace tonvela {
namespace {

double scaleOf(int printer, int screen)
{
    const int larger = std::max(printer, screen);
    const int smaller = std::min(printer, screen);
    if (smaller <= 0)
        return 1.0;
    const double s = 1.3 * (static_cast<double>(larger) / static_cast<double>(smaller));
    return s > 0 ? s : 1.0;
}

// Room on every page, in screen pixels, for the sheet's title above the systems and the page
// number below them.
constexpr int kTitleBand = 40;
constexpr int kFooterBand = 30;

void drawPageDecorations(Canvas& canvas, const std::string& title, int page, int pages, int width, int height)
{
    canvas.setTextColor(kBlack);
    canvas.setFont(Font{20, true});
    canvas.drawTextCentred(0, 0, width, kTitleBand, title);
    canvas.setFont(Font{14, false});
    const std::string number = "page " + std::to_string(page) + " of " + std::to_string(pages);
    canvas.drawTextCentred(0, height - kFooterBand, width, height, number);
}

// Draws one page straight onto the printer's page: the ordinary sheet drawing goes through a
// scaling canvas, so the page holds the lines, glyph outlines and text themselves rather than a
// picture of them, and stays sharp at any resolution.
void printPage(const SheetViewState& paper, Printer& printer, const PrintGeometry& g, int page, int pages)
{
    printer.startPage();
    // One factor both ways keeps note heads round on a printer of unequal resolutions.
    const double scale = std::min(g.scaleX, g.scaleY);
    const int dW = static_cast<int>(g.layoutW * scale);
    const int dH = static_cast<int>(g.layoutH * scale);
    const int left = g.pageW / 2 - dW / 2;
    const int top = g.pageH / 2 - dH / 2;
    ScaledCanvas pageCanvas(printer.pageCanvas(), scale, left, top);
    drawPageDecorations(pageCanvas, paper.title, page, pages, g.layoutW, g.layoutH);
    ScaledCanvas sheetCanvas(printer.pageCanvas(), scale, left,
                             top + static_cast<int>(std::lround(kTitleBand * scale)));
    drawSheet(paper, sheetCanvas, true);
    printer.endPage();
}

} // namespace

int rowsPerPrintedPage(int height, int tracks, int rowPitch)
{
    int rows = 0;
    while (rows < kRowCount &&
           rows * rowPitch + kRowTopOffset + (rowPitch - kRowPitch) + kPrintedRowDepth <= height)
        ++rows;
    // Pages start with a whole system, so its staves and bar lines stay together; a page too
    // short for one system still advances by a row so printing always ends.
    const int perSystem = std::max(1, tracks);
    if (rows >= perSystem)
        rows -= rows % perSystem;
    return std::max(rows, 1);
}

PrintGeometry printGeometry(int printerDpiX, int printerDpiY, int screenDpiX, int screenDpiY, int pageWidth,
                            int pageHeight)
{
    PrintGeometry g;
    g.scaleX = scaleOf(printerDpiX, screenDpiX);
    g.scaleY = scaleOf(printerDpiY, screenDpiY);
    g.pageW = std::max(pageWidth, 0);
    g.pageH = std::max(pageHeight, 0);
    g.layoutW = static_cast<int>(g.pageW / g.scaleX);
    g.layoutH = static_cast<int>(g.pageH / g.scaleY);
    return g;
}

PrintResult printSheet(SheetViewState& view, Printer& printer, int screenDpiX, int screenDpiY)
{
    // The drawing reads the notes playback marks as sounding.
    SheetLockGuard lock(sheetLock());
    PrintResult result;
    if (!printer.startDocument(view.title, result.error)) {
        result.ok = false;
        return result;
    }
    const PrintGeometry g = printGeometry(printer.dpiX(), printer.dpiY(), screenDpiX, screenDpiY,
                                          printer.pageWidth(), printer.pageHeight());

    // The print job is a view of its own, laid out for the page: the window's view, its size,
    // scroll position and layout are left as they are.
    SheetViewState paper(view.sheet());
    paper.title = view.title;
    paper.printing = true;
    const float z = paper.zoom();
    paper.layoutWidth = static_cast<int>(static_cast<float>(g.layoutW) / z);
    // The systems fill the page between its title and its page number.
    const int sheetH = std::max(g.layoutH - kTitleBand - kFooterBand, 1);
    paper.layoutHeight = static_cast<int>(static_cast<float>(sheetH) / z);
    // A window of the same width at the same zoom has the layout already.
    const std::shared_ptr<const SheetLayout>& shown = view.sharedLayout();
    if (shown->layoutWidth == paper.layoutWidth && shown->zoom == z &&
        shown->trackCount == view.sheet().trackCount())
        paper.setLayout(shown);
    layoutRows(paper);

    const int rowsPerPage =
        rowsPerPrintedPage(paper.layoutHeight, paper.sheet().trackCount(), paper.rowPitch());

    // Every row in use is printed: the last page may hold fewer rows than the others.
    const int rowsInUse = std::max(paper.rowsInUse(), 1);
    const int pages = (rowsInUse + rowsPerPage - 1) / rowsPerPage;
    for (int first = 0; first < rowsInUse; first += rowsPerPage) {
        paper.firstVisibleRow = first;
        paper.pageEndRow = first + rowsPerPage;
        printPage(paper, printer, g, result.pages + 1, pages);
        ++result.pages;
    }
    if (!printer.endDocument(result.error))
        result.ok = false;
    return result;
}

} // namespace tonvela
