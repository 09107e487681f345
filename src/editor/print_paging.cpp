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
void printPage(SheetViewState& view, Printer& printer, const PrintGeometry& g, int page, int pages)
{
    printer.startPage();
    // One factor both ways keeps note heads round on a printer of unequal resolutions.
    const double scale = std::min(g.scaleX, g.scaleY);
    const int dW = static_cast<int>(g.layoutW * scale);
    const int dH = static_cast<int>(g.layoutH * scale);
    const int left = g.pageW / 2 - dW / 2;
    const int top = g.pageH / 2 - dH / 2;
    ScaledCanvas pageCanvas(printer.pageCanvas(), scale, left, top);
    drawPageDecorations(pageCanvas, view.title, page, pages, g.layoutW, g.layoutH);
    // The sheet lock is held through the whole run, so the layout of the first page stands:
    // each page only moves the rows and places the notes it shows.
    scrollLaidOutRows(view, view.firstVisibleRow);
    ScaledCanvas sheetCanvas(printer.pageCanvas(), scale, left,
                             top + static_cast<int>(std::lround(kTitleBand * scale)));
    drawSheet(view, sheetCanvas, true);
    printer.endPage();
}

} // namespace

int rowsPerPrintedPage(int height, int tracks)
{
    int rows = 0;
    while (rows < kRowCount && rows * kRowPitch + kRowTopOffset + kPrintedRowDepth <= height)
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
    SheetLockGuard lock(sheetLock());
    PrintResult result;
    if (!printer.startDocument(view.title, result.error)) {
        result.ok = false;
        return result;
    }
    const PrintGeometry g = printGeometry(printer.dpiX(), printer.dpiY(), screenDpiX, screenDpiY,
                                          printer.pageWidth(), printer.pageHeight());

    const int savedFirstRow = view.firstVisibleRow;
    const int savedWidth = view.layoutWidth;
    const int savedHeight = view.layoutHeight;
    const float savedZoom = view.sheet().zoomamount;
    const bool savedPrinting = view.printing;

    const float z = view.zoom();
    view.printing = true;
    view.layoutWidth = static_cast<int>(static_cast<float>(g.layoutW) / z);
    // The systems fill the page between its title and its page number.
    const int sheetH = std::max(g.layoutH - kTitleBand - kFooterBand, 1);
    view.layoutHeight = static_cast<int>(static_cast<float>(sheetH) / z);
    view.firstVisibleRow = 0;
    layoutRows(view);
    if (auto scratch = printer.createScreenSurface(g.layoutW, sheetH))
        drawSheet(view, scratch->canvas(), true); // fixes the rows and their note counts

    const int rowsPerPage = rowsPerPrintedPage(view.layoutHeight, view.sheet().trackCount());

    // Every row in use is printed: the last page may hold fewer rows than the others.
    const int rowsInUse = std::max(view.rowsInUse, 1);
    const int pages = (rowsInUse + rowsPerPage - 1) / rowsPerPage;
    for (int first = 0; first < rowsInUse; first += rowsPerPage) {
        view.firstVisibleRow = first;
        view.pageEndRow = first + rowsPerPage;
        printPage(view, printer, g, result.pages + 1, pages);
        ++result.pages;
    }
    if (!printer.endDocument(result.error))
        result.ok = false;

    view.sheet().zoomamount = savedZoom;
    view.printing = savedPrinting;
    view.pageEndRow = -1;
    view.layoutWidth = savedWidth;
    view.layoutHeight = savedHeight;
    view.firstVisibleRow = savedFirstRow;
    layoutRows(view);
    return result;
}

} // namespace tonvela
