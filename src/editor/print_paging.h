#pragma once

#include "drawing/canvas.h"
#include "editor/page_layout.h"
#include "editor/sheet_layout.h"

#include <memory>
#include <string>

namespace tonvela {

class SheetDocument;
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
PrintGeometry printGeometry(int printerDpiX, int printerDpiY, int screenDpiX, int screenDpiY, int pageWidth,
                            int pageHeight);

// The print job's layout: how wide its staves are, in sheet units at zoom 1, and how many
// printer device units one sheet unit takes, for the printer's printable page and the sheet's
// staff size.
struct PaperScale {
    int layoutWidth = 0;
    double pageHeight = 0;    // printable height, sheet units
    double devicePerUnit = 1; // printer device units per sheet unit
};
PaperScale paperScale(const SheetDocument& sheet, const Printer& printer);

// Prints the sheet of `view` for the paper: the print job lays the sheet out as a view of its
// own at the sheet's staff size and the printer's page width (never at the window's zoom or
// width), places whole systems on the pages from the top with even gaps (page_layout.h) and
// draws each with the ordinary sheet drawing, the printing switch on, as shapes and text
// straight onto the page canvas. Page 1 carries the sheet's title, subtitle, composer and
// lyricist, the tempo as a metronome mark above the first staff and the copyright at its foot;
// later pages a running header of the title; every page its number. A sheet without a title
// prints none (the file's name is only the print document's name). The view it was asked from
// is left as it was.
PrintResult printSheet(SheetViewState& view, Printer& printer);

} // namespace tonvela
