#include "drawing/recording_canvas.h"
#include "editor/chord_symbol_marks.h"
#include "editor/example_sheets.h"
#include "editor/glyphs.h"
#include "editor/layout.h"
#include "editor/page_layout.h"
#include "editor/print_paging.h"
#include "editor/sheet_drawing.h"
#include "editor/sheet_view_state.h"
#include "score/sheet_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <set>

namespace tonvela {
namespace {

// A recording surface: keeps what one page drew.
class RecordingSurface : public PrintSurface {
  public:
    RecordingSurface(int w, int h, std::vector<RecordingCanvas>& pages) : m_canvas(w, h), m_pages(pages) {}
    Canvas& canvas() override { return m_canvas; }
    std::unique_ptr<Picture> takePicture() override
    {
        m_pages.push_back(m_canvas);
        return std::make_unique<SizedPicture>(m_canvas.width(), m_canvas.height());
    }

  private:
    struct SizedPicture : Picture {
        SizedPicture(int w, int h) : w(w), h(h) {}
        int width() const override { return w; }
        int height() const override { return h; }
        int w, h;
    };
    RecordingCanvas m_canvas;
    std::vector<RecordingCanvas>& m_pages;
};

class FakePrinter : public Printer {
  public:
    int dpiX() const override { return 600; }
    int dpiY() const override { return 600; }
    int pageWidth() const override { return width; }
    int pageHeight() const override { return height; }
    bool startDocument(const std::string& name, std::string& error) override
    {
        documentName = name;
        if (failStart)
            error = "no printer";
        return !failStart;
    }
    void startPage() override
    {
        ++pagesStarted;
        pages.emplace_back(4800, 6400);
    }
    Canvas& pageCanvas() override { return pages.empty() ? stray : pages.back(); }
    void endPage() override { ++pagesEnded; }
    bool endDocument(std::string&) override
    {
        ended = true;
        return true;
    }
    std::unique_ptr<PrintSurface> createScreenSurface(int w, int h) override
    {
        surfaceSizes.emplace_back(w, h);
        return std::make_unique<RecordingSurface>(w, h, drawnPages);
    }

    // The printable part of the page (an A4 sheet within margins of 15 mm at 600 dpi: 4252 x 6307).
    int width = 4800, height = 6400;
    bool failStart = false;
    std::string documentName;
    int pagesStarted = 0, pagesEnded = 0;
    bool ended = false;
    std::vector<RecordingCanvas> pages;      // what each printed page drew
    RecordingCanvas stray{4800, 6400};       // drawing outside any page
    std::vector<RecordingCanvas> drawnPages; // every picture taken from a screen surface
    std::vector<std::pair<int, int>> surfaceSizes;
};

class PrintPagingTest : public ::testing::Test {
  protected:
    void makeSheet(int tracks, int wholeNotes)
    {
        sheet = testing::sheetWithTracks(tracks);
        for (int i = 0; i < wholeNotes; ++i)
            testing::addNote(*sheet->trackAt(0), kTypeWhole, 1);
        view = std::make_unique<SheetViewState>(*sheet);
        view->title = "Waltz.shd";
        view->setClientSize(1000, 600);
        layoutRows(*view);
    }
    // The measure numbers each page drew at its rows' starts (bold digits drawn as plain text),
    // in order.
    std::vector<std::vector<int>> rowStartsPerPage() const
    {
        std::vector<std::vector<int>> out;
        const Font firstNumber = DrawTools::forZoom(1.0f).firstNumber;
        for (const RecordingCanvas& page : printer.pages) {
            std::vector<int> numbers;
            for (const auto& c : page.callsOf(RecordingCanvas::Kind::Text))
                if (c.font.bold && c.font.height == deviceLength(firstNumber.height) && isNumber(c.text))
                    numbers.push_back(std::stoi(c.text));
            out.push_back(numbers);
        }
        return out;
    }
    static bool isNumber(const std::string& text)
    {
        return !text.empty() &&
               std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
    }
    // A length of the print job's layout on the fake printer's page at the sheet's staff size.
    int deviceLength(int units) const
    {
        return static_cast<int>(std::lround(units * paperScale(*sheet, printer).devicePerUnit));
    }
    // Every text a page shows, centred or not.
    static std::vector<std::string> textsOf(const RecordingCanvas& page)
    {
        std::vector<std::string> out;
        for (const auto& c : page.calls())
            if (c.kind == RecordingCanvas::Kind::Text || c.kind == RecordingCanvas::Kind::TextCentred ||
                c.kind == RecordingCanvas::Kind::TextInRect)
                out.push_back(c.text);
        return out;
    }
    static bool shows(const RecordingCanvas& page, const std::string& text)
    {
        const auto texts = textsOf(page);
        return std::find(texts.begin(), texts.end(), text) != texts.end();
    }

    std::unique_ptr<SheetDocument> sheet;
    std::unique_ptr<SheetViewState> view;
    FakePrinter printer;
};

TEST_F(PrintPagingTest, ScaleFollowsTheRatioOfResolutions)
{
    const PrintGeometry g = printGeometry(600, 600, 96, 96, 4800, 6400);
    EXPECT_DOUBLE_EQ(g.scaleX, 8.125);
    EXPECT_EQ(g.layoutW, 590);
    EXPECT_EQ(g.layoutH, 787);
    const PrintGeometry broken = printGeometry(0, 600, 96, 0, 100, 100);
    EXPECT_DOUBLE_EQ(broken.scaleX, 1.0);
    EXPECT_DOUBLE_EQ(broken.scaleY, 1.0);
}

TEST_F(PrintPagingTest, TheStaffSizeSetsHowManyUnitsThePageHolds)
{
    makeSheet(1, 4);
    // 600 dpi: a 7 mm staff of 36 units makes a unit 600 / 25.4 x 7 / 36 device units.
    PaperScale s = paperScale(*sheet, printer);
    EXPECT_NEAR(s.devicePerUnit, 600.0 / 25.4 * 7.0 / 36.0, 1e-9);
    EXPECT_EQ(s.layoutWidth, static_cast<int>(4800 / s.devicePerUnit));
    sheet->pageSetup.staffSizeMm = 5.0;
    EXPECT_GT(paperScale(*sheet, printer).layoutWidth, s.layoutWidth);
    // A size a file damaged is brought into range.
    sheet->pageSetup.staffSizeMm = 40.0;
    EXPECT_NEAR(paperScale(*sheet, printer).devicePerUnit, 600.0 / 25.4 * 9.0 / 36.0, 1e-9);
}

TEST_F(PrintPagingTest, ShortUntitledSheetPrintsOnePageWithoutAFileNameAsTitle)
{
    makeSheet(2, 3);
    const PrintResult result = printSheet(*view, printer);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.pages, 1);
    EXPECT_EQ(printer.pagesStarted, 1);
    EXPECT_EQ(printer.pagesEnded, 1);
    EXPECT_TRUE(printer.ended);
    // The file's name names the print document, and is not printed as a title.
    EXPECT_EQ(printer.documentName, "Waltz.shd");
    ASSERT_EQ(printer.pages.size(), 1u);
    const RecordingCanvas& page = printer.pages[0];
    EXPECT_TRUE(page.callsOf(RecordingCanvas::Kind::Picture).empty()) << "drawn as shapes, not a picture";
    EXPECT_FALSE(page.callsOf(RecordingCanvas::Kind::Glyph).empty());
    EXPECT_FALSE(page.callsOf(RecordingCanvas::Kind::Line).empty());
    EXPECT_TRUE(printer.stray.calls().empty());
    EXPECT_FALSE(shows(page, "Waltz.shd"));

    const auto centred = page.callsOf(RecordingCanvas::Kind::TextCentred);
    ASSERT_EQ(centred.size(), 1u);
    EXPECT_EQ(centred[0].text, "page 1 of 1");
    EXPECT_NEAR(centred[0].v[3], 6400, 5) << "at the foot of the printable page";
    // The music starts at the top and stays clear of the page number.
    int highest = 6400;
    for (const auto& line : page.callsOf(RecordingCanvas::Kind::Line)) {
        highest = std::min({highest, line.v[1], line.v[3]});
        EXPECT_GE(std::min(line.v[1], line.v[3]), 0);
        EXPECT_LE(std::max(line.v[1], line.v[3]), centred[0].v[1]);
    }
    EXPECT_LT(highest, deviceLength(60)) << "the first staff sits at the page's top";
}

TEST_F(PrintPagingTest, ScrolledWindowPrintsEveryRowFromTheFirstAndIsRestoredExactly)
{
    // Paper spaces whole notes closely: enough of them for several pages.
    makeSheet(1, 360);
    sheet->zoomamount = 0.9f;
    view->updateLayoutSize();
    layoutRows(*view);
    setFirstVisibleRow(*view, 2);
    const int width = view->layoutWidth, height = view->layoutHeight, firstRow = view->firstVisibleRow;
    const int top = view->rowTopInWindow(5), measures = view->layout().measuresPerRow;
    const int x = view->noteLayout(0, 7).x;

    const PrintResult result = printSheet(*view, printer);
    ASSERT_TRUE(result.ok);
    ASSERT_GE(result.pages, 2);
    const auto pages = rowStartsPerPage();
    ASSERT_EQ(static_cast<int>(pages.size()), result.pages);
    std::vector<int> all;
    for (const auto& page : pages)
        all.insert(all.end(), page.begin(), page.end());
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ(all.front(), 1);
    const int step = all[1] - all[0];
    std::vector<int> expected;
    for (int m = 1; m <= 360; m += step)
        expected.push_back(m);
    EXPECT_EQ(all, expected); // no row skipped, none printed twice
    for (std::size_t p = 0; p < printer.pages.size(); ++p)
        EXPECT_TRUE(
            shows(printer.pages[p], "page " + std::to_string(p + 1) + " of " + std::to_string(result.pages)));

    EXPECT_FLOAT_EQ(sheet->zoomamount, 0.9f);
    EXPECT_EQ(view->layoutWidth, width);
    EXPECT_EQ(view->layoutHeight, height);
    EXPECT_EQ(view->firstVisibleRow, firstRow);
    EXPECT_EQ(view->rowTopInWindow(5), top);
    EXPECT_EQ(view->layout().measuresPerRow, measures);
    EXPECT_EQ(view->noteLayout(0, 7).x, x);
    EXPECT_FALSE(view->printing);
}

TEST_F(PrintPagingTest, ThePageCountIsTheSameAtEveryScreenZoomAndWindowWidth)
{
    makeSheet(3, 64);
    std::vector<int> counts;
    for (const float zoom : {0.6f, 0.9f, 1.0f, 1.3f, 2.0f}) {
        for (const int width : {500, 1400}) {
            sheet->zoomamount = zoom;
            view->setClientSize(width, 600);
            layoutRows(*view);
            FakePrinter fresh;
            const PrintResult result = printSheet(*view, fresh);
            ASSERT_TRUE(result.ok);
            counts.push_back(result.pages);
        }
    }
    EXPECT_GE(counts.front(), 2);
    EXPECT_EQ(std::count(counts.begin(), counts.end(), counts.front()), static_cast<long>(counts.size()));
}

TEST_F(PrintPagingTest, PagesHoldWholeSystemsFromTheTopWithEvenGaps)
{
    makeSheet(3, 120);
    const PrintResult result = printSheet(*view, printer);
    ASSERT_TRUE(result.ok);
    ASSERT_GE(result.pages, 2);
    const Font label = DrawTools::forZoom(1.0f).label;
    for (std::size_t p = 0; p < printer.pages.size(); ++p) {
        // The staff labels of each page: whole systems of tracks 1, 2, 3.
        std::vector<std::string> labels;
        std::vector<int> tops;
        for (const auto& c : printer.pages[p].callsOf(RecordingCanvas::Kind::Text))
            if (c.font.height == deviceLength(label.height) && !c.font.bold) {
                labels.push_back(c.text);
                if (c.text == "1")
                    tops.push_back(c.v[1]);
            }
        ASSERT_FALSE(labels.empty()) << "page " << p;
        ASSERT_EQ(labels.size() % 3, 0u) << "page " << p;
        for (std::size_t i = 0; i < labels.size(); ++i)
            EXPECT_EQ(labels[i], std::to_string(i % 3 + 1)) << "page " << p;
        // Every page but the last is spread: the systems stand at even distances.
        if (p + 1 < printer.pages.size() && tops.size() > 2) {
            const int pitch = tops[1] - tops[0];
            for (std::size_t i = 2; i < tops.size(); ++i)
                EXPECT_NEAR(tops[i] - tops[i - 1], pitch, 2) << "page " << p;
        }
    }
}

// Looking at a sheet changes nothing in it: a sheet drawn at three zooms and printed saves
// the very bytes that one never drawn saves. The eighths are beamed by layout, which must not
// set their beamed bit; the one note that carries the bit from its file keeps it.
TEST_F(PrintPagingTest, ASheetDrawnAtThreeZoomsAndPrintedSavesTheBytesOfOneNeverDrawn)
{
    auto source = testing::beamsAndTiesSheet();
    Track& t = *source->trackAt(0);
    testing::addNote(t, kTypeEighth, 3, kFlagBeamed);
    testing::addNote(t, kTypeQuarter, 3, 0, "la");
    for (int i = 0; i < 40; ++i)
        testing::addNote(t, i % 3 == 0 ? kTypeSixteenth : kTypeEighth, i % 9 - 4, i % 7 == 0 ? kFlagTie : 0);
    const std::string text = sheetToText(*source);

    SheetDocument untouched;
    ASSERT_TRUE(loadSheetFromText(untouched, text).ok());
    sheet = std::make_unique<SheetDocument>();
    ASSERT_TRUE(loadSheetFromText(*sheet, text).ok());
    view = std::make_unique<SheetViewState>(*sheet);
    view->title = "Beams.shd";
    const float zoom = sheet->zoomamount;
    for (float z : {0.5f, 1.0f, 2.3f}) {
        sheet->zoomamount = z;
        view->setClientSize(900, 700);
        layoutRows(*view);
        RecordingCanvas canvas{900, 700};
        drawSheet(*view, canvas, false);
        ASSERT_FALSE(canvas.calls().empty());
    }
    sheet->zoomamount = zoom;
    layoutRows(*view);
    const PrintResult printed = printSheet(*view, printer);
    ASSERT_TRUE(printed.ok);
    ASSERT_FALSE(printer.pages.empty());

    EXPECT_EQ(sheetToText(*sheet), sheetToText(untouched));
    int beamedBits = 0;
    for (int i = 0; i < sheet->trackAt(0)->count; ++i)
        beamedBits += (sheet->trackAt(0)->noteAt(i).dwFlag & kFlagBeamed) != 0;
    EXPECT_EQ(beamedBits, 1) << "the bit its file carried, and no other";
}

// A lead sheet's first chord symbol stands where the metronome mark would go when only the
// staff and its notes count as the system: the mark goes above the symbols (and their diagrams).
TEST_F(PrintPagingTest, TheTempoMarkStandsAboveTheFirstSystemsChordSymbols)
{
    for (const bool diagrams : {false, true}) {
        makeSheet(1, 8);
        sheet->trackAt(0)->tempo = 96;
        sheet->chordDiagrams = diagrams;
        sheet->trackAt(0)->noteAt(0).setChordSymbol("Am7");
        layoutRows(*view);
        printer.pages.clear();
        ASSERT_TRUE(printSheet(*view, printer).ok);
        ASSERT_FALSE(printer.pages.empty());
        const auto plain = printer.pages[0].callsOf(RecordingCanvas::Kind::Text);
        const auto tempo =
            std::find_if(plain.begin(), plain.end(), [](const auto& c) { return c.text == "= 96"; });
        const auto symbol =
            std::find_if(plain.begin(), plain.end(), [](const auto& c) { return c.text == "Am7"; });
        ASSERT_NE(tempo, plain.end());
        ASSERT_NE(symbol, plain.end());
        // The mark's text line ends above the symbol's top, and above the diagram's when shown.
        const int markBottom = tempo->v[1] + tempo->font.height;
        const int diagramRise = diagrams ? deviceLength(kSymbolDiagramRise) : 0;
        EXPECT_LE(markBottom, symbol->v[1] - diagramRise) << (diagrams ? "with diagrams" : "names only");
    }
}

TEST_F(PrintPagingTest, FailedStartPrintsNothingAndSaysSo)
{
    makeSheet(1, 4);
    printer.failStart = true;
    const PrintResult result = printSheet(*view, printer);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, "no printer");
    EXPECT_EQ(printer.pagesStarted, 0);
}

TEST_F(PrintPagingTest, PageOneCarriesTheTitlesTempoAndCopyrightLaterPagesARunningHeader)
{
    makeSheet(2, 80);
    sheet->texts = {"Morning Song", "for two voices", "A. Composer", "B. Poet", "(c) 2026 Someone"};
    sheet->trackAt(0)->tempo = 96;
    const PrintResult result = printSheet(*view, printer);
    ASSERT_TRUE(result.ok);
    ASSERT_GE(result.pages, 2);
    EXPECT_EQ(printer.documentName, "Morning Song");
    const RecordingCanvas& first = printer.pages[0];

    const auto centred = first.callsOf(RecordingCanvas::Kind::TextCentred);
    ASSERT_GE(centred.size(), 4u);
    // Title centred on the page's width, the subtitle under it.
    EXPECT_EQ(centred[0].text, "Morning Song");
    EXPECT_NEAR((centred[0].v[0] + centred[0].v[2]) / 2, 2400, 8);
    EXPECT_EQ(centred[1].text, "for two voices");
    EXPECT_GE(centred[1].v[1], centred[0].v[3] - 1);
    EXPECT_GT(centred[0].font.height, centred[1].font.height);
    // The lyricist at the left margin, the composer ending at the right one, on one line.
    const auto plain = first.callsOf(RecordingCanvas::Kind::Text);
    const auto lyricist =
        std::find_if(plain.begin(), plain.end(), [](const auto& c) { return c.text == "B. Poet"; });
    ASSERT_NE(lyricist, plain.end());
    EXPECT_EQ(lyricist->v[0], 0);
    const auto inRect = first.callsOf(RecordingCanvas::Kind::TextInRect);
    const auto composer =
        std::find_if(inRect.begin(), inRect.end(), [](const auto& c) { return c.text == "A. Composer"; });
    ASSERT_NE(composer, inRect.end());
    EXPECT_NEAR(composer->v[2], 4800, 8);
    EXPECT_GT(composer->v[0], 2400);
    EXPECT_EQ(composer->v[1], lyricist->v[1]);
    // The metronome mark: a quarter note and "= 96" above the first staff.
    const auto tempo =
        std::find_if(plain.begin(), plain.end(), [](const auto& c) { return c.text == "= 96"; });
    ASSERT_NE(tempo, plain.end());
    EXPECT_GT(tempo->v[1], lyricist->v[1]);
    int firstStaffLine = 6400;
    for (const auto& line : first.callsOf(RecordingCanvas::Kind::Line))
        if (line.v[1] == line.v[3] && line.v[2] - line.v[0] > 2000)
            firstStaffLine = std::min(firstStaffLine, line.v[1]);
    EXPECT_LT(tempo->v[1], firstStaffLine);
    bool quarter = false;
    for (const auto& g : first.callsOf(RecordingCanvas::Kind::Glyph))
        quarter =
            quarter || (g.v[0] == kGlyphQuarterUp && g.v[2] < firstStaffLine && g.v[2] > lyricist->v[1]);
    EXPECT_TRUE(quarter);
    // The copyright at the foot of page 1, above its number.
    EXPECT_TRUE(shows(first, "(c) 2026 Someone"));
    EXPECT_TRUE(shows(first, "page 1 of " + std::to_string(result.pages)));

    for (std::size_t p = 1; p < printer.pages.size(); ++p) {
        const RecordingCanvas& later = printer.pages[p];
        const auto header = later.callsOf(RecordingCanvas::Kind::TextCentred);
        ASSERT_FALSE(header.empty());
        EXPECT_EQ(header[0].text, "Morning Song");
        EXPECT_LT(header[0].font.height, centred[0].font.height);
        EXPECT_FALSE(shows(later, "A. Composer"));
        EXPECT_FALSE(shows(later, "(c) 2026 Someone"));
        EXPECT_FALSE(shows(later, "= 96"));
        EXPECT_TRUE(shows(later, "page " + std::to_string(p + 1) + " of " + std::to_string(result.pages)));
    }
}

TEST_F(PrintPagingTest, FifteenTrackSystemIsScaledOntoOnePageClearOfTitleAndNumber)
{
    makeSheet(15, 0);
    for (int t = 0; t < 15; ++t)
        for (int i = 0; i < 12; ++i)
            testing::addNote(*sheet->trackAt(t), kTypeQuarter, (i * 3 + t) % 13 - 6, 0,
                             i % 2 ? "la" : nullptr);
    sheet->texts.title = "Tutti";
    sheet->pageSetup.staffSizeMm = 9.0; // 15 staves of 9 mm with their lyrics outgrow the page
    layoutRows(*view);
    const PrintResult result = printSheet(*view, printer);
    ASSERT_TRUE(result.ok);
    ASSERT_GE(result.pages, 1);
    for (const RecordingCanvas& page : printer.pages) {
        const auto centred = page.callsOf(RecordingCanvas::Kind::TextCentred);
        int titleBottom = 0, numberTop = 6400;
        for (const auto& c : centred) {
            if (c.text == "Tutti")
                titleBottom = c.v[3];
            if (c.text.rfind("page ", 0) == 0)
                numberTop = c.v[1];
        }
        // Every staff of each system on the page, no bar line over the title or the number.
        std::set<int> staffTops;
        for (const auto& line : page.callsOf(RecordingCanvas::Kind::Line)) {
            EXPECT_GE(std::min(line.v[1], line.v[3]), titleBottom);
            EXPECT_LE(std::max(line.v[1], line.v[3]), numberTop);
            EXPECT_GE(std::min(line.v[0], line.v[2]), 0);
            EXPECT_LE(std::max(line.v[0], line.v[2]), 4800);
        }
        for (const auto& c : page.callsOf(RecordingCanvas::Kind::Text))
            if (c.text == "15")
                staffTops.insert(c.v[1]);
        EXPECT_FALSE(staffTops.empty()) << "the system's last staff is on the page with its first";
    }
}

} // namespace
} // namespace tonvela

namespace tonvela {
namespace {

SystemExtent extent(int height)
{
    return {0, 0, height};
}

// A4 within margins of 15 mm at 600 dpi, at the default staff size of 7 mm.
void useA4(FakePrinter& printer)
{
    printer.width = 4252;
    printer.height = 6307;
}

// Eight bars of song on three staves once took eight pages: paper gives its measures the room
// their notes need, and a handful of them fill a system.
TEST_F(PrintPagingTest, AnEightBarSongOnThreeStavesFitsOneA4Page)
{
    sheet = testing::sheetWithTracks(3);
    sheet->texts.title = "Evening Song";
    sheet->texts.composer = "Anon.";
    Track& voice = *sheet->trackAt(0);
    Track& piano = *sheet->trackAt(1);
    Track& bass = *sheet->trackAt(2);
    const char* words[] = {"Now", "the", "day", "is", "o-", "ver"};
    for (int m = 0; m < 8; ++m) {
        testing::addNote(voice, kTypeEighth, -2, 0, words[0]);
        testing::addNote(voice, kTypeEighth, -1, 0, words[1]);
        testing::addNote(voice, kTypeQuarter, 0, m == 3 ? kFlagSharp : 0, words[2]);
        testing::addNote(voice, kTypeQuarter, -3, 0, words[3 + m % 3]);
        testing::addNote(voice, kTypeQuarter, -4, 0, words[5]);
        const int root = testing::addNote(piano, kTypeHalf, 2);
        testing::addNote(piano, kTypeHalf, 0, 0, nullptr, root);
        const int next = testing::addNote(piano, kTypeHalf, 1);
        testing::addNote(piano, kTypeHalf, -1, 0, nullptr, next);
        testing::addQuarters(bass, 4, 4);
    }
    view = std::make_unique<SheetViewState>(*sheet);
    view->setClientSize(1000, 600);
    layoutRows(*view);
    useA4(printer);
    const PrintResult result = printSheet(*view, printer);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.pages, 1);
    // All eight measures of every staff are on it: the system numbers start at 1 and reach no 9.
    const auto starts = rowStartsPerPage();
    ASSERT_EQ(starts.size(), 1u);
    ASSERT_FALSE(starts[0].empty());
    EXPECT_EQ(starts[0].front(), 1);
    EXPECT_LE(starts[0].back(), 8);
    EXPECT_LE(starts[0].size(), 3u);
}

TEST_F(PrintPagingTest, TheSonatinaExampleTakesAboutThreeA4Pages)
{
    sheet = std::make_unique<SheetDocument>();
    ASSERT_TRUE(
        loadSheet(*sheet, "sonatina", std::string(TONVELA_SOURCE_DIR) + "/examples/sonatina.shd").ok());
    ASSERT_EQ(sheet->trackCount(), 2);
    ASSERT_DOUBLE_EQ(sheet->pageSetup.staffSizeMm, 7.0);
    view = std::make_unique<SheetViewState>(*sheet);
    view->setClientSize(1000, 600);
    layoutRows(*view);
    useA4(printer);
    const PrintResult result = printSheet(*view, printer);
    ASSERT_TRUE(result.ok);
    EXPECT_GE(result.pages, 2);
    EXPECT_LE(result.pages, 4);
    // Systems of three to five measures, each starting where the one before stopped.
    std::vector<int> starts;
    for (const auto& page : rowStartsPerPage())
        starts.insert(starts.end(), page.begin(), page.end());
    ASSERT_GE(starts.size(), 2u);
    EXPECT_EQ(starts.front(), 1);
    for (std::size_t k = 1; k < starts.size(); ++k) {
        EXPECT_GE(starts[k] - starts[k - 1], 2) << k;
        EXPECT_LE(starts[k] - starts[k - 1], 6) << k;
    }
    EXPECT_LE(starts.back(), 38);
}

TEST(PlaceSystemsTest, PagesTakeWholeSystemsFromTheTopAndSpreadThemEvenly)
{
    PageRoom room;
    room.height = 1000;
    room.firstPageTop = 150;
    room.laterPageTop = 30;
    room.bottomReserve = 40;
    room.minGap = 20;
    const std::vector<SystemExtent> systems(9, extent(200));
    const auto pages = placeSystems(systems, room);
    // Page 1 has 810 units: four systems of 200 with three gaps of 20 (860) do not fit, three do.
    ASSERT_EQ(pages.size(), 3u);
    ASSERT_EQ(pages[0].systems.size(), 3u);
    EXPECT_DOUBLE_EQ(pages[0].systems[0].y, 150);
    // Spread: the last system ends at the foot, the gaps are equal.
    EXPECT_DOUBLE_EQ(pages[0].systems[2].y + 200, 960);
    EXPECT_DOUBLE_EQ(pages[0].systems[1].y - pages[0].systems[0].y,
                     pages[0].systems[2].y - pages[0].systems[1].y);
    // Later pages have 930 units: four systems and three least gaps (860) fit.
    ASSERT_EQ(pages[1].systems.size(), 4u);
    EXPECT_DOUBLE_EQ(pages[1].systems[0].y, 30);
    EXPECT_DOUBLE_EQ(pages[1].systems[3].y + 200, 960);
    // The last page is filled less than three quarters: its systems keep the least gap.
    ASSERT_EQ(pages[2].systems.size(), 2u);
    EXPECT_DOUBLE_EQ(pages[2].systems[1].y, 30 + 200 + 20);
    int placed = 0;
    for (const auto& page : pages)
        for (const auto& s : page.systems) {
            EXPECT_EQ(s.system, placed++);
            EXPECT_DOUBLE_EQ(s.scale, 1.0);
        }
    EXPECT_EQ(placed, 9);
}

TEST(PlaceSystemsTest, TheLastPageIsSpreadOnlyWhenThreeQuartersFull)
{
    PageRoom room;
    room.height = 1000;
    room.minGap = 10;
    // Two systems of 200: 410 of 1000 units, less than three quarters: the least gap.
    auto pages = placeSystems({extent(200), extent(200)}, room);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_DOUBLE_EQ(pages[0].systems[1].y, 210);
    // Three of 250: 770 units, more than three quarters: spread to the foot.
    pages = placeSystems({extent(250), extent(250), extent(250)}, room);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_DOUBLE_EQ(pages[0].systems[2].y + 250, 1000);
    EXPECT_DOUBLE_EQ(pages[0].systems[1].y, 375);
    // With a most gap, the spread stops there, the gaps still even.
    room.maxGap = 40;
    pages = placeSystems({extent(250), extent(250), extent(250)}, room);
    EXPECT_DOUBLE_EQ(pages[0].systems[1].y, 290);
    EXPECT_DOUBLE_EQ(pages[0].systems[2].y, 580);
}

TEST(PlaceSystemsTest, ASystemTallerThanAPageIsScaledToFitAloneAndNeverSplit)
{
    PageRoom room;
    room.height = 1000;
    room.firstPageTop = 200;
    room.laterPageTop = 0;
    room.bottomReserve = 50;
    room.minGap = 10;
    const auto pages = placeSystems({extent(100), extent(1500), extent(100)}, room);
    ASSERT_EQ(pages.size(), 3u);
    ASSERT_EQ(pages[1].systems.size(), 1u);
    EXPECT_EQ(pages[1].systems[0].system, 1);
    EXPECT_DOUBLE_EQ(pages[1].systems[0].scale, 950.0 / 1500.0);
    EXPECT_DOUBLE_EQ(pages[1].systems[0].y, 0);
    // Alone on page 1 and too tall for it.
    const auto alone = placeSystems({extent(2000)}, room);
    ASSERT_EQ(alone.size(), 1u);
    EXPECT_DOUBLE_EQ(alone[0].systems[0].scale, 750.0 / 2000.0);
    // No systems: one empty page.
    const auto empty = placeSystems({}, room);
    ASSERT_EQ(empty.size(), 1u);
    EXPECT_TRUE(empty[0].systems.empty());
}

TEST(MeasureSystemsTest, NotesFarOffTheStaffAndLyricsWidenTheirSystem)
{
    auto sheet = testing::sheetWithTracks(1);
    Track& t = *sheet->trackAt(0);
    for (int i = 0; i < 4; ++i)
        testing::addNote(t, kTypeWhole, 1);
    const auto plain = layOutSheet(*sheet, 1000, 1.0f);
    const auto before = measureSystems(*sheet, *plain);
    ASSERT_GE(before.size(), 1u);
    const StaffRow row = plain->row(0);
    EXPECT_LT(before[0].top, row.top);
    EXPECT_GT(before[0].bottom, row.top + 36);

    testing::addNote(t, kTypeQuarter, 14);           // far above the staff
    testing::addNote(t, kTypeQuarter, -14, 0, "la"); // far below, with a syllable
    const auto high = layOutSheet(*sheet, 1000, 1.0f);
    const auto after = measureSystems(*sheet, *high);
    ASSERT_GE(after.size(), 1u);
    const int lastRow = high->note(0, t.count - 1).rowIndex;
    const SystemExtent& widened = after[static_cast<std::size_t>(lastRow)];
    EXPECT_LE(widened.top, high->note(0, t.count - 2).y - 4);
    EXPECT_GE(widened.bottom, high->note(0, t.count - 1).y + 37);
    EXPECT_GE(widened.bottom, high->row(lastRow).top + 7 * 9 + 24);
}

} // namespace
} // namespace tonvela
