// Renders example sheets with Qt and compares them with reference pictures checked in under
// tests/data/render (see reference_image.h).

#include "editor/engraving_marks.h"
#include "editor/example_sheets.h"
#include "editor/glyphs.h"
#include "editor/layout.h"
#include "editor/sheet_drawing.h"
#include "editor/sheet_view_state.h"
#include "harmony/chord_document.h"
#include "harmony/guitar_library.h"
#include "render/chord_rendering.h"
#include "render/glyph_painter.h"
#include "render/reference_image.h"
#include "render/sheet_rendering.h"
#include "score/sheet_file.h"

#include <QFile>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tonvela {
namespace {

class RenderTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ensureGuiApplication(); }

    QImage render(SheetDocument& sheet, int width, int height, float zoom, int row = 0)
    {
        sheet.zoomamount = zoom;
        SheetViewState view(sheet);
        view.setClientSize(width, height);
        view.firstVisibleRow = row;
        return renderView(view);
    }

    static void compareWithReference(const QImage& image, const std::string& name)
    {
        testing::compareWithReference(image, name);
    }

    static std::string readBytes(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

    static int inkPixels(const QImage& image, QRgb colour)
    {
        int n = 0;
        for (int r = 0; r < image.height(); ++r)
            for (int c = 0; c < image.width(); ++c)
                if (image.pixel(c, r) == colour)
                    ++n;
        return n;
    }
};

// The box a glyph's ink covers when drawn at (20, 20), scale 1, into a white image.
QRect inkBox(int glyph, QImage* picture = nullptr)
{
    QImage image(160, 160, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        paintGlyph(painter, glyph, 20, 20, 1.0, Qt::black);
    }
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128)
                box |= QRect(x, y, 1, 1);
    if (picture)
        *picture = image;
    return box;
}

TEST_F(RenderTest, ClefsAccidentalsAndRestsAreDrawnFromTheMusicFontAtTheirBoxes)
{
    // Each font glyph is fitted to its documented height and placed by its box's top-left
    // corner: a glyph missing from the font would leave no ink or a box of the wrong shape.
    struct Expected {
        int glyph;
        int top;    // ink top relative to the glyph's y
        int height; // ink height
    };
    const Expected expected[] = {
        {kGlyphGClef, -1, 62},      {kGlyphFClef, 0, 27},         {kGlyphSharp, -1, 22},
        {kGlyphNatural, -1, 22},    {kGlyphFlat, -3, 20},         {kGlyphQuarterRest, 0, 27},
        {kGlyphEighthRest, -1, 17}, {kGlyphSixteenthRest, 3, 26},
    };
    for (const Expected& e : expected) {
        const QRect box = inkBox(e.glyph);
        ASSERT_FALSE(box.isEmpty()) << e.glyph << " draws nothing";
        EXPECT_NEAR(box.top() - 20, e.top, 1) << e.glyph;
        EXPECT_NEAR(box.height(), e.height, 2) << e.glyph;
        EXPECT_NEAR(box.left() - 20, 0, 2) << e.glyph;
    }
    // The G clef is a tall narrow sign, the F clef a wider short one.
    const QRect g = inkBox(kGlyphGClef), f = inkBox(kGlyphFClef);
    EXPECT_LT(g.width() * 2, g.height());
    EXPECT_GT(f.width(), f.height() / 2);
    // Signs of the same height are still different shapes (a placeholder box would not be).
    QImage sharp, natural;
    inkBox(kGlyphSharp, &sharp);
    inkBox(kGlyphNatural, &natural);
    EXPECT_NE(sharp, natural);
}

TEST_F(RenderTest, AllStaffKindsMatchTheReference)
{
    auto sheet = testing::staffKindsSheet();
    compareWithReference(render(*sheet, 1000, 600, 1.0f), "staff_kinds.png");
    compareWithReference(render(*sheet, 2000, 1200, 2.0f), "staff_kinds_zoom2.png");
}

TEST_F(RenderTest, AllStaffKindsAtZoomHalfMatchTheReference)
{
    auto sheet = testing::staffKindsSheet();
    compareWithReference(render(*sheet, 500, 300, 0.5f), "staff_kinds_zoom05.png");
}

TEST_F(RenderTest, BeamsTiesRestsAndFlatsMatchTheReference)
{
    auto sheet = testing::beamsAndTiesSheet();
    compareWithReference(render(*sheet, 1000, 420, 1.0f), "beams_and_ties.png");
    compareWithReference(render(*sheet, 2000, 840, 2.0f), "beams_and_ties_zoom2.png");
}

// The engraving example sheets at zoom 1 and 2: every staff kind, beams and ties, rests of every
// length, lyrics, and keys with sharps and flats on the G and F clef.
TEST_F(RenderTest, EngravingExamplesMatchTheirReferencesAtZoomOneAndTwo)
{
    for (const char* name : {"engraving_rests_and_beams", "engraving_keys"}) {
        for (const int zoom : {1, 2}) {
            SheetDocument sheet;
            const std::string path = std::string(TONVELA_SOURCE_DIR) + "/examples/" + name + ".shd";
            ASSERT_TRUE(loadSheet(sheet, name, path).ok()) << path;
            sheet.selectedTrack = -1;
            const std::string reference = std::string(name) + "_zoom" + std::to_string(zoom) + ".png";
            compareWithReference(render(sheet, 1000 * zoom, 560 * zoom, static_cast<float>(zoom)), reference);
        }
    }
}

TEST_F(RenderTest, WholeRestsHangFromTheFourthLineAndHalfRestsSitOnTheThird)
{
    // Drawn at the heights the layout gives them (17 and 13 below the top line at y = 20), the
    // whole rest's block runs down from the line at y = 29, the half rest's up to the line at 38.
    const QRect whole = inkBox(kGlyphWholeRest).translated(0, 17);
    const QRect half = inkBox(kGlyphHalfRest).translated(0, 13);
    ASSERT_FALSE(whole.isEmpty());
    ASSERT_FALSE(half.isEmpty());
    EXPECT_NEAR(whole.top(), 20 + 9, 1);
    EXPECT_NEAR(whole.height(), 5, 1);
    EXPECT_NEAR(half.bottom(), 20 + 18, 1);
    EXPECT_NEAR(half.height(), 5, 1);
    EXPECT_NEAR(whole.width(), half.width(), 1);
}

TEST_F(RenderTest, KeySignaturesLeaveWhiteBetweenClefAccidentalsAndTimeSignature)
{
    // Seven sharps and seven flats on each clef: some column right of the clef and some column
    // between the last accidental and the time signature are white off the staff lines.
    for (const StaffKind kind : {StaffKind::GClef, StaffKind::FClef, StaffKind::G2Clef}) {
        for (const int key : {0, 14}) {
            auto sheet = testing::sheetWithTracks(1);
            sheet->selectedTrack = -1;
            setStaffKind(*sheet->trackAt(0), kind);
            const std::string_view drawmode = staffKindInfo(kind).name;
            sheet->trackAt(0)->setKeyIndex(key);
            const QImage image = render(*sheet, 500, 200, 1.0f);
            const int top = 60;
            auto inkInColumn = [&](int x) {
                for (int y = top - 14; y < top + 50; ++y)
                    if (!(y >= top && y <= top + 36 && (y - top) % kStaffSpacing == 0) &&
                        qGray(image.pixel(x, y)) < 128)
                        return true;
                return false;
            };
            const int keyLeft = keySignatureLeft();
            const int timeLeft = timeSignatureLeft(7);
            EXPECT_TRUE(inkInColumn(keyLeft + 2)) << drawmode << " " << key << ": the first accidental";
            // The white lies right before the first accidental: nothing of the clef (its dots
            // included) reaches up to it.
            EXPECT_TRUE(inkInColumn(kClefLeft + 8)) << drawmode << " " << key << ": the clef";
            for (int x = keyLeft - 2; x < keyLeft; ++x)
                EXPECT_FALSE(inkInColumn(x)) << drawmode << " " << key << ": clef touches the key at " << x;
            for (int x = timeLeft - 2; x < timeLeft; ++x)
                EXPECT_FALSE(inkInColumn(x)) << drawmode << " " << key << ": key touches the time at " << x;
            EXPECT_TRUE(inkInColumn(timeLeft + 4)) << drawmode << " " << key << ": the time signature";
        }
    }
}

TEST_F(RenderTest, StaffLinesAreCrispOnePixelLines)
{
    auto sheet = testing::sheetWithTracks(1);
    const QImage image = render(*sheet, 400, 200, 1.0f);
    // The top staff line at y = 60 is black from the staff start to its end; the rows next to
    // it stay white there.
    for (int x = 120; x < 300; x += 17) {
        EXPECT_EQ(image.pixel(x, 60), qRgb(0, 0, 0)) << x;
        EXPECT_EQ(image.pixel(x, 59), qRgb(255, 255, 255)) << x;
        EXPECT_EQ(image.pixel(x, 61), qRgb(255, 255, 255)) << x;
    }
}

TEST_F(RenderTest, LinesThickenWithTheZoomAndStayBlack)
{
    // At zoom 2 a staff line of 0.12 spaces is two solid black pixel rows with white on either
    // side; at zoom 3, three.
    auto sheet = testing::sheetWithTracks(1);
    for (const auto& [zoom, rows] : {std::pair{2.0f, 2}, std::pair{3.0f, 3}}) {
        const QImage image = render(*sheet, 1200, 600, zoom);
        const int top = static_cast<int>(60 * zoom);
        for (int x = 300; x < 600; x += 37) {
            int black = 0;
            for (int y = top - 4; y <= top + 4; ++y)
                black += image.pixel(x, y) == qRgb(0, 0, 0) ? 1 : 0;
            EXPECT_EQ(black, rows) << "zoom " << zoom << " x " << x;
        }
    }
}

// Where a note glyph painted at (40, 40) puts its stem: the black run of the stem's column away
// from the head, and how many pixels in it are not pure black.
struct StemInk {
    QImage image;
    int column = 0;
    double head = 0, tip = 0;
    int gaps = 0;
};
StemInk stemInk(int glyph, bool down, double scale)
{
    StemInk s;
    s.image = QImage(220, 220, QImage::Format_RGB32);
    s.image.fill(Qt::white);
    {
        QPainter painter(&s.image);
        paintGlyph(painter, glyph, 40, 40, scale, Qt::black);
    }
    s.column = static_cast<int>(40 + (down ? kStemDownX : kStemUpX) * scale);
    s.head = 40 + (down ? kHeadDownY : kHeadUpY) * scale;
    int first = -1, last = -1;
    for (int r = 0; r < s.image.height(); ++r)
        if (std::abs(r - s.head) >= 5 * scale && qGray(s.image.pixel(s.column, r)) == 0) {
            first = first < 0 ? r : first;
            last = r;
        }
    for (int r = first; r >= 0 && r <= last; ++r)
        if (std::abs(r - s.head) >= 5 * scale && qGray(s.image.pixel(s.column, r)) != 0)
            ++s.gaps;
    s.tip = first < 0 ? s.head : down ? last + 1 : first;
    return s;
}

TEST_F(RenderTest, StemsAreSolidBlackAndThreeAndAHalfSpacesLong)
{
    for (const double scale : {1.0, 2.0, 3.0}) {
        for (const bool down : {false, true}) {
            SCOPED_TRACE(::testing::Message() << "scale " << scale << (down ? " down" : " up"));
            const StemInk s = stemInk(down ? kGlyphQuarterDown : kGlyphQuarterUp, down, scale);
            // One unbroken run of pure black, no grey hairline.
            EXPECT_EQ(s.gaps, 0);
            EXPECT_NEAR(std::abs(s.tip - s.head), 3.5 * 9 * scale, 1.0 + 0.5 * scale);
            // As wide as 0.12 spaces rounded to whole pixels, at least one.
            int width = 0;
            const int r = static_cast<int>((s.head + s.tip) / 2);
            for (int c = s.column - 4; c <= s.column + 4; ++c)
                width += s.image.pixel(c, r) == qRgb(0, 0, 0) ? 1 : 0;
            EXPECT_EQ(width, std::max(1, static_cast<int>(std::lround(0.12 * 9 * scale))));
            // Three flags need room: a thirty-second's stem is half a space longer.
            const StemInk t = stemInk(down ? kGlyphThirtySecondDown : kGlyphThirtySecondUp, down, scale);
            EXPECT_NEAR(std::abs(t.tip - t.head), 4 * 9 * scale, 1.0 + 0.5 * scale);
        }
    }
}

TEST_F(RenderTest, TheGClefShowsAnEightUnderItsTailAndTheG2ClefDoesNot)
{
    // The small 8 is a narrow digit about nine units high.
    const QRect eight = inkBox(kGlyphClefOctave);
    ASSERT_FALSE(eight.isEmpty());
    EXPECT_NEAR(eight.height(), 9, 1);
    EXPECT_LT(eight.width(), eight.height());

    // Dark pixels in the band under the clef of the first staff (top line at y = 60).
    const auto inkUnderClef = [](const QImage& image) {
        int n = 0;
        for (int y = 60 + 52; y < 60 + 64; ++y)
            for (int x = 35; x < 35 + 30; ++x)
                n += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
        return n;
    };
    auto g = testing::sheetWithTracks(1);
    g->selectedTrack = -1;
    auto g2 = testing::sheetWithTracks(1);
    g2->selectedTrack = -1;
    setStaffKind(*g2->trackAt(0), StaffKind::G2Clef);
    EXPECT_GT(inkUnderClef(render(*g, 400, 200, 1.0f)), 12);
    EXPECT_EQ(inkUnderClef(render(*g2, 400, 200, 1.0f)), 0);
}

TEST_F(RenderTest, SelectedNotesAreRedAndPlayingNotesBlue)
{
    auto sheet = testing::sheetWithTracks(1);
    testing::addQuarters(*sheet->trackAt(0), 2);
    sheet->selectedTrack = -1; // keep the clef black
    sheet->trackAt(0)->noteAt(0).selected = 1;
    struct SecondNoteSounds : SoundingNotes {
        bool sounding(const SheetDocument&, int track, int note) const override
        {
            return track == 0 && note == 1;
        }
    } playback;
    sheet->zoomamount = 1.0f;
    SheetViewState view(*sheet);
    view.setClientSize(400, 200);
    view.soundingNotes = &playback;
    const QImage image = renderView(view);
    EXPECT_GT(inkPixels(image, qRgb(255, 0, 0)), 20);
    EXPECT_GT(inkPixels(image, qRgb(0, 0, 255)), 20);
}

TEST_F(RenderTest, AManyPageSheetPrintsOnePdfPageForEachAndRestoresTheView)
{
    auto sheet = testing::sheetWithTracks(2);
    // Printing lays the sheet out for the paper, whatever the window shows: 160 whole notes on
    // two staves take several A4 pages.
    for (int i = 0; i < 160; ++i)
        testing::addNote(*sheet->trackAt(0), kTypeWhole, i % 9 - 4);
    sheet->zoomamount = 1.0f;
    SheetViewState view(*sheet);
    view.setClientSize(900, 500);
    layoutRows(view);
    setFirstVisibleRow(view, 3);
    ASSERT_EQ(view.firstVisibleRow, 3);
    const int firstRow = view.firstVisibleRow, width = view.layoutWidth, rows = view.rowsInUse();

    const std::string path = ::testing::TempDir() + "many_pages.pdf";
    std::filesystem::remove(path);
    const PrintResult result = printViewToPdf(view, path);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_GE(result.pages, 2);

    const std::string pdf = readBytes(path);
    ASSERT_EQ(pdf.rfind("%PDF", 0), 0u);
    // Page objects of the file (the page tree itself is "/Type /Pages").
    int pages = 0;
    for (std::size_t at = pdf.find("/Type /Page"); at != std::string::npos;
         at = pdf.find("/Type /Page", at + 1))
        if (pdf.compare(at, 12, "/Type /Pages") != 0)
            ++pages;
    EXPECT_EQ(pages, result.pages);

    EXPECT_EQ(view.firstVisibleRow, firstRow);
    EXPECT_EQ(view.layoutWidth, width);
    EXPECT_EQ(view.rowsInUse(), rows);
    EXPECT_FLOAT_EQ(sheet->zoomamount, 1.0f);
}

TEST_F(RenderTest, PdfToAnUnwritablePlaceFailsAndLeavesNothing)
{
    auto sheet = testing::sheetWithTracks(1);
    SheetViewState view(*sheet);
    view.setClientSize(500, 500);
    const PrintResult result = printViewToPdf(view, "/nonexistent-folder/out.pdf");
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.empty());
    EXPECT_FALSE(std::filesystem::exists("/nonexistent-folder/out.pdf"));
}

TEST_F(RenderTest, AMarkedMeasureShowsItsDotsAndThickBarInThePicture)
{
    // The test sheet marks measures 2, 4 (the end of row 0) and 9 on both tracks; the same
    // sheet without marks shows white where the signs go.
    SheetDocument marked;
    ASSERT_TRUE(loadSheet(marked, "repeats", std::string(TONVELA_TEST_DATA) + "/repeats.shd").ok());
    SheetDocument plain;
    ASSERT_TRUE(loadSheet(plain, "repeats", std::string(TONVELA_TEST_DATA) + "/repeats.shd").ok());
    for (int t = 0; t < plain.trackCount(); ++t)
        plain.trackAt(t)->measureRepeats.clear();
    SheetViewState view(marked);
    view.setClientSize(1000, 800);
    const QImage withSigns = renderView(view);
    SheetViewState plainView(plain);
    plainView.setClientSize(1000, 800);
    const QImage without = renderView(plainView);
    ASSERT_EQ(view.layout().measuresPerRow, 4);

    const auto dark = [](const QImage& im, int x, int y) { return qGray(im.pixel(x, y)) < 96; };
    const auto sc = [&view](int v) { return view.scaled(v); };
    for (int t = 0; t < 2; ++t) {
        const StaffRow& row = view.row(t);
        const int staffEnd = kStaffLeft + row.length;
        // Measure 2 ends at the bar line of measure 3; measure 4 at the end of the row.
        for (const int thinX : {view.measures(t)[3].x, staffEnd - kRepeatSignWidth}) {
            const RepeatSignGeometry g = repeatSignGeometry(row, thinX, false);
            const int thickX = sc(g.thickLeft + 1);
            for (int y = sc(row.top); y <= sc(row.top + 4 * row.spacing); ++y) {
                EXPECT_TRUE(dark(withSigns, thickX, y))
                    << "thick bar, track " << t << " x " << thinX << " y " << y;
                EXPECT_TRUE(dark(withSigns, thickX + 1, y));
            }
            for (const int dotY : g.dotY) {
                EXPECT_TRUE(dark(withSigns, sc(g.dotX), sc(dotY))) << "dot, track " << t << " x " << thinX;
                EXPECT_FALSE(dark(without, sc(g.dotX), sc(dotY))) << "no dot without the mark";
            }
            EXPECT_FALSE(dark(without, thickX, sc(row.top + 13))) << "no thick bar without the mark";
            // Between the dots and the thin line the staff's space stays white.
            EXPECT_FALSE(dark(withSigns, sc(g.dotX) + 3, sc(g.dotY[0])));
        }
        // Measure 2 opens with the mirrored sign at its bar line: thick line left, dots right.
        const int bar2 = view.measures(t)[2].x;
        const RepeatSignGeometry open = repeatStartGeometryAt(row.top, bar2, false, false);
        for (int y = sc(row.top); y <= sc(row.top + 4 * row.spacing); ++y)
            EXPECT_TRUE(dark(withSigns, sc(open.thickLeft + 1), y)) << "opening thick bar, track " << t;
        EXPECT_FALSE(dark(without, sc(open.thickLeft + 1), sc(row.top + 13)));
        for (const int dotY : open.dotY) {
            EXPECT_GT(open.dotX, bar2);
            EXPECT_TRUE(dark(withSigns, sc(open.dotX), sc(dotY))) << "opening dot, track " << t;
            EXPECT_FALSE(dark(without, sc(open.dotX), sc(dotY)));
        }
    }
}

// A page of diagrams as a teacher hands it out: the first shapes of the library and three that
// start up the neck.
void fillLessonPage(ChordDocument& doc)
{
    const auto& shapes = guitarLibrary().entries();
    for (std::size_t i = 0; i < shapes.size() && doc.diagramCount() < 13; ++i)
        doc.addDiagram(shapes[i].root, shapes[i].qualitySymbol, shapes[i].fingering, shapes[i].startFret);
    for (std::size_t i = 13; i < shapes.size() && doc.diagramCount() < 16; ++i)
        if (shapes[i].startFret != 1)
            doc.addDiagram(shapes[i].root, shapes[i].qualitySymbol, shapes[i].fingering, shapes[i].startFret);
}

TEST_F(RenderTest, ChordDocumentPageMatchesTheReference)
{
    ChordDocument doc;
    fillLessonPage(doc);
    ASSERT_EQ(doc.diagramCount(), 16);
    doc.setSelected(2, true); // paper shows no selection
    const std::vector<QImage> pages = renderChordPages(doc, kScreenDpi);
    ASSERT_EQ(pages.size(), 1u);
    const QImage& page = pages[0];
    // A4 less 10 mm margins at 96 dots per inch.
    EXPECT_EQ(page.size(), QSize(719, 1049));
    compareWithReference(page, "chord_page.png");

    // The drawing is scaled from 600 page units across: the first nut, 4 units thick, is a
    // black bar from x = 41 to 139 at y = 55.
    const double scale = page.width() / 600.0;
    const auto at = [&](double x, double y) {
        return page.pixel(static_cast<int>(x * scale), static_cast<int>(y * scale));
    };
    EXPECT_EQ(at(90, 55), qRgb(0, 0, 0));
    EXPECT_EQ(at(90, 62), qRgb(255, 255, 255));
    // No black box anywhere: the corner of the third diagram's box stays white.
    EXPECT_EQ(at(25, 425), qRgb(255, 255, 255));
}

TEST_F(RenderTest, PrintedChordPagesAreVectorDrawingOnTheRightNumberOfPdfPages)
{
    ChordDocument doc;
    fillLessonPage(doc);
    for (int i = 0; i < 16; ++i) {
        const ChordDiagram& d = *doc.diagramAt(i);
        doc.addDiagram(d.label, "", d.fingering, d.startFret);
    }
    ASSERT_EQ(doc.diagramCount(), 32);
    const std::string path = ::testing::TempDir() + "chords.pdf";
    std::filesystem::remove(path);
    const PrintResult result = printChordDocumentToPdf(doc, path);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.pages, 2);
    const std::string pdf = readBytes(path);
    ASSERT_EQ(pdf.rfind("%PDF", 0), 0u);
    EXPECT_NE(pdf.find("/Count 2"), std::string::npos) << "two pages in the page tree";
    EXPECT_EQ(pdf.find("/Subtype /Image"), std::string::npos) << "no picture anywhere in the file";
    EXPECT_NE(pdf.find("/FontFile"), std::string::npos) << "the labels and digits are text";
}

} // namespace
} // namespace tonvela
