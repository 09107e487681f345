// Printing a chord document: four columns of diagrams per page, drawn straight onto the page.

#include "drawing/recording_canvas.h"
#include "editor/chord_printing.h"
#include "harmony/chord_diagram_drawing.h"
#include "harmony/chord_document.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tonvela {
namespace {

using Kind = RecordingCanvas::Kind;

// A printer with an A4 page at 600 dots per inch less 10 mm margins; keeps every page drawn.
class PagePrinter : public Printer {
  public:
    int dpiX() const override { return 600; }
    int dpiY() const override { return 600; }
    int pageWidth() const override { return 4488; }
    int pageHeight() const override { return 6543; }
    bool startDocument(const std::string& name, std::string& error) override
    {
        documentName = name;
        if (failStart)
            error = "no printer";
        return !failStart;
    }
    void startPage() override { pages.emplace_back(pageWidth(), pageHeight()); }
    Canvas& pageCanvas() override { return pages.back(); }
    void endPage() override { ++pagesEnded; }
    bool endDocument(std::string& error) override
    {
        if (failEnd)
            error = "the printer went away";
        return !failEnd;
    }
    std::unique_ptr<PrintSurface> createScreenSurface(int, int) override
    {
        ++surfacesAsked;
        return nullptr;
    }

    bool failStart = false, failEnd = false;
    std::string documentName;
    std::vector<RecordingCanvas> pages;
    int pagesEnded = 0;
    int surfacesAsked = 0;
};

constexpr double kScale = 4488.0 / 600.0; // four columns across the page

std::vector<RecordingCanvas::Call> labelsOf(const RecordingCanvas& page)
{
    std::vector<RecordingCanvas::Call> out;
    for (const auto& c : page.callsOf(Kind::TextCentred))
        if (c.font.height == std::lround(kChordLabelFont.height * kScale))
            out.push_back(c);
    return out;
}

ChordDocument& fill(ChordDocument& doc, int count)
{
    for (int i = 0; i < count; ++i)
        doc.addDiagram("A", std::to_string(i), "11023333243151061X", i % 3 == 0 ? 5 : 1);
    return doc;
}

TEST(ChordPrintingTest, ThirtyTwoDiagramsFillTwoA4PagesOfFourColumnsAndFourRows)
{
    ChordDocument doc;
    doc.title = "Lesson 3";
    fill(doc, 32);
    doc.setSelected(3, true);
    doc.resizePage(600, 300);
    doc.hover(60, 60);

    PagePrinter printer;
    const PrintResult result = printChordDocument(doc, printer);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.pages, 2);
    EXPECT_EQ(printer.documentName, "Lesson 3");
    ASSERT_EQ(printer.pages.size(), 2u);
    EXPECT_EQ(printer.pagesEnded, 2);

    const double scale = kScale;
    for (int p = 0; p < 2; ++p) {
        const auto labels = labelsOf(printer.pages[static_cast<std::size_t>(p)]);
        ASSERT_EQ(labels.size(), 16u) << "page " << p;
        for (int k = 0; k < 16; ++k) {
            const auto& l = labels[static_cast<std::size_t>(k)];
            EXPECT_EQ(l.text, "A" + std::to_string(16 * p + k));
            // Columns filled from the top, four rows each, scaled onto the page.
            const int x = 40 + 140 * (k / 4), y = 40 + 200 * (k % 4);
            EXPECT_EQ(l.v[0], std::lround((x - 10) * scale)) << "page " << p << " diagram " << k;
            EXPECT_EQ(l.v[1], std::lround((y - 20) * scale)) << "page " << p << " diagram " << k;
        }
        // Everything lies on the page.
        for (const auto& c : printer.pages[static_cast<std::size_t>(p)].callsOf(Kind::Line))
            EXPECT_TRUE(c.v[0] >= 0 && c.v[2] <= 4488 && c.v[1] >= 0 && c.v[3] <= 6543);
    }
    // Vector drawing: shapes and text on the page itself, no picture of a page; the screen's
    // marks (selection box, hover frame) stay off the paper.
    EXPECT_EQ(printer.surfacesAsked, 0);
    for (const auto& page : printer.pages) {
        EXPECT_TRUE(page.callsOf(Kind::Picture).empty());
        EXPECT_TRUE(page.callsOf(Kind::Rect).empty());
        EXPECT_FALSE(page.callsOf(Kind::Ellipse).empty());
    }
    // Pens and fonts grow with the drawing.
    const auto lines = printer.pages[0].callsOf(Kind::Line);
    ASSERT_FALSE(lines.empty());
    EXPECT_DOUBLE_EQ(lines[0].pen.width, kChordNutWidth * scale) << "the first line is a nut";
}

TEST(ChordPrintingTest, PageCountFollowsTheDiagramsAndAnEmptyDocumentPrintsOnePage)
{
    for (const auto& [count, pages] :
         {std::pair{0, 1}, std::pair{1, 1}, std::pair{16, 1}, std::pair{17, 2}}) {
        ChordDocument doc;
        fill(doc, count);
        PagePrinter printer;
        EXPECT_EQ(printChordDocument(doc, printer).pages, pages) << count << " diagrams";
        EXPECT_EQ(printer.pages.size(), static_cast<std::size_t>(pages));
    }
    // Rows follow the page's height: a landscape page takes fewer.
    const ChordPrintLayout wide = chordPrintLayout(6543, 4488, 32);
    EXPECT_EQ(wide.rowsPerColumn, 2);
    EXPECT_EQ(wide.pages, 4);
    const ChordPrintLayout none = chordPrintLayout(0, 0, 5);
    EXPECT_EQ(none.rowsPerColumn, 1);
    EXPECT_EQ(none.pages, 2);
}

TEST(ChordPrintingTest, APrinterThatFailsIsReported)
{
    ChordDocument doc;
    fill(doc, 3);
    PagePrinter refusing;
    refusing.failStart = true;
    PrintResult result = printChordDocument(doc, refusing);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, "no printer");
    EXPECT_TRUE(refusing.pages.empty());

    PagePrinter lost;
    lost.failEnd = true;
    result = printChordDocument(doc, lost);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, "the printer went away");
}

} // namespace
} // namespace tonvela
