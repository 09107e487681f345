#include "editor/print_paging.h"

#include "editor/layout.h"
#include "editor/sheet_drawing.h"
#include "editor/sheet_view_state.h"
#include "platform/sheet_lock.h"
#include "score/sheet_document.h"

#include <algorithm>

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

void printPage(SheetViewState& view, Printer& printer, const PrintGeometry& g)
{
    printer.startPage();
    std::unique_ptr<PrintSurface> surface = printer.createScreenSurface(g.layoutW, g.layoutH);
    if (surface) {
        // The sheet lock is held through the whole run, so the layout of the first page stands:
        // each page only moves the rows and places the notes it shows.
        scrollLaidOutRows(view, view.firstVisibleRow);
        drawSheet(view, surface->canvas(), true);
        std::unique_ptr<Picture> picture = surface->takePicture();
        if (picture) {
            const int dW = static_cast<int>(g.layoutW * g.scaleX);
            const int dH = static_cast<int>(g.layoutH * g.scaleY);
            printer.pageCanvas().drawPicture(*picture, g.pageW / 2 - dW / 2, g.pageH / 2 - dH / 2, dW, dH);
        }
    }
    printer.endPage();
}

} // namespace

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
    view.layoutHeight = static_cast<int>(static_cast<float>(g.layoutH) / z);
    view.firstVisibleRow = 0;
    layoutRows(view);
    if (auto scratch = printer.createScreenSurface(g.layoutW, g.layoutH))
        drawSheet(view, scratch->canvas(), true); // fixes the rows and their note counts

    int rowsPerPage = 0;
    for (int r = 0; r < kRowCount; ++r)
        if ((r * kRowPitch + kRowTopOffset) + 50 < view.layoutHeight)
            ++rowsPerPage;
    // Pages start with a whole system, so its staves and bar lines stay together; a page too
    // short for one system still advances by a row so printing always ends.
    const int tracks = std::max(1, view.sheet().trackCount());
    if (rowsPerPage >= tracks)
        rowsPerPage -= rowsPerPage % tracks;
    rowsPerPage = std::max(rowsPerPage, 1);

    // Every row in use is printed: the last page may hold fewer rows than the others.
    const int rowsInUse = std::max(view.rowsInUse, 1);
    for (int first = 0; first < rowsInUse; first += rowsPerPage) {
        view.firstVisibleRow = first;
        view.pageEndRow = first + rowsPerPage;
        printPage(view, printer, g);
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
