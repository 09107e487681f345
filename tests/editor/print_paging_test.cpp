#include "drawing/recording_canvas.h"
#include "editor/example_sheets.h"
#include "editor/layout.h"
#include "editor/print_paging.h"
#include "editor/sheet_drawing.h"
#include "editor/sheet_view_state.h"
#include "score/sheet_file.h"

#include <gtest/gtest.h>

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
    int pageWidth() const override { return 4800; }
    int pageHeight() const override { return 6400; }
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

    bool failStart = false;
    std::string documentName;
    int pagesStarted = 0, pagesEnded = 0;
    bool ended = false;
    std::vector<RecordingCanvas> pages;      // what each printed page drew
    RecordingCanvas stray{4800, 6400};       // drawing outside any page
    std::vector<RecordingCanvas> drawnPages; // every picture taken from a screen surface
    std::vector<std::pair<int, int>> surfaceSizes;
};

// A screen length on a 600 dpi page printed from a 96 dpi screen.
int onPaper(int screenUnits)
{
    return static_cast<int>(std::lround(screenUnits * 8.125));
}

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
    // Row-start measure numbers each page drew, in order.
    std::vector<std::vector<int>> rowStartsPerPage() const
    {
        std::vector<std::vector<int>> out;
        for (const RecordingCanvas& page : printer.pages) {
            std::vector<int> numbers;
            for (const auto& c : page.callsOf(RecordingCanvas::Kind::Text))
                if (c.font.height == onPaper(static_cast<int>(14.0f * sheet->zoomamount)) && c.font.bold)
                    numbers.push_back(std::stoi(c.text));
            out.push_back(numbers);
        }
        return out;
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

TEST_F(PrintPagingTest, ShortSheetPrintsExactlyOnePageCentred)
{
    makeSheet(2, 3);
    const PrintResult result = printSheet(*view, printer, 96, 96);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.pages, 1);
    EXPECT_EQ(printer.pagesStarted, 1);
    EXPECT_EQ(printer.pagesEnded, 1);
    EXPECT_TRUE(printer.ended);
    EXPECT_EQ(printer.documentName, "Waltz.shd");
    ASSERT_EQ(printer.pages.size(), 1u);
    const RecordingCanvas& page = printer.pages[0];
    EXPECT_TRUE(page.callsOf(RecordingCanvas::Kind::Picture).empty()) << "drawn as shapes, not a picture";
    EXPECT_FALSE(page.callsOf(RecordingCanvas::Kind::Glyph).empty());
    EXPECT_FALSE(page.callsOf(RecordingCanvas::Kind::Line).empty());
    EXPECT_TRUE(printer.stray.calls().empty());

    // The 590 x 787 screen page, scaled by 8.125 and centred: title on top, number at the bottom.
    const int dW = static_cast<int>(590 * 8.125), dH = static_cast<int>(787 * 8.125);
    const int left = 2400 - dW / 2, top = 3200 - dH / 2;
    const auto centred = page.callsOf(RecordingCanvas::Kind::TextCentred);
    ASSERT_EQ(centred.size(), 2u);
    EXPECT_EQ(centred[0].text, "Waltz.shd");
    EXPECT_EQ(centred[0].v[0], left);
    EXPECT_EQ(centred[0].v[1], top);
    EXPECT_EQ(centred[1].text, "page 1 of 1");
    EXPECT_EQ(centred[1].v[3], top + onPaper(787));
    // Nothing of the sheet is drawn in the title's band or the number's band.
    for (const auto& line : page.callsOf(RecordingCanvas::Kind::Line)) {
        EXPECT_GE(std::min(line.v[1], line.v[3]), centred[0].v[3]);
        EXPECT_LE(std::max(line.v[1], line.v[3]), centred[1].v[1]);
    }
}

TEST_F(PrintPagingTest, ScrolledWindowPrintsEveryRowFromTheFirstAndIsRestoredExactly)
{
    makeSheet(1, 30); // 2 measures a row on the page: 15 rows
    sheet->zoomamount = 0.9f;
    view->updateLayoutSize();
    setFirstVisibleRow(*view, 2);
    const int width = view->layoutWidth, height = view->layoutHeight, firstRow = view->firstVisibleRow;
    const int top = view->rowTopInWindow(5), measures = view->layout().measuresPerRow;
    const int x = view->noteLayout(0, 7).x;

    const PrintResult result = printSheet(*view, printer, 96, 96);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.pages, 3);
    const auto pages = rowStartsPerPage();
    ASSERT_EQ(pages.size(), 3u);
    std::vector<int> all;
    for (const auto& page : pages)
        all.insert(all.end(), page.begin(), page.end());
    std::vector<int> expected;
    for (int m = 1; m <= 30; m += 2)
        expected.push_back(m);
    EXPECT_EQ(all, expected); // no row skipped, none printed twice
    EXPECT_EQ(pages[0].front(), 1);
    for (std::size_t p = 0; p < printer.pages.size(); ++p) {
        const auto centred = printer.pages[p].callsOf(RecordingCanvas::Kind::TextCentred);
        ASSERT_EQ(centred.size(), 2u);
        EXPECT_EQ(centred[0].text, "Waltz.shd");
        EXPECT_EQ(centred[1].text, "page " + std::to_string(p + 1) + " of 3");
    }

    EXPECT_FLOAT_EQ(sheet->zoomamount, 0.9f);
    EXPECT_EQ(view->layoutWidth, width);
    EXPECT_EQ(view->layoutHeight, height);
    EXPECT_EQ(view->firstVisibleRow, firstRow);
    EXPECT_EQ(view->rowTopInWindow(5), top);
    EXPECT_EQ(view->layout().measuresPerRow, measures);
    EXPECT_EQ(view->noteLayout(0, 7).x, x);
    EXPECT_FALSE(view->printing);
}

TEST_F(PrintPagingTest, PagesStartWithAWholeSystem)
{
    makeSheet(3, 40);
    const PrintResult result = printSheet(*view, printer, 96, 96);
    ASSERT_TRUE(result.ok);
    ASSERT_GE(result.pages, 2);
    // Each page's first staff label is track 1, and every page holds whole systems.
    for (std::size_t p = 0; p < printer.drawnPages.size(); ++p) {
        std::vector<std::string> labels;
        for (const auto& c : printer.drawnPages[p].callsOf(RecordingCanvas::Kind::Text))
            if (c.font.height == 20 && !c.font.bold)
                labels.push_back(c.text);
        ASSERT_FALSE(labels.empty()) << "page " << p;
        EXPECT_EQ(labels.front(), "1") << "page " << p;
        EXPECT_EQ(labels.size() % 3, 0u) << "page " << p;
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
    const PrintResult printed = printSheet(*view, printer, 96, 96);
    ASSERT_TRUE(printed.ok);
    ASSERT_FALSE(printer.pages.empty());

    EXPECT_EQ(sheetToText(*sheet), sheetToText(untouched));
    int beamedBits = 0;
    for (int i = 0; i < sheet->trackAt(0)->count; ++i)
        beamedBits += (sheet->trackAt(0)->noteAt(i).dwFlag & kFlagBeamed) != 0;
    EXPECT_EQ(beamedBits, 1) << "the bit its file carried, and no other";
}

TEST_F(PrintPagingTest, FailedStartPrintsNothingAndSaysSo)
{
    makeSheet(1, 4);
    printer.failStart = true;
    const PrintResult result = printSheet(*view, printer, 96, 96);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, "no printer");
    EXPECT_EQ(printer.pagesStarted, 0);
}

} // namespace
} // namespace tonvela

namespace tonvela {
namespace {

TEST(PrintPackingTest, APageHoldsAsManyWholeSystemsAsFitWithTheirLyrics)
{
    // A row takes 110 units; the first row's top lies 60 units down and its lyric line ends
    // 87 units below its top.
    EXPECT_EQ(rowsPerPrintedPage(60 + kPrintedRowDepth, 1), 1);
    EXPECT_EQ(rowsPerPrintedPage(60 + kPrintedRowDepth - 1, 1), 1); // too short: still moves on
    EXPECT_EQ(rowsPerPrintedPage(60 + kPrintedRowDepth + 110, 1), 2);
    EXPECT_EQ(rowsPerPrintedPage(60 + kPrintedRowDepth + 109, 1), 1);
    for (const int height : {300, 500, 816, 1000, 1600, 3000}) {
        for (const int tracks : {1, 2, 3, 4, 6}) {
            SCOPED_TRACE(::testing::Message() << height << " units, " << tracks << " tracks");
            const int rows = rowsPerPrintedPage(height, tracks);
            const int fit = (height - 60 - kPrintedRowDepth) / 110 + 1; // rows whose lyrics fit
            if (fit >= tracks) {
                EXPECT_EQ(rows % tracks, 0);
                EXPECT_LE(rows, fit);
                EXPECT_GT(rows + tracks, fit); // one more system would not fit
            } else {
                EXPECT_EQ(rows, std::max(fit, 1));
            }
        }
    }
    // An A4 page at zoom 0.9 (816 units) holds seven single-staff rows, three systems of two
    // tracks, two of three, one of six.
    EXPECT_EQ(rowsPerPrintedPage(816, 1), 7);
    EXPECT_EQ(rowsPerPrintedPage(816, 2), 6);
    EXPECT_EQ(rowsPerPrintedPage(816, 3), 6);
    EXPECT_EQ(rowsPerPrintedPage(816, 6), 6);
}

TEST_F(PrintPagingTest, EveryPrintedPageIsFilledWithSystemsButTheLast)
{
    makeSheet(2, 60); // two tracks, 30 systems of whole notes on the first track
    const PrintResult result = printSheet(*view, printer, 96, 96);
    ASSERT_TRUE(result.ok);
    const auto pages = rowStartsPerPage();
    ASSERT_EQ(static_cast<int>(pages.size()), result.pages);
    ASSERT_GE(pages.size(), 2u);
    // The page's sheet area, as the print run computes it.
    const PrintGeometry g = printGeometry(600, 600, 96, 96, 4800, 6400);
    const int height = static_cast<int>(static_cast<float>(g.layoutH - 70) / sheet->zoomamount);
    const int systems = rowsPerPrintedPage(height, 2) / 2;
    ASSERT_GT(systems, 1);
    for (std::size_t p = 0; p + 1 < pages.size(); ++p)
        EXPECT_EQ(static_cast<int>(pages[p].size()), systems) << "page " << p; // first track's rows
    EXPECT_LE(static_cast<int>(pages.back().size()), systems);
}

} // namespace
} // namespace tonvela
