// The drawing of chord diagrams and of the chord document's page, checked call by call on a
// recording canvas.

#include "drawing/recording_canvas.h"
#include "harmony/chord_diagram_drawing.h"
#include "harmony/chord_document.h"
#include "harmony/guitar_library.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace tonvela {
namespace {

using Kind = RecordingCanvas::Kind;
using Call = RecordingCanvas::Call;

const char* kMutedBothEnds = "11X22333442251061X";

class ChordDiagramDrawingTest : public ::testing::Test {
  protected:
    static ChordDiagram diagram(const char* label, const char* fingering, int startFret)
    {
        ChordDiagram d;
        d.label = label;
        d.fingering = fingering;
        d.startFret = startFret;
        return d;
    }
    static std::vector<Call> textsIn(const RecordingCanvas& canvas, const Font& font)
    {
        std::vector<Call> out;
        for (const Call& c : canvas.calls())
            if ((c.kind == Kind::Text || c.kind == Kind::TextCentred) && c.font == font)
                out.push_back(c);
        return out;
    }
    // The string lines: vertical lines from the nut down.
    static std::vector<Call> strings(const RecordingCanvas& canvas, int y)
    {
        std::vector<Call> out;
        for (const Call& c : canvas.callsOf(Kind::Line))
            if (c.v[0] == c.v[2] && c.v[1] == y + 15 && c.v[3] == y + 165)
                out.push_back(c);
        return out;
    }
    static bool has(const std::vector<Call>& calls, const std::function<bool(const Call&)>& pred)
    {
        return std::any_of(calls.begin(), calls.end(), pred);
    }
};

TEST_F(ChordDiagramDrawingTest, MutedFirstAndLastStringsAreDottedAndFingersSitOnTheirFretRows)
{
    // GIVEN the fingering with both E strings muted, drawn at (100, 50)
    RecordingCanvas canvas;
    drawChordDiagram(canvas, diagram("D", kMutedBothEnds, 1), 100, 50, false);

    // THEN the six strings stand 20 apart, the lowest leftmost; both outer ones dotted grey
    const auto lines = strings(canvas, 50);
    ASSERT_EQ(lines.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        const Call& s = lines[static_cast<std::size_t>(i)];
        EXPECT_EQ(s.v[0], 100 + 20 * i);
        const bool outer = i == 0 || i == 5;
        EXPECT_EQ(s.pen.style, outer ? PenStyle::Dotted : PenStyle::Solid) << "string column " << i;
        EXPECT_EQ(s.pen.color, outer ? kMutedStringGrey : kBlack) << "string column " << i;
        EXPECT_EQ(s.pen.width, 1);
    }

    // AND circles with 3 (second string) and 2 (fourth string) on the first fret row, 4 (third
    // string) on the second; open and muted strings at the nut print nothing
    const auto circles = canvas.callsOf(Kind::Ellipse);
    ASSERT_EQ(circles.size(), 3u);
    const auto digits = canvas.callsOf(Kind::Text);
    ASSERT_EQ(digits.size(), 3u);
    struct Expected {
        const char* digit;
        int column; // 6 - string
        int fretRow;
    };
    for (const Expected& e : {Expected{"2", 2, 1}, Expected{"3", 4, 1}, Expected{"4", 3, 2}}) {
        const int left = 100 - 10 + 20 * e.column;
        const int row = 50 + 28 * e.fretRow;
        EXPECT_TRUE(has(circles,
                        [&](const Call& c) {
                            return c.v[0] == left && c.v[1] == row - 9 && c.v[2] == left + 20 &&
                                   c.v[3] == row + 12 && c.hasBrush && c.brush == kBlack;
                        }))
            << "circle for " << e.digit;
        EXPECT_TRUE(has(digits,
                        [&](const Call& c) {
                            return c.text == e.digit && c.v[0] == left + 6 && c.v[1] == row - 8 &&
                                   c.textColor == kWhite && c.font == kChordFretFont;
                        }))
            << "digit " << e.digit;
    }
}

TEST_F(ChordDiagramDrawingTest, TheStartFretIsShownOnlyWhenTheDiagramDoesNotStartAtTheNut)
{
    RecordingCanvas atNut;
    drawChordDiagram(atNut, diagram("A", "11023333243151061X", 1), 40, 40, false);
    const auto nutTexts = atNut.callsOf(Kind::TextCentred);
    ASSERT_EQ(nutTexts.size(), 1u) << "the label alone";
    EXPECT_EQ(nutTexts[0].text, "A");

    RecordingCanvas up;
    drawChordDiagram(up, diagram("Bbdim", "11X23134243352461X", 4), 40, 40, false);
    const auto centred = up.callsOf(Kind::TextCentred);
    ASSERT_EQ(centred.size(), 2u);
    // The label above the neck, the fret number to the right of the first fret row.
    EXPECT_EQ(centred[0].text, "Bbdim");
    EXPECT_EQ(centred[0].font, kChordLabelFont);
    EXPECT_EQ((std::vector<int>{centred[0].v[0], centred[0].v[1], centred[0].v[2], centred[0].v[3]}),
              (std::vector<int>{30, 20, 150, 40}));
    EXPECT_EQ(centred[1].text, "4");
    EXPECT_EQ(centred[1].font, kChordFretFont);
    EXPECT_EQ((std::vector<int>{centred[1].v[0], centred[1].v[1], centred[1].v[2], centred[1].v[3]}),
              (std::vector<int>{95, 45, 215, 65}));
}

TEST_F(ChordDiagramDrawingTest, NutAndFiveFretLinesFrameTheNeck)
{
    RecordingCanvas canvas;
    drawChordDiagram(canvas, diagram("E", "110210310433532610", 1), 40, 40, false);
    std::vector<Call> across;
    for (const Call& c : canvas.callsOf(Kind::Line))
        if (c.v[1] == c.v[3])
            across.push_back(c);
    ASSERT_EQ(across.size(), 6u);
    EXPECT_EQ(across[0].pen.width, kChordNutWidth);
    EXPECT_EQ((std::vector<int>{across[0].v[0], across[0].v[1], across[0].v[2]}),
              (std::vector<int>{41, 55, 139}));
    for (int k = 1; k <= 5; ++k) {
        const Call& fret = across[static_cast<std::size_t>(k)];
        EXPECT_EQ(fret.v[1], 40 + 28 * k + 15) << "fret line " << k;
        EXPECT_EQ(fret.v[0], 40);
        EXPECT_EQ(fret.v[2], 140);
        EXPECT_EQ(fret.pen.width, 1);
    }
}

TEST_F(ChordDiagramDrawingTest, PlainDotsHaveNoDigitAndAZeroOrAMutedMarkOnAFretRowDrawsNothing)
{
    // '_' on a fret row is a dot without a finger number; a '0' there draws no circle and an
    // 'X' there has no note.
    RecordingCanvas canvas;
    drawChordDiagram(canvas, diagram("?", "12_23034X410510610", 1), 40, 40, false);
    ASSERT_EQ(canvas.callsOf(Kind::Ellipse).size(), 1u);
    EXPECT_EQ(canvas.callsOf(Kind::Ellipse)[0].v[0], 40 - 10 + 20 * 5) << "the first string's dot only";
    EXPECT_TRUE(canvas.callsOf(Kind::Text).empty());
    // The 'X' on a fret row does not make its string muted: only the nut row does.
    for (const Call& s : strings(canvas, 40))
        EXPECT_EQ(s.pen.style, PenStyle::Solid);
}

TEST_F(ChordDiagramDrawingTest, ASelectedDiagramIsDrawnWhiteWithBlackDigitsOnItsBlackBox)
{
    ChordDocument doc;
    doc.resizePage(600, 300);
    doc.addDiagram("D", "", kMutedBothEnds, 1);
    doc.setSelected(0, true);
    RecordingCanvas canvas(600, 300);
    drawChordPage(canvas, doc);

    const auto rects = canvas.callsOf(Kind::Rect);
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_EQ((std::vector<int>{rects[0].v[0], rects[0].v[1], rects[0].v[2], rects[0].v[3]}),
              (std::vector<int>{20, 20, 165, 210}));
    EXPECT_EQ(rects[0].pen.color, kRed);
    EXPECT_TRUE(rects[0].hasBrush);
    EXPECT_EQ(rects[0].brush, kBlack);
    // The box comes first, the diagram over it.
    const auto& calls = canvas.calls();
    const auto box =
        std::find_if(calls.begin(), calls.end(), [](const Call& c) { return c.kind == Kind::Rect; });
    const auto label =
        std::find_if(calls.begin(), calls.end(), [](const Call& c) { return c.kind == Kind::TextCentred; });
    EXPECT_LT(box, label);

    EXPECT_EQ(label->textColor, kWhite);
    for (const Call& c : canvas.callsOf(Kind::Line))
        EXPECT_TRUE(c.pen.style == PenStyle::Dotted || c.pen.color == kWhite);
    for (const Call& c : canvas.callsOf(Kind::Ellipse))
        EXPECT_EQ(c.brush, kWhite);
    for (const Call& c : canvas.callsOf(Kind::Text))
        EXPECT_EQ(c.textColor, kBlack);
}

TEST_F(ChordDiagramDrawingTest, TheHoveredDiagramIsFramedInRedInsideItsBox)
{
    ChordDocument doc;
    doc.resizePage(600, 300);
    doc.addDiagram("A", "", "11023333243151061X", 1);
    doc.addDiagram("E", "m", "110210310433532610", 1);
    doc.hover(200, 100); // inside the second box (160..305, 20..210)
    ASSERT_EQ(doc.page().hovered, 1);
    RecordingCanvas canvas(600, 300);
    drawChordPage(canvas, doc);
    const auto fills = canvas.callsOf(Kind::FillRect);
    ASSERT_FALSE(fills.empty());
    EXPECT_EQ(fills[0].fill, kWhite) << "the page is cleared first";
    const auto rects = canvas.callsOf(Kind::Rect);
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_EQ((std::vector<int>{rects[0].v[0], rects[0].v[1], rects[0].v[2], rects[0].v[3]}),
              (std::vector<int>{161, 21, 304, 209}));
    EXPECT_EQ(rects[0].pen, (Pen{PenStyle::Solid, 1, kRed}));
    EXPECT_FALSE(rects[0].hasBrush);

    doc.hover(5, 5);
    RecordingCanvas after(600, 300);
    drawChordPage(after, doc);
    EXPECT_TRUE(after.callsOf(Kind::Rect).empty());
}

TEST_F(ChordDiagramDrawingTest, ColumnsHoldOneDiagramAt400PixelsAndThreeAt605)
{
    for (const auto& [height, rows] : {std::pair{400, 1}, std::pair{605, 3}}) {
        ChordDocument doc;
        doc.resizePage(1000, height);
        for (int i = 0; i < 4; ++i)
            doc.addDiagram("C", std::to_string(i), "11022131043254361X", 1);
        RecordingCanvas canvas(1000, height);
        drawChordPage(canvas, doc);
        const auto labels = textsIn(canvas, kChordLabelFont);
        ASSERT_EQ(labels.size(), 4u) << height;
        for (int i = 0; i < 4; ++i) {
            // The label's rectangle starts 10 left of and 20 above the origin.
            const int x = 40 + 140 * (i / rows), y = 40 + 200 * (i % rows);
            EXPECT_EQ(labels[static_cast<std::size_t>(i)].v[0], x - 10) << height << " diagram " << i;
            EXPECT_EQ(labels[static_cast<std::size_t>(i)].v[1], y - 20) << height << " diagram " << i;
        }
    }
}

TEST_F(ChordDiagramDrawingTest, AScrolledPageStartsWithTheFirstVisibleColumnAndStopsAtTheRightEdge)
{
    ChordDocument doc;
    doc.resizePage(300, 400); // one diagram per column, two columns on the page
    for (int i = 0; i < 6; ++i)
        doc.addDiagram("G", std::to_string(i), "11_22_32_43_54_61_", 1);
    doc.scroll(PageScroll::LineRight);
    doc.scroll(PageScroll::LineRight);
    RecordingCanvas canvas(300, 400);
    drawChordPage(canvas, doc);
    const auto labels = textsIn(canvas, kChordLabelFont);
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[0].text, "G2");
    EXPECT_EQ(labels[0].v[0], 30);
    EXPECT_EQ(labels[1].text, "G3");
}

TEST_F(ChordDiagramDrawingTest, AnyFingeringTextStaysInsideTheGrid)
{
    // Fingerings come from files: whatever they hold, the grid takes only string 1..6, row 1..6,
    // and a diagram never draws more than its six strings and thirty cells.
    std::mt19937 rng(7);
    const std::string alphabet = "0123456789X_ \xff-";
    for (int round = 0; round < 2000; ++round) {
        std::string f(rng() % 32, ' ');
        for (char& c : f)
            c = alphabet[rng() % alphabet.size()];
        RecordingCanvas canvas;
        ChordDiagram d;
        d.fingering = f;
        drawChordDiagram(canvas, d, 40, 40, round % 2 == 0);
        EXPECT_LE(canvas.callsOf(Kind::Ellipse).size(), 30u) << f;
        EXPECT_EQ(strings(canvas, 40).size(), 6u) << f;
    }
    // Row 7 and string 9 are no places of the grid: the earlier triple of string 1 stays.
    const FingeringGrid grid = expandFingering("61X16317_99_0");
    EXPECT_EQ(grid[0][0], 'X');
    EXPECT_EQ(grid[5][5], '3');
}

} // namespace
} // namespace tonvela
