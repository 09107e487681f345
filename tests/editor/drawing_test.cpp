#include "editor/engraving_marks.h"
#include "editor/example_sheets.h"
#include "editor/glyphs.h"
#include "editor/layout.h"
#include "editor/sheet_drawing.h"
#include "editor/sheet_view_state.h"
#include "platform/recording_canvas.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tonvela {
namespace {

using testing::addNote;
using testing::addQuarters;
using Kind = RecordingCanvas::Kind;
using Call = RecordingCanvas::Call;

class DrawingTest : public ::testing::Test {
  protected:
    void makeSheet(int tracks, float zoom = 1.0f, int width = 1000, int height = 800)
    {
        sheet = testing::sheetWithTracks(tracks);
        sheet->zoomamount = zoom;
        view = std::make_unique<SheetViewState>(*sheet);
        view->setClientSize(width, height);
    }
    void draw(bool printing = false)
    {
        layoutRows(*view);
        canvas.clear();
        drawSheet(*view, canvas, printing);
    }
    Track& track(int i) { return *sheet->trackAt(i); }
    Note& note(int t, int i) { return track(t).noteAt(i); }
    bool hasLine(int x1, int y1, int x2, int y2) const
    {
        for (const Call& c : canvas.callsOf(Kind::Line))
            if (c.v[0] == x1 && c.v[1] == y1 && c.v[2] == x2 && c.v[3] == y2)
                return true;
        return false;
    }
    std::vector<Call> glyphs(int id) const
    {
        std::vector<Call> out;
        for (const Call& c : canvas.callsOf(Kind::Glyph))
            if (c.v[0] == id)
                out.push_back(c);
        return out;
    }
    std::vector<Call> texts(const std::string& text) const
    {
        std::vector<Call> out;
        for (const Call& c : canvas.calls())
            if ((c.kind == Kind::Text || c.kind == Kind::TextInRect) && c.text == text)
                out.push_back(c);
        return out;
    }
    int sc(int v) const { return view->scaled(v); }

    std::unique_ptr<SheetDocument> sheet;
    std::unique_ptr<SheetViewState> view;
    RecordingCanvas canvas{1000, 800};
};

TEST_F(DrawingTest, EmptyTrackGetsStaffLabelClefKeyAndTimeSignature)
{
    makeSheet(2);
    track(1).setKeyIndex(5); // D major
    draw();
    const int top = view->row(1).top;
    for (int k = 0; k < 5; ++k)
        EXPECT_TRUE(hasLine(35, top + 9 * k, 35 + 930, top + 9 * k)) << k;
    EXPECT_EQ(texts("2").size(), 1u);
    const auto label = texts("2").front();
    EXPECT_EQ(label.v[0], 20);
    EXPECT_EQ(label.v[1], top + 27);
    EXPECT_EQ(label.font.height, 20);
    EXPECT_EQ(glyphs(kGlyphGClef).size(), 2u);
    // Two sharps: F at the top line, C in the third space.
    const auto sharps = glyphs(kGlyphSharp);
    ASSERT_EQ(sharps.size(), 2u);
    EXPECT_EQ(sharps[0].v[1], keySignatureLeft());
    EXPECT_EQ(sharps[0].v[2], top - 10);
    EXPECT_EQ(sharps[1].v[1], keySignatureLeft() + kKeyMarkPitch);
    EXPECT_EQ(sharps[1].v[2], top + 3);
    // Time signature after the key signature, denominator 18 units lower.
    const auto fours = glyphs(kGlyphDigit4);
    ASSERT_EQ(fours.size(), 4u);
    EXPECT_TRUE(std::any_of(fours.begin(), fours.end(), [&](const Call& c) {
        return c.v[1] == timeSignatureLeft(2) && c.v[2] == top + 20;
    }));
    // The system's staves are joined at the left.
    EXPECT_TRUE(hasLine(35, 60, 35, top + 36));
}

TEST_F(DrawingTest, FlatKeySignaturePlacesFlatsBelowTheirSteps)
{
    makeSheet(1);
    track(0).setKeyIndex(9); // B flat major
    draw();
    const auto flats = glyphs(kGlyphFlat);
    ASSERT_EQ(flats.size(), 2u);
    EXPECT_EQ(flats[0].v[2], 60 + 5); // B flat: its belly on the middle line
    EXPECT_EQ(flats[1].v[2], 51);     // E flat: 60 - 8.5, truncated
    EXPECT_EQ(view->row(0).keySigWidth, 16);
}

TEST_F(DrawingTest, GeometryScalesWithTheZoomAndTruncates)
{
    for (float zoom : {1.0f, 0.5f, 0.4f}) {
        SCOPED_TRACE(zoom);
        makeSheet(1, zoom);
        addNote(track(0), kTypeQuarter, 9, 0, "la");
        draw();
        const int top = view->row(0).top;
        EXPECT_EQ(top, 60);
        // The staff stops at the track's final bar line.
        const int end = trackEnd(*view, 0).endX;
        for (int k = 0; k < 5; ++k)
            EXPECT_TRUE(hasLine(sc(35), sc(top) + sc(9 * k), sc(end), sc(top) + sc(9 * k))) << k;
        const Note& n = note(0, 0);
        EXPECT_TRUE(hasLine(sc(n.layout.x), sc(top + 45), sc(n.layout.x) + sc(10), sc(top + 45)));
        const auto lyric = texts("la");
        ASSERT_EQ(lyric.size(), 1u);
        EXPECT_EQ(lyric[0].v[0], sc(n.layout.x));
        EXPECT_EQ(lyric[0].v[1], sc(63 + top));
        EXPECT_EQ(lyric[0].v[2], sc(n.layout.x) + 300);
        EXPECT_EQ(lyric[0].v[3], sc(63 + top) + 24);
        EXPECT_EQ(lyric[0].font.height, static_cast<int>((zoom >= 0.8f ? 16.0f : 12.0f) * zoom));
        const auto head = glyphs(kGlyphQuarterUp);
        ASSERT_EQ(head.size(), 1u);
        EXPECT_EQ(head[0].v[1], sc(n.layout.x));
        EXPECT_EQ(head[0].v[2], sc(n.layout.y));
        EXPECT_FLOAT_EQ(static_cast<float>(head[0].scale), zoom);
        EXPECT_EQ(texts("1").front().font.height, static_cast<int>(14.0f * zoom));
    }
}

TEST_F(DrawingTest, LedgerLinesBelowAndAboveComeInThrees)
{
    makeSheet(1);
    addNote(track(0), kTypeQuarter, 7);  // y reaches top + 15
    addNote(track(0), kTypeQuarter, -5); // above the staff
    addNote(track(0), kTypeQuarter, 2);  // inside: none
    draw();
    const int top = view->row(0).top;
    const Note& low = note(0, 0);
    const Note& high = note(0, 1);
    for (int k = 5; k <= 7; ++k)
        EXPECT_TRUE(hasLine(low.layout.x, top + 9 * k, low.layout.x + 10, top + 9 * k)) << k;
    for (int k = 1; k <= 3; ++k)
        EXPECT_TRUE(hasLine(high.layout.x + 2, top - 9 * k, high.layout.x + 12, top - 9 * k)) << k;
    const Note& mid = note(0, 2);
    EXPECT_FALSE(hasLine(mid.layout.x, top + 45, mid.layout.x + 10, top + 45));
}

TEST_F(DrawingTest, PercussionNotesSitAtTheTopWithoutLedgersAndWithStemsUp)
{
    makeSheet(1);
    track(0).percussive = 1;
    addNote(track(0), kTypeQuarter, 12);
    addNote(track(0), kTypeQuarter, -9);
    draw();
    EXPECT_EQ(note(0, 0).layout.y, view->row(0).top);
    EXPECT_EQ(note(0, 1).layout.stemDown, 0);
    EXPECT_EQ(glyphs(kGlyphQuarterUp).size(), 2u);
    EXPECT_EQ(glyphs(kGlyphPercussionClef).size(), 1u);
    const int top = view->row(0).top;
    EXPECT_FALSE(hasLine(note(0, 0).layout.x, top + 45, note(0, 0).layout.x + 10, top + 45));
}

TEST_F(DrawingTest, MeasureNumbersAndBarLinesMarkEveryMeasure)
{
    makeSheet(2);
    addQuarters(track(0), 8);
    draw();
    const int top = view->row(0).top;
    const auto first = texts("1");
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first.front().v[0], 35 - 11);
    EXPECT_EQ(first.front().v[1], top - 18);
    EXPECT_EQ(first.front().font, (Font{14, true}));
    const auto second = texts("2");
    const auto number =
        std::find_if(second.begin(), second.end(), [](const Call& c) { return c.font.height == 12; });
    ASSERT_NE(number, second.end());
    EXPECT_EQ(number->v[0], 232 + 3);
    // The bar line of measure 2 crosses the whole system; its extent is kept for hit tests.
    const int bottom = top + 110 + 36;
    EXPECT_TRUE(hasLine(232, top, 232, bottom));
    EXPECT_EQ(view->measures(0)[2].barTop, top);
    EXPECT_EQ(view->measures(0)[2].barBottom, bottom);
    // The system end line at the staff's end, through the staff that runs on to it: track 0
    // ends after its second measure.
    EXPECT_TRUE(hasLine(35 + 930, top + 110, 35 + 930, bottom));
    EXPECT_FALSE(hasLine(35 + 930, top, 35 + 930, bottom));
}

TEST_F(DrawingTest, BeamsAreFourLinesAndSixteenthsGetASecondBeam)
{
    makeSheet(1);
    for (int line : {2, 4, 6, 8})
        addNote(track(0), kTypeSixteenth, line);
    draw();
    const int* b = note(0, 0).layout.beamLine;
    for (int k = 0; k < 4; ++k) {
        EXPECT_TRUE(hasLine(b[0], b[1] + k, b[2], b[3] + k)) << k;
        EXPECT_TRUE(hasLine(b[0], b[1] + 7 + k, b[2], b[3] + 7 + k)) << k;
    }
    for (int i = 0; i < 4; ++i) {
        const int* e = note(0, i).layout.stemExtension;
        EXPECT_TRUE(hasLine(e[0], e[1], e[2], e[3])) << i;
    }
    EXPECT_EQ(glyphs(kGlyphQuarterUp).size(), 4u); // beamed notes draw as quarters
}

TEST_F(DrawingTest, TieOnOneRowDrawsAnArcBelowStemUpNotes)
{
    makeSheet(1);
    addNote(track(0), kTypeQuarter, 1, kFlagTie);
    addNote(track(0), kTypeQuarter, 1, kFlagTie);
    draw();
    const auto arcs = canvas.callsOf(Kind::Arc);
    ASSERT_EQ(arcs.size(), 1u);
    const Note& a = note(0, 0);
    const Note& b = note(0, 1);
    const int expected[8] = {a.layout.x + 1, a.layout.y + 20, b.layout.x + 11, a.layout.y + 40,
                             a.layout.x + 6, a.layout.y + 35, b.layout.x + 6,  a.layout.y + 35};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(arcs[0].v[i], expected[i]) << i;
    EXPECT_EQ(arcs[0].pen.width, 2);
    EXPECT_TRUE(a.layout.tieValid && b.layout.tieValid);
}

TEST_F(DrawingTest, TieBetweenStemDownNotesArcsAboveThem)
{
    makeSheet(1, 0.5f);
    addNote(track(0), kTypeQuarter, -2, kFlagTie);
    addNote(track(0), kTypeQuarter, -2, kFlagTie);
    draw();
    const auto arcs = canvas.callsOf(Kind::Arc);
    ASSERT_EQ(arcs.size(), 1u);
    const Note& a = note(0, 0);
    const Note& b = note(0, 1);
    const int expected[8] = {sc(b.layout.x + 3), sc(a.layout.y - 5), sc(a.layout.x + 13), sc(a.layout.y + 5),
                             sc(b.layout.x + 8), sc(a.layout.y),     sc(a.layout.x + 8),  sc(a.layout.y)};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(arcs[0].v[i], expected[i]) << i;
}

TEST_F(DrawingTest, TieBetweenDifferentPitchesDrawsNothingButRestsAlwaysTie)
{
    makeSheet(1);
    addNote(track(0), kTypeQuarter, 1, kFlagTie);
    addNote(track(0), kTypeQuarter, 2, kFlagTie);
    addNote(track(0), kTypeQuarter, 0, kFlagTie | kFlagRest);
    addNote(track(0), kTypeQuarter, 0, kFlagTie | kFlagRest);
    note(0, 0).layout.tieValid = 1;
    draw();
    EXPECT_FALSE(note(0, 0).layout.tieValid);
    EXPECT_TRUE(note(0, 2).layout.tieValid);
    EXPECT_EQ(canvas.callsOf(Kind::Arc).size(), 1u);
}

TEST_F(DrawingTest, TieLeavingTheRowDrawsSixtyUnitsToTheRight)
{
    makeSheet(1);
    addNote(track(0), kTypeQuarter, 1, kFlagTie);
    addNote(track(0), kTypeStaffBreak, 0);
    addNote(track(0), kTypeQuarter, 1, kFlagTie);
    draw();
    const auto arcs = canvas.callsOf(Kind::Arc);
    ASSERT_EQ(arcs.size(), 1u);
    const Note& a = note(0, 0);
    const int expected[8] = {a.layout.x + 1, a.layout.y + 20, a.layout.x + 61, a.layout.y + 40,
                             a.layout.x + 6, a.layout.y + 35, a.layout.x + 61, a.layout.y + 35};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(arcs[0].v[i], expected[i]) << i;
}

TEST_F(DrawingTest, TablatureShowsStringsAndFrets)
{
    makeSheet(1);
    track(0).drawmode = kDrawTablature;
    addNote(track(0), kTypeQuarter, -2); // E above middle C: top string, open
    addNote(track(0), kTypeQuarter, 3);  // G below middle C: the open third string
    addNote(track(0), kTypeQuarter, -6); // above the tablature's range
    draw();
    const int top = view->row(0).top;
    const auto lines = canvas.callsOf(Kind::Line);
    int tabLines = 0;
    for (const Call& c : lines)
        if (c.pen.color == Color{10, 10, 10})
            ++tabLines;
    EXPECT_EQ(tabLines, 6);
    EXPECT_EQ(texts("T").size(), 1u);
    EXPECT_EQ(texts("B").size(), 1u);
    const auto open = texts("0");
    ASSERT_EQ(open.size(), 2u);
    EXPECT_EQ(open[0].v[0], note(0, 0).layout.x);
    EXPECT_EQ(open[1].v[1], top + 2 * 9 - 9);
    EXPECT_EQ(open[0].v[1], top - 9);
    EXPECT_EQ(open[0].font, (Font{16, true}));
    EXPECT_EQ(texts(" ").size(), 1u);
    EXPECT_TRUE(glyphs(kGlyphQuarterUp).empty()); // tablature draws no note glyphs
}

TEST_F(DrawingTest, RowsAboveTheFirstVisibleRowAreNotDrawn)
{
    makeSheet(1, 1.0f, 1000, 300);
    for (int i = 0; i < 40; ++i)
        addNote(track(0), kTypeWhole, 1, 0, i == 0 ? "first" : nullptr);
    view->firstVisibleRow = 3;
    draw();
    EXPECT_EQ(view->firstVisibleRow, 3);
    EXPECT_TRUE(texts("first").empty());
    for (const Call& c : canvas.calls())
        EXPECT_GE(c.kind == Kind::Line ? std::min(c.v[1], c.v[3]) : 0, 0);
    // Row 3 is drawn at the top: its first measure is measure 13.
    EXPECT_EQ(texts("13").size(), 1u);
    EXPECT_EQ(texts("13").front().v[1], 60 - 18);
    for (const Call& c : canvas.callsOf(Kind::Glyph))
        EXPECT_GE(c.v[2], 0);
}

TEST_F(DrawingTest, PrintingLeavesOutHoverGuidesAndSelectionColours)
{
    makeSheet(1);
    layoutRows(*view);
    trackHover(view->row(0), 200, view->row(0).top - 10);
    drawSheet(*view, canvas, false);
    EXPECT_TRUE(hasLine(200, 60 - 9, 210, 60 - 9));
    EXPECT_EQ(glyphs(kGlyphGClef).front().glyphColor, GlyphColor::Selected);
    canvas.clear();
    drawSheet(*view, canvas, true);
    EXPECT_FALSE(hasLine(200, 60 - 9, 210, 60 - 9));
    EXPECT_EQ(glyphs(kGlyphGClef).front().glyphColor, GlyphColor::Normal);
}

TEST_F(DrawingTest, SelectedAndPlayingNotesTakeTheirColourSets)
{
    makeSheet(1);
    addQuarters(track(0), 3);
    note(0, 0).selected = 1;
    note(0, 1).play.sounding = 1;
    draw();
    const auto heads = canvas.callsOf(Kind::Glyph);
    std::vector<GlyphColor> colours;
    for (const Call& c : heads)
        if (c.v[0] == kGlyphQuarterUp)
            colours.push_back(c.glyphColor);
    ASSERT_EQ(colours.size(), 3u);
    EXPECT_EQ(colours[0], GlyphColor::Selected);
    EXPECT_EQ(colours[1], GlyphColor::Highlighted);
    EXPECT_EQ(colours[2], GlyphColor::Normal);
}

TEST_F(DrawingTest, TheNoteUnderThePointerIsHighlightedByTheViewAlone)
{
    makeSheet(1);
    addQuarters(track(0), 3);
    view->hoveredNoteTrack = 0;
    view->hoveredNoteIndex = 2;
    draw();
    std::vector<GlyphColor> colours;
    for (const Call& c : canvas.callsOf(Kind::Glyph))
        if (c.v[0] == kGlyphQuarterUp)
            colours.push_back(c.glyphColor);
    ASSERT_EQ(colours.size(), 3u);
    EXPECT_EQ(colours[0], GlyphColor::Normal);
    EXPECT_EQ(colours[2], GlyphColor::Highlighted);
    EXPECT_EQ(track(0).noteAt(2).play.sounding, 0) << "hovering marks nothing in the sheet";
}

TEST_F(DrawingTest, RowsFarDownAreDrawnWithTheirNotesWhenScrolledTo)
{
    // 1500 rows, each a quarter note ended by a staff break.
    makeSheet(1, 1.0f, 1000, 800);
    for (int i = 0; i < 2999; ++i)
        addNote(track(0), i % 2 ? kTypeStaffBreak : kTypeQuarter, 1, 0, i == 2998 ? "end" : nullptr);
    layoutRows(*view);
    ASSERT_EQ(view->rowsInUse, 1500);
    setFirstVisibleRow(*view, 1496);
    EXPECT_EQ(view->firstVisibleRow, view->scrollRange);
    canvas.clear();
    drawSheet(*view, canvas, false);
    // The rows from the first visible one down to the last are drawn, each with its note.
    const int shown = 1500 - view->firstVisibleRow;
    int staffLabels = 0;
    for (const Call& c : canvas.callsOf(Kind::Text))
        if (c.text == "1" && c.font.height == 20)
            ++staffLabels;
    EXPECT_EQ(staffLabels, shown);
    EXPECT_EQ(glyphs(kGlyphQuarterUp).size(), static_cast<std::size_t>(shown));
    const Note& last = note(0, 2998);
    EXPECT_EQ(last.layout.rowIndex, 1499);
    bool found = false;
    for (const Call& c : glyphs(kGlyphQuarterUp))
        found = found || (c.v[1] == last.layout.zoomX && c.v[2] == last.layout.zoomY);
    EXPECT_TRUE(found);
    EXPECT_EQ(texts("end").size(), 1u);
}

TEST_F(DrawingTest, RowsBeyondWhatSixteenBitPlacesReachAreNotDrawnInAHugeWindow)
{
    makeSheet(1, 1.0f, 1000, 100000);
    for (int i = 0; i < 1500; ++i)
        addNote(track(0), i % 2 ? kTypeStaffBreak : kTypeQuarter, 1);
    draw();
    for (const Call& c : canvas.callsOf(Kind::Glyph))
        EXPECT_LE(c.v[2], kMaxDrawnRowTop + 100);
    int staffLabels = 0;
    for (const Call& c : canvas.callsOf(Kind::Text))
        if (c.text == "1" && c.font.height == 20)
            ++staffLabels;
    EXPECT_EQ(staffLabels, (kMaxDrawnRowTop - 60) / kRowPitch + 1);
}

TEST_F(DrawingTest, SheetWithoutTracksDrawsNothing)
{
    makeSheet(1);
    sheet->removeAllTracks();
    draw();
    EXPECT_TRUE(canvas.calls().empty());
}

} // namespace
} // namespace tonvela
