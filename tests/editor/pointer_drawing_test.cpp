#include "drawing/recording_canvas.h"
#include "editor/engraving_marks.h"
#include "editor/example_sheets.h"
#include "editor/glyphs.h"
#include "editor/layout.h"
#include "editor/sheet_drawing.h"
#include "editor/sheet_view_state.h"

#include <gtest/gtest.h>

namespace tonvela {
namespace {

using testing::addNote;
using testing::addQuarters;
using Kind = RecordingCanvas::Kind;
using Call = RecordingCanvas::Call;

// What the pointer adds to the picture: preview, drag rectangle, hovered bar lines.
class PointerDrawingTest : public ::testing::Test {
  protected:
    PointerDrawingTest() : sheet(testing::sheetWithTracks(1)), view(*sheet)
    {
        sheet->zoomamount = 2.0f;
        view.setClientSize(2000, 1600);
        addQuarters(*sheet->trackAt(0), 8);
        layoutRows(view);
    }
    void draw(bool printing = false)
    {
        canvas.clear();
        drawSheet(view, canvas, printing);
    }
    // Shows a preview of `type` at (x, y) in sheet units, as the pointer leaves it.
    void preview(int type, int x, int y)
    {
        Note& p = view.previewNote;
        NoteLayout& place = view.previewLayout;
        p = Note{};
        place = NoteLayout{};
        p.type = type;
        place.x = x;
        place.y = y + view.scrollTop();
        placeMarks(p, place);
        view.previewVisible = true;
    }
    std::vector<Call> linesWith(Color color) const
    {
        std::vector<Call> out;
        for (const Call& c : canvas.callsOf(Kind::Line))
            if (c.pen.color == color)
                out.push_back(c);
        return out;
    }
    bool hasLine(const std::vector<Call>& lines, int x1, int y1, int x2, int y2) const
    {
        for (const Call& c : lines)
            if (c.v[0] == x1 && c.v[1] == y1 && c.v[2] == x2 && c.v[3] == y2)
                return true;
        return false;
    }
    int sc(int v) const { return view.scaled(v); }

    std::unique_ptr<SheetDocument> sheet;
    SheetViewState view;
    RecordingCanvas canvas{2000, 1600};
};

TEST_F(PointerDrawingTest, ThePreviewIsABlueGlyphAndNeverOnPaper)
{
    preview(kTypeQuarter, 500, 80);
    draw();
    const std::vector<Call> glyphs = canvas.callsOf(Kind::Glyph);
    ASSERT_FALSE(glyphs.empty());
    const Call& last = glyphs.back();
    EXPECT_EQ(last.v[0], noteGlyph(view.previewNote, view.previewLayout));
    EXPECT_EQ(last.v[1], sc(500));
    EXPECT_EQ(last.v[2], sc(80));
    EXPECT_EQ(last.glyphColor, GlyphColor::Highlighted);

    draw(true);
    for (const Call& c : canvas.callsOf(Kind::Glyph))
        EXPECT_FALSE(c.v[1] == sc(500) && c.v[2] == sc(80)) << "no preview on paper";
    view.previewVisible = false;
    draw();
    for (const Call& c : canvas.callsOf(Kind::Glyph))
        EXPECT_FALSE(c.v[1] == sc(500) && c.v[2] == sc(80));
}

TEST_F(PointerDrawingTest, MarkerPreviewsAreBlueStrokes)
{
    const int x = 500;
    const int y = view.row(0).top;
    preview(kTypeBar, x, y);
    draw();
    EXPECT_TRUE(hasLine(linesWith(kBlue), sc(x), sc(y), sc(x), sc(y + 4 * kStaffSpacing)));

    preview(kTypeSpace, x, y);
    draw();
    EXPECT_TRUE(hasLine(linesWith(kBlue), sc(x), sc(y - 10), sc(x + 10), sc(y - 10)));

    preview(kTypeStaffBreak, x, y);
    draw();
    const std::vector<Call> blue = linesWith(kBlue);
    EXPECT_TRUE(hasLine(blue, sc(x), sc(y - 15), sc(x + 5), sc(y - 5)));
    EXPECT_TRUE(hasLine(blue, sc(x + 10), sc(y - 15), sc(x + 5), sc(y - 5)));

    preview(kTypeMark1740, x, y);
    const std::size_t glyphsBefore = (draw(), canvas.callsOf(Kind::Glyph).size());
    view.previewVisible = false;
    draw();
    EXPECT_EQ(canvas.callsOf(Kind::Glyph).size(), glyphsBefore) << "tool 1740 shows no preview";
}

TEST_F(PointerDrawingTest, TheDragRectangleIsDottedDarkGreyWithoutFill)
{
    view.dragRectVisible = true;
    view.dragLeft = 100;
    view.dragTop = 40;
    view.dragRight = 300;
    view.dragBottom = 150;
    draw();
    const std::vector<Call> rects = canvas.callsOf(Kind::Rect);
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_EQ(rects[0].v[0], sc(100));
    EXPECT_EQ(rects[0].v[1], sc(40));
    EXPECT_EQ(rects[0].v[2], sc(300));
    EXPECT_EQ(rects[0].v[3], sc(150));
    EXPECT_EQ(rects[0].pen.style, PenStyle::Dotted);
    EXPECT_EQ(rects[0].pen.width, 1);
    EXPECT_EQ(rects[0].pen.color, (Color{34, 34, 34}));
    EXPECT_FALSE(rects[0].hasBrush);
    draw(true);
    EXPECT_TRUE(canvas.callsOf(Kind::Rect).empty());
}

TEST_F(PointerDrawingTest, AHoveredBarLineIsBlueAndRedWhileTheButtonIsDownOnIt)
{
    const std::vector<MeasureRecord>& m = view.measures(0);
    const int top = view.row(0).top;
    const int bottom = top + 4 * kStaffSpacing;
    ASSERT_TRUE(hoverBarLine(view, 0, m[2].x, top + 10));
    draw();
    EXPECT_TRUE(hasLine(linesWith(kBlue), sc(m[2].x), sc(top), sc(m[2].x), sc(bottom)));
    view.barClickPending = true;
    draw();
    EXPECT_TRUE(hasLine(linesWith(kRed), sc(m[2].x), sc(top), sc(m[2].x), sc(bottom)));

    // The track's final bar line closes the last measure.
    view.barClickPending = false;
    const int end = trackEnd(view, 0).thinX;
    ASSERT_TRUE(hoverBarLine(view, 0, end, top + 10));
    draw();
    EXPECT_TRUE(hasLine(linesWith(kBlue), sc(end), sc(top), sc(end), sc(bottom)));
    EXPECT_FALSE(hasLine(linesWith(kBlue), sc(m[2].x), sc(top), sc(m[2].x), sc(bottom)));
    view.barClickPending = true;
    draw();
    EXPECT_TRUE(hasLine(linesWith(kRed), sc(end), sc(top), sc(end), sc(bottom)));
    draw(true);
    EXPECT_TRUE(linesWith(kRed).empty()) << "paper shows no hover";
}

TEST_F(PointerDrawingTest, AChordMemberAtTheTracksEndIsDrawnWithItsRoot)
{
    // A chord on the first row whose member was added last, as chord building by click adds
    // it, in a track much longer than the window.
    Track& t = *sheet->trackAt(0);
    addQuarters(t, 400);
    addNote(t, kTypeQuarter, -3, 0, nullptr, 0);
    t.rebuildChordLists();
    layoutRows(view);
    const NoteLayout& member = view.noteLayout(0, t.count - 1);
    ASSERT_EQ(member.x, view.noteLayout(0, 0).x);
    draw();
    bool drawn = false;
    for (const Call& c : canvas.callsOf(Kind::Glyph))
        drawn = drawn || (c.v[1] == view.scaled(member.x) && c.v[2] == view.scaled(member.y));
    EXPECT_TRUE(drawn);
}

} // namespace
} // namespace tonvela
