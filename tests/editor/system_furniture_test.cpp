// What opens each system: its first measure's number above the top staff and nowhere else,
// the time signature in the first system only, a bracket joining an ensemble's staves and a
// brace joining a piano part's two.

#include "drawing/recording_canvas.h"
#include "editor/example_sheets.h"
#include "editor/glyphs.h"
#include "editor/layout.h"
#include "editor/sheet_drawing.h"
#include "editor/sheet_view_state.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tonvela {
namespace {

using testing::addQuarters;
using Kind = RecordingCanvas::Kind;
using Call = RecordingCanvas::Call;

class SystemFurnitureTest : public ::testing::Test {
  protected:
    void makeSheet(int tracks, int quarters)
    {
        sheet = testing::sheetWithTracks(tracks);
        for (int t = 0; t < tracks; ++t)
            addQuarters(*sheet->trackAt(t), quarters, 3 - t);
        view = std::make_unique<SheetViewState>(*sheet);
        view->setClientSize(1000, 1600);
    }
    void draw()
    {
        layoutRows(*view);
        canvas.clear();
        drawSheet(*view, canvas, false);
    }
    // Texts drawn in the given font height, bold.
    std::vector<Call> numbers(int height) const
    {
        std::vector<Call> out;
        for (const Call& c : canvas.callsOf(Kind::Text))
            if (c.font.height == height && c.font.bold)
                out.push_back(c);
        return out;
    }
    struct Box {
        double left = 1e9, top = 1e9, right = -1e9, bottom = -1e9;
    };
    static Box boxOf(const Call& c)
    {
        Box b;
        for (const PointF& p : c.points) {
            b.left = std::min(b.left, p.x), b.right = std::max(b.right, p.x);
            b.top = std::min(b.top, p.y), b.bottom = std::max(b.bottom, p.y);
        }
        return b;
    }
    // Filled shapes left of the staves: brackets, their wings and braces.
    std::vector<Box> leftMarks() const
    {
        std::vector<Box> out;
        for (const Call& c : canvas.callsOf(Kind::Polygon))
            if (boxOf(c).right < kStaffLeft)
                out.push_back(boxOf(c));
        return out;
    }
    std::unique_ptr<SheetDocument> sheet;
    std::unique_ptr<SheetViewState> view;
    RecordingCanvas canvas{1000, 1600};
};

TEST_F(SystemFurnitureTest, MeasureNumbersStandOnlyAtEachSystemsStartAboveTheTopStaff)
{
    // GIVEN two tracks of 36 quarters: nine measures, three systems of three
    makeSheet(2, 36);
    draw();
    ASSERT_EQ(view->layout().measuresPerRow, 4);
    // THEN one number per system, in the system's opening font, above track 0's staff
    const std::vector<Call> shown = numbers(14);
    ASSERT_EQ(shown.size(), 3u);
    const int opening[3] = {1, 5, 9};
    for (int s = 0; s < 3; ++s) {
        EXPECT_EQ(shown[static_cast<std::size_t>(s)].text, std::to_string(opening[s]));
        EXPECT_EQ(shown[static_cast<std::size_t>(s)].v[1], view->row(2 * s).top - 18)
            << "above the top staff";
    }
    // AND no number inside a system
    EXPECT_TRUE(numbers(12).empty());
}

TEST_F(SystemFurnitureTest, TheTimeSignatureOpensThePieceOnlyOnce)
{
    makeSheet(2, 36);
    draw();
    std::vector<int> ys;
    for (const Call& c : canvas.callsOf(Kind::Glyph))
        if (c.v[0] == kGlyphDigit4)
            ys.push_back(c.v[2]);
    // Numerator and denominator on each staff of the first system, none later.
    ASSERT_EQ(ys.size(), 4u);
    for (const int y : ys)
        EXPECT_LT(y, view->row(2).top);
}

TEST_F(SystemFurnitureTest, AnEnsemblesStavesShareABracketInEverySystem)
{
    makeSheet(3, 24);
    draw();
    // The bar and its two wings in each of two systems.
    const std::vector<Box> marks = leftMarks();
    ASSERT_EQ(marks.size(), 6u);
    for (int s = 0; s < 2; ++s) {
        const int top = view->row(3 * s).top, bottom = view->row(3 * s + 2).top + 36;
        const bool spans = std::any_of(marks.begin(), marks.end(), [&](const Box& b) {
            return b.top <= top && b.bottom >= bottom && b.right - b.left <= 5;
        });
        EXPECT_TRUE(spans) << "system " << s;
    }
    // A lone staff has none.
    makeSheet(1, 8);
    draw();
    EXPECT_TRUE(leftMarks().empty());
}

TEST_F(SystemFurnitureTest, APianoPartsTwoStavesShareABraceInsteadOfABracket)
{
    // GIVEN a violin above a piano part of two staves
    makeSheet(3, 8);
    sheet->trackAt(1)->braceWithNext = 1;
    draw();
    // THEN one shape at the left: the brace, from the top of the right hand's staff to the
    // bottom of the left hand's, pointing left in its middle; the violin alone gets no bracket
    const std::vector<Box> marks = leftMarks();
    ASSERT_EQ(marks.size(), 1u);
    const Box& brace = marks.front();
    EXPECT_NEAR(brace.top, view->row(1).top, 1.0);
    EXPECT_NEAR(brace.bottom, view->row(2).top + 36, 1.0);
    EXPECT_LT(brace.right - brace.left, 14);
    EXPECT_GT(brace.right - brace.left, 6);

    // AND with a second ensemble staff, the two unbraced staves above get a bracket too
    makeSheet(4, 8);
    sheet->trackAt(2)->braceWithNext = 1;
    draw();
    EXPECT_EQ(leftMarks().size(), 4u) << "a brace, a bracket and its two wings";
}

} // namespace
} // namespace tonvela
