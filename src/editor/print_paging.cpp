#include "editor/print_paging.h"

#include "drawing/scaled_canvas.h"
#include "editor/glyphs.h"
#include "editor/layout.h"
#include "editor/lyric_spacing.h"
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

// Heights of the page texts, in millimetres on paper whatever the staff size.
constexpr double kTitleMm = 8.5;
constexpr double kSubtitleMm = 5.5;
constexpr double kCreditMm = 4.2; // composer and lyricist
constexpr double kTempoMm = 4.2;
constexpr double kHeaderMm = 3.6; // the running header of later pages
constexpr double kNumberMm = 3.6; // page numbers
constexpr double kCopyrightMm = 3.2;
constexpr double kAfterTitlesMm = 3.0; // between the title block and the music
constexpr double kAfterHeaderMm = 4.0;
constexpr double kBeforeFootMm = 3.0;
// Room between two systems beyond everything they draw: at least three staff spaces, so they
// stand further apart than the staves inside a system, and at most twelve when a page spreads
// them.
constexpr int kSystemGap = 3 * kStaffSpacing;
constexpr int kMaxSystemGap = 12 * kStaffSpacing;
// How much of a text line's cell its letters fill, so lines stack without touching.
constexpr double kLineSpacing = 1.15;

// The page furniture of one print run, in the print job's sheet units.
struct PageTexts {
    const SheetTexts& texts;
    int tempo = 0;  // beats a minute of the metronome mark; 0 for none
    double upm = 1; // sheet units per millimetre
    int width = 0;  // printable width
    double height = 0;

    int units(double mm) const { return std::max(1, static_cast<int>(std::lround(mm * upm))); }
    int line(double mm) const { return static_cast<int>(std::lround(mm * upm * kLineSpacing)); }

    double titleBlock() const
    {
        double h = 0;
        if (!texts.title.empty())
            h += line(kTitleMm);
        if (!texts.subtitle.empty())
            h += line(kSubtitleMm);
        if (!texts.composer.empty() || !texts.lyricist.empty())
            h += line(kCreditMm);
        if (h > 0)
            h += units(kAfterTitlesMm);
        return h;
    }
    double tempoBand() const { return tempo > 0 ? line(kTempoMm) : 0; }
    double header() const { return texts.title.empty() ? 0 : line(kHeaderMm) + units(kAfterHeaderMm); }
    double foot() const { return line(kNumberMm) + units(kBeforeFootMm); }
    double firstFoot() const { return foot() + (texts.copyright.empty() ? 0 : line(kCopyrightMm)); }
};

void drawRightAligned(Canvas& canvas, int right, int top, int height, bool bold, const std::string& text)
{
    const Font font{height, bold};
    canvas.setFont(font);
    const int width = lyricTextWidth(text, font);
    canvas.drawTextInRect(right - width, top, right + 1, top + height * 2, text);
}

// The metronome mark: a quarter note and "= 96", its note head level with the text's middle.
void drawTempoMark(Canvas& canvas, const PageTexts& p, int y)
{
    const int cell = p.units(kTempoMm);
    const double noteScale = cell / 24.0;
    const int noteY = y + cell / 2 - static_cast<int>(std::lround(kHeadUpY * noteScale));
    canvas.drawGlyph(kGlyphQuarterUp, kStaffLeft, noteY, noteScale, GlyphColor::Normal);
    canvas.setFont(Font{cell, true});
    canvas.drawText(kStaffLeft + static_cast<int>(std::lround(16 * noteScale)), y,
                    "= " + std::to_string(p.tempo));
}

void drawPageTexts(Canvas& canvas, const PageTexts& p, int page, int pages, double firstSystemTop)
{
    const SheetTexts& t = p.texts;
    canvas.setTextColor(kBlack);
    if (page == 1) {
        int y = 0;
        if (!t.title.empty()) {
            canvas.setFont(Font{p.units(kTitleMm), true});
            canvas.drawTextCentred(0, y, p.width, y + p.line(kTitleMm), t.title);
            y += p.line(kTitleMm);
        }
        if (!t.subtitle.empty()) {
            canvas.setFont(Font{p.units(kSubtitleMm), false});
            canvas.drawTextCentred(0, y, p.width, y + p.line(kSubtitleMm), t.subtitle);
            y += p.line(kSubtitleMm);
        }
        if (!t.lyricist.empty()) {
            canvas.setFont(Font{p.units(kCreditMm), false});
            canvas.drawText(0, y, t.lyricist);
        }
        if (!t.composer.empty())
            drawRightAligned(canvas, p.width, y, p.units(kCreditMm), false, t.composer);
        if (p.tempo > 0)
            drawTempoMark(canvas, p, static_cast<int>(firstSystemTop) - p.line(kTempoMm));
    } else if (!t.title.empty()) {
        canvas.setFont(Font{p.units(kHeaderMm), false});
        canvas.drawTextCentred(0, 0, p.width, p.line(kHeaderMm), t.title);
    }
    const int bottom = static_cast<int>(p.height);
    const int numberTop = bottom - p.line(kNumberMm);
    canvas.setFont(Font{p.units(kNumberMm), false});
    canvas.drawTextCentred(0, numberTop, p.width, bottom,
                           "page " + std::to_string(page) + " of " + std::to_string(pages));
    if (page == 1 && !t.copyright.empty()) {
        canvas.setFont(Font{p.units(kCopyrightMm), false});
        canvas.drawTextCentred(0, numberTop - p.line(kCopyrightMm), p.width, numberTop, t.copyright);
    }
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

PaperScale paperScale(const SheetDocument& sheet, const Printer& printer)
{
    const double upm = unitsPerMm(sanitizedStaffSize(sheet.pageSetup.staffSizeMm));
    // One factor both ways keeps note heads round on a printer of unequal resolutions.
    const int dpi = std::max(1, std::min(printer.dpiX(), printer.dpiY()));
    PaperScale s;
    s.devicePerUnit = dpi / 25.4 / upm;
    s.layoutWidth = std::max(1, static_cast<int>(std::max(printer.pageWidth(), 0) / s.devicePerUnit));
    s.pageHeight = std::max(printer.pageHeight(), 0) / s.devicePerUnit;
    return s;
}

PrintResult printSheet(SheetViewState& view, Printer& printer)
{
    // The drawing reads the notes playback marks as sounding.
    SheetLockGuard lock(sheetLock());
    SheetDocument& sheet = view.sheet();
    PrintResult result;
    const std::string name = sheet.texts.title.empty() ? view.title : sheet.texts.title;
    if (!printer.startDocument(name, result.error)) {
        result.ok = false;
        return result;
    }
    const PaperScale scale = paperScale(sheet, printer);

    // The print job is a view of its own, laid out for the page at zoom 1: the window's view,
    // its zoom, size, scroll position and layout are left as they are.
    SheetViewState paper(sheet);
    paper.title = name;
    paper.printing = true;
    paper.fixedZoom = 1.0f;
    paper.layoutWidth = scale.layoutWidth;
    // Paper spaces the measures by their music: each as wide as it needs, as many on a system
    // as fit.
    LayoutOptions paperSpacing;
    paperSpacing.naturalSpacing = true;
    paper.setLayout(layOutSheet(sheet, scale.layoutWidth, 1.0f, nullptr, paperSpacing));

    const std::vector<SystemExtent> systems = measureSystems(sheet, paper.layout());
    const Track* first = sheet.trackCount() > 0 ? sheet.trackAt(0) : nullptr;
    const PageTexts texts{sheet.texts, first && !systems.empty() ? first->tempo : 0,
                          unitsPerMm(sanitizedStaffSize(sheet.pageSetup.staffSizeMm)), scale.layoutWidth,
                          scale.pageHeight};
    PageRoom room;
    room.height = scale.pageHeight;
    room.firstPageTop = texts.titleBlock() + texts.tempoBand();
    room.laterPageTop = texts.header();
    room.bottomReserve = texts.foot();
    room.firstPageBottom = texts.firstFoot();
    room.minGap = kSystemGap;
    room.maxGap = kMaxSystemGap;
    const std::vector<PrintedPage> pages = placeSystems(systems, room);

    const int tracks = std::max(sheet.trackCount(), 1);
    const int pageCount = static_cast<int>(pages.size());
    const double unit = scale.devicePerUnit;
    for (int p = 0; p < pageCount; ++p) {
        printer.startPage();
        Canvas& page = printer.pageCanvas();
        const PrintedPage& printed = pages[static_cast<std::size_t>(p)];
        ScaledCanvas pageCanvas(page, unit);
        const double firstTop = printed.systems.empty() ? room.firstPageTop : printed.systems.front().y;
        drawPageTexts(pageCanvas, texts, p + 1, pageCount, firstTop);
        for (const PlacedSystem& placed : printed.systems) {
            const SystemExtent& e = systems[static_cast<std::size_t>(placed.system)];
            paper.firstVisibleRow = e.firstRow;
            paper.pageEndRow = e.firstRow + tracks;
            const int scroll = paper.scrollTop();
            paper.layoutHeight = e.bottom - scroll + 2 * kRowPitch;
            // The system's top goes to its place on the page; a system drawn smaller is centred
            // across the page.
            const double factor = unit * placed.scale;
            const int offsetX =
                static_cast<int>(std::lround(scale.layoutWidth * (1.0 - placed.scale) / 2.0 * unit));
            const int offsetY = static_cast<int>(std::lround(placed.y * unit - (e.top - scroll) * factor));
            ScaledCanvas systemCanvas(page, factor, offsetX, offsetY);
            drawSheet(paper, systemCanvas, true);
        }
        printer.endPage();
        ++result.pages;
    }
    if (!printer.endDocument(result.error))
        result.ok = false;
    return result;
}

} // namespace tonvela
