// Rests, key signatures and bar lines as a music reader expects them, checked on the calls the
// drawing makes.

#include "drawing/recording_canvas.h"
#include "editor/engraving_marks.h"
#include "editor/example_sheets.h"
#include "editor/glyphs.h"
#include "editor/layout.h"
#include "editor/sheet_drawing.h"
#include "editor/sheet_view_state.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tonvela {
namespace {

using testing::addNote;
using testing::addQuarters;
using Kind = RecordingCanvas::Kind;
using Call = RecordingCanvas::Call;

class EngravingMarksTest : public ::testing::Test {
  protected:
    // A window 1000 wide: four measures of 232 units a row at zoom 1.
    void makeSheet(int tracks, float zoom = 1.0f)
    {
        sheet = testing::sheetWithTracks(tracks);
        sheet->zoomamount = zoom;
        sheet->selectedTrack = -1;
        view = std::make_unique<SheetViewState>(*sheet);
        view->setClientSize(1000, 800);
    }
    void draw()
    {
        layoutRows(*view);
        canvas.clear();
        drawSheet(*view, canvas, false);
    }
    Track& track(int i) { return *sheet->trackAt(i); }
    std::vector<Call> glyphs(int id) const
    {
        std::vector<Call> out;
        for (const Call& c : canvas.callsOf(Kind::Glyph))
            if (c.v[0] == id)
                out.push_back(c);
        return out;
    }
    // Vertical lines at x whose span covers y.
    int verticalLinesAt(int x, int y) const
    {
        int n = 0;
        for (const Call& c : canvas.callsOf(Kind::Line))
            if (c.v[0] == x && c.v[2] == x && std::min(c.v[1], c.v[3]) <= y && y <= std::max(c.v[1], c.v[3]))
                ++n;
        return n;
    }
    // Horizontal lines at height y; their right ends.
    std::vector<int> lineEndsAt(int y) const
    {
        std::vector<int> out;
        for (const Call& c : canvas.callsOf(Kind::Line))
            if (c.v[1] == y && c.v[3] == y && c.v[2] > c.v[0])
                out.push_back(c.v[2]);
        return out;
    }

    std::unique_ptr<SheetDocument> sheet;
    std::unique_ptr<SheetViewState> view;
    RecordingCanvas canvas{1000, 800};
};

TEST_F(EngravingMarksTest, WholeAndHalfRestsUseTheirOwnSignsAndAFullMeasureRestStandsInTheMiddle)
{
    // GIVEN measure 1: a half rest and a half note; measure 2: a whole rest alone; measure 3: a
    // quarter
    makeSheet(1);
    const int halfRest = addNote(track(0), kTypeHalf, 0, kFlagRest);
    addNote(track(0), kTypeHalf, 1);
    const int wholeRest = addNote(track(0), kTypeWhole, 0, kFlagRest);
    addQuarters(track(0), 1);
    draw();

    const StaffRow& row = view->row(0);
    const NoteLayout& half = view->noteLayout(0, halfRest);
    const NoteLayout& whole = view->noteLayout(0, wholeRest);
    // THEN each rest draws its own sign at the height the layout gives it
    const std::vector<Call> halves = glyphs(kGlyphHalfRest);
    const std::vector<Call> wholes = glyphs(kGlyphWholeRest);
    ASSERT_EQ(halves.size(), 1u);
    ASSERT_EQ(wholes.size(), 1u);
    EXPECT_EQ(halves[0].v[2], row.top + 13);
    EXPECT_EQ(wholes[0].v[2], row.top + 17);
    EXPECT_EQ(halves[0].v[1], half.x);
    EXPECT_EQ(wholes[0].v[1], whole.x);

    // AND the half rest keeps its place at the measure's start, the whole rest filling measure 2
    // stands centred between its bar lines
    const std::vector<MeasureRecord>& m = view->measures(0);
    ASSERT_EQ(whole.measureIndex, 1);
    EXPECT_EQ(half.x, row.keySigWidth + 85);
    const int middle = (m[2].x + m[3].x) / 2;
    EXPECT_NEAR(whole.x + 5.5, middle, 1.0);
    EXPECT_GT(whole.x, m[2].x + 23 + 40) << "well right of where the measure's notes start";
}

TEST_F(EngravingMarksTest, ARestFillingAThreeFourMeasureAtARowStartIsCentredAfterTheTimeSignature)
{
    makeSheet(1);
    sheet->setTimeSignatureCode(kTimeSig34);
    const int rest = addNote(track(0), kTypeHalf, 0, kFlagRest | kFlagDot);
    addQuarters(track(0), 3);
    // A quarter rest that does not fill its measure stays where it is.
    const int quarterRest = addNote(track(0), kTypeQuarter, 0, kFlagRest);
    addQuarters(track(0), 2);
    draw();
    const std::vector<MeasureRecord>& m = view->measures(0);
    const NoteLayout& r = view->noteLayout(0, rest);
    const int left = timeSignatureLeft(0) + 11;
    EXPECT_NEAR(r.x + 5.5, (left + m[2].x) / 2.0, 1.0);
    EXPECT_EQ(view->noteLayout(0, quarterRest).x, m[3].x + 23);
    // The dot moves with its rest.
    EXPECT_GT(r.dotX, r.x);
}

// Half spaces below the top line where each accidental of a full key signature stands.
struct KeyCase {
    StaffKind kind;
    int keyIndex; // 0: seven sharps, 14: seven flats
    int halfSpaces[7];
};

TEST_F(EngravingMarksTest, KeySignaturesStandOnTheirClefsLinesClearOfTheClefAndTheTimeSignature)
{
    const KeyCase cases[] = {
        // Treble: F C G D A E B / B E A D G C F.
        {StaffKind::GClef, 0, {0, 3, -1, 2, 5, 1, 4}},
        {StaffKind::GClef, 14, {4, 1, 5, 2, 6, 3, 7}},
        {StaffKind::G2Clef, 0, {0, 3, -1, 2, 5, 1, 4}},
        {StaffKind::G2Clef, 14, {4, 1, 5, 2, 6, 3, 7}},
        // Bass: a third lower on the staff.
        {StaffKind::FClef, 0, {2, 5, 1, 4, 7, 3, 6}},
        {StaffKind::FClef, 14, {6, 3, 7, 4, 8, 5, 9}},
    };
    for (const KeyCase& c : cases) {
        for (const float zoom : {1.0f, 2.0f}) {
            makeSheet(1, zoom);
            setStaffKind(track(0), c.kind);
            track(0).setKeyIndex(c.keyIndex);
            addQuarters(track(0), 4, 1);
            draw();
            const StaffRow& row = view->row(0);
            const bool sharps = c.keyIndex < 7;
            std::vector<Call> marks = glyphs(sharps ? kGlyphSharp : kGlyphFlat);
            ASSERT_EQ(marks.size(), 7u) << staffKindInfo(c.kind).name << " " << c.keyIndex;
            const double z = zoom;
            for (int k = 0; k < 7; ++k) {
                // A sharp's centre lies 10 units below its box top, a flat's belly 13.
                const double centre = marks[static_cast<std::size_t>(k)].v[2] / z + (sharps ? 10 : 13);
                EXPECT_NEAR(centre, row.top + 4.5 * c.halfSpaces[k], 1.5)
                    << "clef " << staffKindInfo(c.kind).name << " key " << c.keyIndex << " accidental " << k
                    << " zoom " << zoom;
            }
            // Left to right, each clear of the one before, all clear of the clef's reach.
            const int clef = c.kind == StaffKind::FClef ? kGlyphFClef : kGlyphGClef;
            ASSERT_EQ(glyphs(clef).size(), 1u);
            EXPECT_GT(marks[0].v[1], view->scaled(kClefRight));
            for (int k = 1; k < 7; ++k)
                EXPECT_GE(marks[static_cast<std::size_t>(k)].v[1] -
                              marks[static_cast<std::size_t>(k) - 1].v[1],
                          view->scaled(kKeyMarkPitch) - 1);
            // The time signature starts right of the last accidental's glyph (7 units wide).
            const std::vector<Call> four = glyphs(kGlyphDigit4);
            ASSERT_EQ(four.size(), 2u);
            EXPECT_GT(four[0].v[1], marks[6].v[1] + view->scaled(7));
            EXPECT_LT(four[0].v[1] + view->scaled(11), view->scaled(view->noteLayout(0, 0).x))
                << "and ends before the first note";
        }
    }
}

TEST_F(EngravingMarksTest, ATimeSignatureWithoutKeyStandsClearOfTheClef)
{
    makeSheet(1);
    addQuarters(track(0), 4);
    draw();
    const std::vector<Call> four = glyphs(kGlyphDigit4);
    ASSERT_EQ(four.size(), 2u);
    EXPECT_GT(four[0].v[1], kClefRight);
    EXPECT_TRUE(glyphs(kGlyphSharp).empty());
}

TEST_F(EngravingMarksTest, ABarNoteThatOpensAMeasureIsDrawnAsThatMeasuresOneBarLine)
{
    // GIVEN two tracks of four quarters, a bar line note, four quarters (as a hymn is written)
    makeSheet(2);
    for (int t = 0; t < 2; ++t) {
        addQuarters(track(t), 4);
        addNote(track(t), kTypeBar, 0);
        addQuarters(track(t), 4);
    }
    draw();
    const std::vector<MeasureRecord>& m = view->measures(0);
    const NoteLayout& bar = view->noteLayout(0, 4);
    ASSERT_EQ(bar.measureIndex, 1) << "the bar note opens measure 2";
    const int top = view->row(0).top;
    // THEN one line at the measure's bar line, none where the bar note itself stands
    EXPECT_GE(verticalLinesAt(m[2].x, top + 10), 1);
    EXPECT_EQ(verticalLinesAt(bar.x, top + 10), 0);
    EXPECT_NE(bar.x, m[2].x);

    // AND a selected bar note shows that one line in red
    track(0).noteAt(4).selected = 1;
    draw();
    bool red = false;
    for (const Call& c : canvas.callsOf(Kind::Line))
        red = red || (c.v[0] == m[2].x && c.v[2] == m[2].x && c.pen.color == kRed);
    EXPECT_TRUE(red);
    EXPECT_EQ(verticalLinesAt(bar.x, top + 10), 0);
}

TEST_F(EngravingMarksTest, EachTrackEndsWithAThinThickBarAndItsStaffStopsThere)
{
    // GIVEN track 0 with three measures, track 1 with six (two rows of four measures a row)
    makeSheet(2);
    addQuarters(track(0), 12);
    addQuarters(track(1), 24);
    draw();
    const int mw = view->layout().measureWidth;
    const StaffRow& r0 = view->row(0);
    const StaffRow& r1 = view->row(1);
    const int staffEnd = kStaffLeft + r0.length;

    // THEN track 0 ends where its third measure's place ends: a thin line there, a thick one
    // right of it, and its staff lines stop at the thick line
    const TrackEnd end0 = trackEnd(*view, 0);
    EXPECT_EQ(end0.row, 0);
    EXPECT_EQ(end0.thinX, 3 * mw);
    EXPECT_EQ(end0.endX, 3 * mw + kRepeatSignWidth);
    EXPECT_GE(verticalLinesAt(end0.thinX, r0.top + 20), 1);
    std::vector<Call> thick;
    for (const Call& c : canvas.callsOf(Kind::FillRect))
        if (c.fill == kBlack)
            thick.push_back(c);
    ASSERT_EQ(thick.size(), 2u) << "one final bar a track";
    EXPECT_EQ(thick[0].v[0], end0.thinX + kRepeatThickGap);
    EXPECT_EQ(thick[0].v[2], end0.endX);
    EXPECT_EQ(thick[0].v[1], r0.top);
    for (int k = 0; k < 5; ++k) {
        const std::vector<int> ends = lineEndsAt(r0.top + k * r0.spacing);
        ASSERT_FALSE(ends.empty());
        EXPECT_EQ(*std::max_element(ends.begin(), ends.end()), end0.endX) << "staff line " << k;
    }
    // AND the line at the row's end does not run down from track 0's ended staff
    ASSERT_GT(staffEnd, end0.endX);
    EXPECT_EQ(verticalLinesAt(staffEnd, r0.top + 20), 0);
    EXPECT_GE(verticalLinesAt(staffEnd, r1.top + 20), 1);

    // AND track 1's first row runs to the row's end; its second ends after measure 6
    std::vector<int> ends1 = lineEndsAt(r1.top);
    EXPECT_EQ(*std::max_element(ends1.begin(), ends1.end()), staffEnd);
    const TrackEnd end1 = trackEnd(*view, 1);
    EXPECT_EQ(end1.row, 3);
    EXPECT_EQ(end1.thinX, 2 * mw);

    // AND track 0 shows no staff, clef or time signature in the second system
    const StaffRow& r2 = view->row(2);
    EXPECT_TRUE(lineEndsAt(r2.top).empty());
    EXPECT_TRUE(lineEndsAt(r2.top + 4 * r2.spacing).empty());
    EXPECT_EQ(glyphs(kGlyphGClef).size(), 3u) << "rows 0, 1 and 3";
    EXPECT_EQ(glyphs(kGlyphDigit4).size(), 4u) << "the time signature opens the first system only";
}

TEST_F(EngravingMarksTest, BarLinesLeaveThePlaceOfAnEndedMiddleTrackOpen)
{
    // GIVEN three tracks: the middle one ends after three measures, the others run on for two
    // rows of four measures
    makeSheet(3);
    addQuarters(track(0), 32);
    addQuarters(track(1), 12);
    addQuarters(track(2), 32);
    draw();
    const int mw = view->layout().measureWidth;
    const StaffRow& top1 = view->row(0);
    const StaffRow& mid1 = view->row(1);
    const StaffRow& low1 = view->row(2);
    const StaffRow& top2 = view->row(3);
    const StaffRow& mid2 = view->row(4);
    const StaffRow& low2 = view->row(5);
    const int staffEnd = kStaffLeft + top1.length;
    ASSERT_EQ(trackEnd(*view, 1).row, 1);

    // THEN in the first system the bar line after measure 1 runs through all three staves
    const int bar1 = mw;
    EXPECT_GE(verticalLinesAt(bar1, top1.top + 20), 1);
    EXPECT_GE(verticalLinesAt(bar1, mid1.top + 20), 1);
    EXPECT_GE(verticalLinesAt(bar1, low1.top + 20), 1);
    // AND at the row's end, past the middle track's final bar, the line joins the outer staves
    // without crossing the middle one's place
    EXPECT_GE(verticalLinesAt(staffEnd, top1.top + 20), 1);
    EXPECT_GE(verticalLinesAt(staffEnd, low1.top + 20), 1);
    EXPECT_EQ(verticalLinesAt(staffEnd, mid1.top + 20), 0);
    // AND in the second system neither its opening line nor its bar lines cross the empty place
    for (const int x : {kStaffLeft, mw, 2 * mw, staffEnd}) {
        EXPECT_GE(verticalLinesAt(x, top2.top + 20), 1) << x;
        EXPECT_GE(verticalLinesAt(x, low2.top + 20), 1) << x;
        EXPECT_EQ(verticalLinesAt(x, mid2.top + 20), 0) << x;
        EXPECT_EQ(verticalLinesAt(x, (top2.top + 4 * top2.spacing + low2.top) / 2), 0) << x;
    }
}

TEST_F(EngravingMarksTest, AMeasureMarkedToRepeatEndsTheTrackWithItsRepeatSignAlone)
{
    makeSheet(1);
    addQuarters(track(0), 8);
    track(0).measureRepeats.assign({2});
    draw();
    // The closing end of the track; measure 2's opening sign stands left of its bar line.
    const int bar2 = view->scaled(view->measures(0)[2].x);
    std::vector<Call> thick;
    for (const Call& c : canvas.callsOf(Kind::FillRect))
        if (c.fill == kBlack && c.v[0] >= bar2)
            thick.push_back(c);
    ASSERT_EQ(thick.size(), 1u) << "the repeat sign, no second thick line";
    EXPECT_EQ(thick[0].v[2], trackEnd(*view, 0).endX);
}

TEST_F(EngravingMarksTest, TrailingBarNotesGiveWayToTheFinalBarAndOpenNoEmptyRow)
{
    // GIVEN four full measures (one row) and a bar note after them, which opens measure 5 on
    // the next row
    makeSheet(1);
    addQuarters(track(0), 16);
    const int bar = addNote(track(0), kTypeBar, 0);
    draw();
    ASSERT_EQ(view->noteLayout(0, bar).rowIndex, 1);
    // THEN the track ends at the first row's end, and the second row shows nothing
    const TrackEnd end = trackEnd(*view, 0);
    EXPECT_EQ(end.row, 0);
    EXPECT_EQ(end.endX, kStaffLeft + view->row(0).length);
    const StaffRow& r1 = view->row(1);
    EXPECT_TRUE(lineEndsAt(r1.top).empty());
    EXPECT_EQ(verticalLinesAt(view->noteLayout(0, bar).x, r1.top + 10), 0);
    EXPECT_EQ(glyphs(kGlyphGClef).size(), 1u);
    // The hover on the closing bar of the last measure finds the final bar.
    const std::optional<ClosingBar> closing = closingBarLine(*view, 0, 4);
    ASSERT_TRUE(closing);
    EXPECT_EQ(closing->x, end.thinX);
}

TEST_F(EngravingMarksTest, NotesKeepClearOfTheBarLineThatClosesTheirMeasure)
{
    // GIVEN crowded measures: at a row start behind a long key signature, inside a row, and at
    // a row's end, with sixteenths, eighths and quarters
    makeSheet(1, 1.0f);
    view->setClientSize(700, 800); // three measures a row
    track(0).setKeyIndex(1);       // six sharps
    for (int m = 0; m < 5; ++m) {
        for (int k = 0; k < 8; ++k)
            addNote(track(0), kTypeSixteenth, k % 5 - 2);
        addNote(track(0), kTypeEighth, 1);
        addNote(track(0), kTypeEighth, 2);
        addNote(track(0), kTypeQuarter, 0, kFlagSharp);
    }
    draw();
    const int n = track(0).count;
    for (int m = 1; m <= view->measuresInUse(0); ++m) {
        int last = -1;
        for (int i = 0; i < n; ++i)
            if (view->noteLayout(0, i).measureIndex == m - 1)
                last = i;
        ASSERT_GE(last, 0);
        const int close = closingBarX(*view, 0, m);
        EXPECT_LE(view->noteLayout(0, last).x + 16, close) << "measure " << m;
        // The glyph is drawn where the note moved to.
        const int at = view->scaled(view->noteLayout(0, last).x);
        EXPECT_TRUE(std::any_of(canvas.calls().begin(), canvas.calls().end(),
                                [at](const Call& c) { return c.kind == Kind::Glyph && c.v[1] == at; }))
            << "measure " << m;
    }
    // Notes stay in order and the measure's first note keeps its place after the bar line.
    for (int i = 1; i < n; ++i) {
        const NoteLayout& a = view->noteLayout(0, i - 1);
        const NoteLayout& b = view->noteLayout(0, i);
        if (a.rowIndex == b.rowIndex && a.measureIndex == b.measureIndex) {
            EXPECT_GT(b.x, a.x) << i;
        }
    }
    const std::vector<MeasureRecord>& rec = view->measures(0);
    EXPECT_EQ(view->noteLayout(0, rec[2].firstNote).x, rec[2].x + 23);
}

TEST_F(EngravingMarksTest, RoomyMeasuresKeepTheirPlaces)
{
    makeSheet(1);
    addQuarters(track(0), 8);
    draw();
    const std::vector<MeasureRecord>& m = view->measures(0);
    // Four quarters justified into the measure from 23 units after its bar line.
    const int w = view->noteLayout(0, 4).width;
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(view->noteLayout(0, 4 + k).x, m[2].x + 23 + k * w);
}

} // namespace
} // namespace tonvela
