#pragma once

#include "drawing/canvas.h"
#include "editor/sheet_layout.h"

#include <memory>
#include <string>

namespace tonvela {

class SheetViewState;

// An off-screen surface of the screen's kind: a page drawn as a picture (a PNG of a page). It
// starts white.
class PrintSurface {
  public:
    virtual ~PrintSurface() = default;
    virtual Canvas& canvas() = 0;
    // What was drawn, as a picture the printer's page canvas can copy.
    virtual std::unique_ptr<Picture> takePicture() = 0;
};

// A printer as the paging needs it: resolution, printable size, documents and pages, and a
// page canvas the pages are drawn onto.
class Printer {
  public:
    virtual ~Printer() = default;
    virtual int dpiX() const = 0;
    virtual int dpiY() const = 0;
    virtual int pageWidth() const = 0;  // printable width in device pixels
    virtual int pageHeight() const = 0; // printable height in device pixels
    // False with a message when the document cannot be started (a PDF that cannot be written).
    virtual bool startDocument(const std::string& name, std::string& error) = 0;
    virtual void startPage() = 0;
    virtual Canvas& pageCanvas() = 0;
    virtual void endPage() = 0;
    // False with a message when the finished document could not be written.
    virtual bool endDocument(std::string& error) = 0;
    // A white surface of w x h screen pixels.
    virtual std::unique_ptr<PrintSurface> createScreenSurface(int width, int height) = 0;
};

struct PrintResult {
    bool ok = true;
    int pages = 0;
    std::string error;
};

// The numbers of one print run.
struct PrintGeometry {
    double scaleX = 1, scaleY = 1; // 1.3 x the ratio of printer to screen resolution
    int pageW = 0, pageH = 0;      // printable page in device pixels
    int layoutW = 0, layoutH = 0;  // the page in screen pixels
};
// How far below its top a printed row draws: the lyric line under the staff, seven staff
// spaces down and 24 units high.
inline constexpr int kPrintedRowDepth = 7 * 9 + 24;
// The rows one page holds when `height` sheet units lie between its title and its page number:
// as many whole systems of `tracks` rows as fit with their lyrics above the page number (at
// least one row, so printing always moves on).
int rowsPerPrintedPage(int height, int tracks, int rowPitch = kRowPitch);

PrintGeometry printGeometry(int printerDpiX, int printerDpiY, int screenDpiX, int screenDpiY, int pageWidth,
                            int pageHeight);

// Prints every system of the sheet of `view` at the view's zoom, page after page from the
// first row whatever the view's scroll position, each page drawn by the ordinary sheet drawing
// with the printing switch on, scaled and centred onto the page canvas as shapes and text,
// under the view's title and above "page n of m". The print job lays the sheet out for its page
// as a view of its own; the view it was asked from is left as it was.
PrintResult printSheet(SheetViewState& view, Printer& printer, int screenDpiX, int screenDpiY);

} // namespace tonvela
