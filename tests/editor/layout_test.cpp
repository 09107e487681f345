#include "editor/example_sheets.h"
#include "editor/glyphs.h"
#include "editor/layout.h"
#include "editor/sheet_drawing.h"
#include "editor/sheet_view_state.h"
#include "score/staff_kind.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <optional>
#include <random>
#include <string>

namespace tonvela {
namespace {

using testing::addNote;
using testing::addQuarters;

class LayoutTest : public ::testing::Test {
  protected:
    void makeSheet(int tracks, int clientWidth = 1000, int clientHeight = 800)
    {
        sheet = testing::sheetWithTracks(tracks);
        view = std::make_unique<SheetViewState>(*sheet);
        view->setClientSize(clientWidth, clientHeight);
    }
    Track& track(int i) { return *sheet->trackAt(i); }
    Note& note(int t, int i) { return track(t).noteAt(i); }
    // Where the view's layout put note i of track t.
    const NoteLayout& at(int t, int i) const { return view->noteLayout(t, i); }

    std::unique_ptr<SheetDocument> sheet;
    std::unique_ptr<SheetViewState> view;
};

TEST_F(LayoutTest, RowTopsFollowTheFirstVisibleRow)
{
    makeSheet(2, 1000, 300);
    for (int i = 0; i < 40; ++i)
        addNote(track(0), kTypeWhole, 1);
    layoutRows(*view);
    EXPECT_EQ(view->rowTopInWindow(0), 60);
    EXPECT_EQ(view->rowTopInWindow(1), 170);

    // Scrolling moves the window over the laid-out sheet: the rows keep their places on it.
    const std::shared_ptr<const SheetLayout> before = view->sharedLayout();
    setFirstVisibleRow(*view, 2);
    EXPECT_EQ(view->firstVisibleRow, 2);
    EXPECT_EQ(view->rowTopInWindow(2), 60);
    EXPECT_EQ(view->rowTopInWindow(0), -160);
    EXPECT_EQ(view->row(2).top, 280);
    EXPECT_EQ(view->sharedLayout(), before) << "scrolling lays nothing out";
}

TEST_F(LayoutTest, ScrollRangeCountsRowsBelowTheWindowAndClampsTheFirstRow)
{
    makeSheet(1, 1000, 500);
    for (int i = 0; i < 40; ++i) // 40 whole notes, 4 measures a row: 10 rows
        addNote(track(0), kTypeWhole, 1);
    layoutRows(*view);
    EXPECT_EQ(view->rowsInUse(), 10);
    // Rows r with r * 110 + 100 >= 500: r = 4..9.
    EXPECT_EQ(view->scrollRange, 6);
    setFirstVisibleRow(*view, 50);
    EXPECT_EQ(view->firstVisibleRow, 6);
}

TEST_F(LayoutTest, ZoomSetsTheLayoutSizeAndScaledRowValues)
{
    makeSheet(1, 1000, 800);
    sheet->zoomamount = 0.5f;
    view->updateLayoutSize();
    EXPECT_EQ(view->layoutWidth, 2000);
    EXPECT_EQ(view->layoutHeight, 1600);
    layoutRows(*view);
    EXPECT_EQ(view->row(0).top, 60);
    EXPECT_EQ(view->row(0).spacingScaled, 4);
    EXPECT_EQ(view->row(0).lengthScaled, 965);
    EXPECT_EQ(view->row(0).leftScaled, 17);

    sheet->zoomamount = 1.005f; // within 0.01 of 1: exactly the client size
    view->updateLayoutSize();
    EXPECT_EQ(view->layoutWidth, 1000);
    sheet->zoomamount = 0.1f; // below the floor the drawing uses 0.4
    view->updateLayoutSize();
    EXPECT_EQ(view->layoutWidth, 2500);
}

TEST_F(LayoutTest, NoteYFollowsStaffPositionStemAndKind)
{
    makeSheet(1);
    StaffRow row;
    row.top = 100;
    Note n;
    NoteLayout p;
    n.type = kTypeQuarter;
    n.line = 1; // middle line, stem up
    EXPECT_EQ(noteY(row, n, p), 90);
    n.line = 0;
    p.stemDown = 1;
    EXPECT_EQ(noteY(row, n, p), 108);
    n.line = -3; // top line, stem down: head near y + 6
    EXPECT_EQ(noteY(row, n, p), 94);
    n.line = 4;
    p.stemDown = 0;
    EXPECT_EQ(noteY(row, n, p), 104);
    n.type = kTypeWhole;
    n.line = 1;
    EXPECT_EQ(noteY(row, n, p), 91);

    n.dwFlag = kFlagRest;
    const std::pair<int, int> rests[] = {{kTypeQuarter, 105},      {kTypeEighth, 112}, {kTypeSixteenth, 106},
                                         {kTypeThirtySecond, 102}, {kTypeHalf, 113},   {kTypeWhole, 117}};
    for (auto [type, y] : rests) {
        n.type = type;
        p.stemDown = 1;
        EXPECT_EQ(noteY(row, n, p), y) << type;
    }
    EXPECT_EQ(p.stemDown, 0); // a whole rest clears the stem flag

    n.dwFlag = 0;
    n.type = kTypeAudioClip;
    EXPECT_EQ(noteY(row, n, p), 110);
    n.type = kTypeBar;
    EXPECT_EQ(noteY(row, n, p), 100);
    row.percussive = true; // a row of a percussion track: the snare in the third space
    n.type = kTypeQuarter;
    n.line = 9;
    n.midi = 38;
    p.stemDown = 0;
    EXPECT_EQ(noteY(row, n, p), 86); // as a stem-up note in the third space
}

TEST_F(LayoutTest, EveryLineAndSpaceTakesHalfASpaceCentredOnItAtEveryZoom)
{
    makeSheet(1);
    layoutRows(*view);
    const StaffRow& row = view->row(0);
    const int top = row.top;
    const double d = kStaffSpacing;
    EXPECT_EQ(staffStepAt(row, top), -3) << "the top line";
    EXPECT_EQ(staffStepAt(row, top + 4), -2) << "the middle of the top space";
    EXPECT_EQ(staffStepAt(row, top + 5), -2);
    EXPECT_EQ(staffStepAt(row, top + 9), -1) << "the second line";
    EXPECT_EQ(staffStepAt(row, top + 36), 5) << "the bottom line";
    EXPECT_EQ(staffStepAt(row, top - 63), -17);
    EXPECT_EQ(staffStepAt(row, top + 81), 15);
    EXPECT_FALSE(staffStepAt(row, top - 66).has_value());
    EXPECT_FALSE(staffStepAt(row, top + 84).has_value());

    // In device pixels, as the window hands them on divided by the zoom: every pixel picks the
    // step whose line or space is nearest, and every step gets as many pixels as the others.
    for (const float zoom : {0.7f, 1.0f, 1.3f, 2.0f}) {
        SCOPED_TRACE(::testing::Message() << "zoom " << zoom);
        std::map<int, int> pixels;
        for (int py = static_cast<int>(std::ceil((top - 40) * zoom)); py < (top + 60) * zoom; ++py) {
            const int y = static_cast<int>(py / static_cast<double>(zoom));
            const std::optional<int> step = staffStepAt(row, y);
            ASSERT_TRUE(step.has_value()) << py;
            const double centre = (top + (*step + 3) * d / 2) * zoom;
            EXPECT_LE(std::abs(py - centre), d / 4 * zoom + zoom + 0.5) << "pixel " << py;
            ++pixels[*step];
        }
        for (auto it = std::next(pixels.begin()); std::next(it) != pixels.end(); ++it)
            EXPECT_NEAR(it->second, d / 2 * zoom, 0.5 * zoom + 1) << "step " << it->first;
    }
}

TEST_F(LayoutTest, PlaceClickGivesThePitchOfTheNearestStep)
{
    makeSheet(1);
    layoutRows(*view);
    const StaffRow row = view->row(0);
    Note n;
    NoteLayout p;
    n.type = kTypeQuarter;
    EXPECT_EQ(placeClick(row, &track(0), n, p, row.top + 13, {}), 0);
    EXPECT_EQ(n.line, 0);
    EXPECT_FALSE(placeClick(row, &track(0), n, p, row.top + 200, {}).has_value());
}

TEST_F(LayoutTest, PlaceClickGivesPitchFlagsAndHeight)
{
    makeSheet(1);
    layoutRows(*view);
    const StaffRow row = view->row(0);
    track(0).iid = 40;
    Note n;
    NoteLayout p;
    n.type = kTypeQuarter;
    n.dwFlag = kFlagTie;
    PlacementToggles toggles;
    toggles.sharp = true;
    toggles.dot = true;
    // Band 1, second part: step 0, middle C.
    EXPECT_EQ(placeClick(row, &track(0), n, p, row.top + 3 + 9 + 2, toggles), 0);
    EXPECT_EQ(n.midi, 60);
    EXPECT_EQ(n.letter, 'C');
    EXPECT_EQ(n.iid, 40);
    EXPECT_EQ(n.dwFlag, kFlagSharp | kFlagDot); // the old tie is cleared
    EXPECT_EQ(p.stemDown, 1);                   // clicks above the third line get a stem down
    EXPECT_EQ(p.y, row.top + 8);

    Note high;
    NoteLayout highPlace;
    high.type = kTypeQuarter;
    toggles.rest = true;
    EXPECT_EQ(placeClick(row, &track(0), high, highPlace, row.top + 1, toggles), -3); // on the top line
    EXPECT_EQ(highPlace.stemDown, 1);
    EXPECT_EQ(high.dwFlag, kFlagRest | kFlagDot); // rests take no accidentals

    track(0).percussive = 1;
    track(0).drumKey = 38;
    Note drum;
    NoteLayout drumPlace;
    drum.type = kTypeQuarter;
    // The bottom space: the bass drum stands there, whatever the track's drum.
    ASSERT_TRUE(placeClick(row, &track(0), drum, drumPlace, row.top + 30, {}).has_value());
    EXPECT_EQ(drum.midi, 36);
    EXPECT_EQ(drum.line, 4);
    EXPECT_EQ(drumPlace.stemDown, 0);
    EXPECT_EQ(drumPlace.y, row.top + 4);
}

TEST_F(LayoutTest, FourQuartersFillAMeasureAndTheFifthOpensTheNext)
{
    makeSheet(1);
    addQuarters(track(0), 5);
    layoutRows(*view);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(at(0, i).measureIndex, 0);
    EXPECT_EQ(at(0, 4).measureIndex, 1);
    EXPECT_EQ(view->measuresInUse(0), 2);
    EXPECT_EQ(view->measures(0)[2].firstNote, 4);
}

TEST_F(LayoutTest, BarLineRestartsTheCountAndDotsLengthenNotes)
{
    makeSheet(1);
    addQuarters(track(0), 2);
    addNote(track(0), kTypeBar, 0);
    addQuarters(track(0), 4);
    addNote(track(0), kTypeHalf, 1, kFlagDot); // 3/4
    addNote(track(0), kTypeQuarter, 1);        // fills the measure
    addNote(track(0), kTypeQuarter, 1, kFlagDot);
    layoutRows(*view);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(at(0, i).measureIndex, 0) << i;
    EXPECT_EQ(at(0, 7).measureIndex, 1);
    EXPECT_EQ(at(0, 8).measureIndex, 1);
    EXPECT_EQ(at(0, 9).measureIndex, 2);
}

TEST_F(LayoutTest, MeasuresFlowOntoRowsAtTheMeasureWidth)
{
    makeSheet(2, 745); // 675 units of staff: 3 measures of 225
    for (int i = 0; i < 4; ++i)
        addNote(track(0), kTypeWhole, 1);
    layoutRows(*view);
    EXPECT_EQ(view->layout().measuresPerRow, 3);
    EXPECT_EQ(view->layout().measureWidth, 225);
    const auto& m = view->measures(0);
    EXPECT_EQ(m[1].x, 35);
    EXPECT_EQ(m[2].x, 225);
    EXPECT_EQ(m[3].x, 450);
    EXPECT_TRUE(m[4].startsRow);
    EXPECT_EQ(m[4].x, 35);
    EXPECT_EQ(at(0, 3).rowIndex, 2); // the track's next row is two rows down
    EXPECT_EQ(at(0, 0).x, 85);
    EXPECT_EQ(at(0, 1).x, 248); // measure x - 12 + 35
    EXPECT_EQ(at(0, 3).x, 85);
    EXPECT_EQ(view->rowsInUse(), 4);
    EXPECT_EQ(view->row(2).firstNote, 3);
    EXPECT_EQ(view->row(0).endNote, 3);
    EXPECT_EQ(view->row(0).noteCount, 3);
}

TEST_F(LayoutTest, JustificationStretchesNotesToTheirMeasure)
{
    makeSheet(1, 1000); // 930 units: 4 measures of 232
    addQuarters(track(0), 16);
    layoutRows(*view);
    // First measure: 232 - 20 - 40 = 172 over 160 units of quarters.
    EXPECT_EQ(at(0, 0).width, 43);
    EXPECT_EQ(at(0, 1).x, at(0, 0).x + 43);
    // Middle measure: 464 - 232 - 20 = 212.
    EXPECT_EQ(at(0, 4).width, 53);
    EXPECT_EQ(at(0, 4).x, 255);
    // Last measure of the row: measure width - 40 = 192.
    EXPECT_EQ(at(0, 12).width, 48);
}

TEST_F(LayoutTest, KeySignatureShiftsTheFirstNotesAndHasItsWidth)
{
    makeSheet(1);
    track(0).setKeyIndex(4); // A major: three sharps
    addQuarters(track(0), 1);
    layoutRows(*view);
    EXPECT_EQ(keySignatureWidth(track(0)), 24);
    EXPECT_EQ(view->row(0).keySigWidth, 24);
    EXPECT_EQ(at(0, 0).x, 24 + 50 + 35);
    const KeySignatureMarks marks = keySignatureMarks(track(0));
    ASSERT_EQ(marks.count, 3);
    EXPECT_EQ(marks.marks[0].step, -3);
    EXPECT_EQ(marks.marks[1].step, 0);
    EXPECT_EQ(marks.marks[2].step, -4);

    track(0).setKeyIndex(10); // E flat major
    const KeySignatureMarks flats = keySignatureMarks(track(0));
    ASSERT_EQ(flats.count, 3);
    EXPECT_EQ(flats.marks[0].step, 2);
    EXPECT_EQ(flats.marks[0].accidental, -1);
    EXPECT_EQ(flats.marks[2].step, 3);
}

TEST_F(LayoutTest, StaffBreakEndsTheRowAtOnce)
{
    makeSheet(1);
    addQuarters(track(0), 2);
    addNote(track(0), kTypeStaffBreak, 0);
    addQuarters(track(0), 2);
    layoutRows(*view);
    EXPECT_EQ(at(0, 1).rowIndex, 0);
    EXPECT_EQ(at(0, 3).rowIndex, 1);
    EXPECT_EQ(at(0, 3).x, 85);
    EXPECT_EQ(view->row(1).firstNote, 3);
    EXPECT_EQ(at(0, 3).measureIndex, 0); // a break mid-measure keeps the measure going
}

TEST_F(LayoutTest, StaffBreakAfterAFullMeasureStartsANewMeasure)
{
    makeSheet(1);
    addQuarters(track(0), 4);
    addNote(track(0), kTypeStaffBreak, 0);
    addQuarters(track(0), 4);
    layoutRows(*view);
    EXPECT_EQ(at(0, 5).rowIndex, 1);
    EXPECT_EQ(at(0, 5).measureIndex, 1);
    EXPECT_TRUE(view->measures(0)[2].startsRow);
}

TEST_F(LayoutTest, FourSixteenthsInABeatFormOneBeamGroup)
{
    makeSheet(1);
    for (int line : {2, 4, 6, 8})
        addNote(track(0), kTypeSixteenth, line);
    layoutRows(*view);
    EXPECT_EQ(at(0, 0).beamCount, 3);
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(at(0, i).beamed);
        EXPECT_FALSE(note(0, i).dwFlag & kFlagBeamed) << "the stored flags stay as they were";
        EXPECT_EQ(at(0, i).stemDown, 0);
    }
    // Horizontal at the highest note's stem tip (3.5 spaces above its head, rounded outwards),
    // from x1 + 12 to x4 + 12.
    const int tipUp = static_cast<int>(std::floor(kHeadUpY - kStemLength));
    ASSERT_EQ(tipUp, -4);
    const int32_t* beam = at(0, 0).beamLine;
    EXPECT_EQ(beam[0], at(0, 0).x + 12);
    EXPECT_EQ(beam[1], at(0, 0).y + tipUp);
    EXPECT_EQ(beam[2], at(0, 3).x + 12);
    EXPECT_EQ(beam[3], at(0, 0).y + tipUp);
}

TEST_F(LayoutTest, HighEighthsBeamWithStemsDown)
{
    makeSheet(1);
    addNote(track(0), kTypeEighth, -2);
    addNote(track(0), kTypeEighth, -4);
    layoutRows(*view);
    EXPECT_EQ(at(0, 0).beamCount, 1);
    EXPECT_EQ(at(0, 0).stemDown, 1);
    const int32_t* beam = at(0, 0).beamLine;
    EXPECT_EQ(beam[0], at(0, 0).x + 3);
    // From the lower stem's tip, 3.5 spaces below its head (rounded outwards), rising half a
    // space at most towards the higher note.
    EXPECT_EQ(beam[1], at(0, 0).y + 38);
    EXPECT_EQ(beam[2], at(0, 1).x + 4);
    EXPECT_EQ(beam[3], at(0, 0).y + 38 - kStaffSpacing / 2);
}

TEST_F(LayoutTest, TwoNoteBeamRisesFromALowFirstNote)
{
    makeSheet(1);
    addNote(track(0), kTypeEighth, 8);
    addNote(track(0), kTypeEighth, 1);
    layoutRows(*view);
    const NoteLayout& a = at(0, 0);
    ASSERT_GT(a.y - at(0, 1).y, 20);
    // The beam runs from the high note's stem tip down half a space at most to the low note
    // (drawing carries its stem on to the beam).
    EXPECT_EQ(a.beamLine[3], at(0, 1).y - 4);
    EXPECT_EQ(a.beamLine[1], at(0, 1).y - 4 + kStaffSpacing / 2);
}

TEST_F(LayoutTest, BeamsNeverCrossMeasuresKindsChordsOrWideLeaps)
{
    makeSheet(1);
    addQuarters(track(0), 2);
    addNote(track(0), kTypeQuarter, 1, kFlagDot);
    addNote(track(0), kTypeEighth, 1); // last eighth of measure 1
    addNote(track(0), kTypeEighth, 1); // first of measure 2
    addNote(track(0), kTypeSixteenth, 1);
    addNote(track(0), kTypeEighth, 1);
    const int root = addNote(track(0), kTypeEighth, 1);
    addNote(track(0), kTypeEighth, 3, 0, nullptr, root);
    addNote(track(0), kTypeQuarter, 1);
    addNote(track(0), kTypeEighth, -40);
    addNote(track(0), kTypeEighth, 20);
    layoutRows(*view);
    for (int i = 0; i < track(0).count; ++i)
        EXPECT_FALSE(at(0, i).beamed) << i;
}

TEST_F(LayoutTest, HostileNoteFieldsStayWithinBounds)
{
    makeSheet(2, 300, 200);
    Track& t = track(0);
    for (int i = 0; i < 300; ++i) {
        const int idx = addNote(t, (i % 7 == 0) ? kTypeStaffBreak : 1026 + i % 9, (i * 7919) % 65536 - 32768);
        Note& n = t.noteAt(idx);
        n.chordparent = static_cast<int16_t>((i % 5 == 0) ? idx + 3 : (i % 11 == 0 ? -7 : -1));
        n.dwFlag = i * 37;
    }
    track(1).timeSig = 12345;
    addQuarters(track(1), 400, 40);
    sheet->zoomamount = std::numeric_limits<float>::quiet_NaN();
    view->updateLayoutSize();
    layoutRows(*view);
    EXPECT_LE(view->rowsInUse(), kRowCount);
    EXPECT_LE(view->measuresInUse(0), kMeasureCount);
    EXPECT_LE(view->laidOutCount(0), t.count);
    for (int i = 0; i < view->laidOutCount(0); ++i)
        EXPECT_LT(at(0, i).rowIndex, kRowCount);
}

TEST_F(LayoutTest, LongTracksLayOutEveryNoteOnRowsAndMeasuresThatGrow)
{
    // 5000 whole notes in a narrow window: one measure a row, so 5000 rows and measures, far
    // more than a view keeps ready.
    makeSheet(1, 300);
    for (int i = 0; i < 5000; ++i)
        addNote(track(0), kTypeWhole, 1);
    layoutRows(*view);
    EXPECT_EQ(view->measuresInUse(0), 5000);
    EXPECT_EQ(view->laidOutCount(0), 5000);
    EXPECT_EQ(view->rowsInUse(), 5000);
    EXPECT_GE(view->rowCount(), 5000);
    for (int i : {0, 383, 384, 1023, 1024, 4500, 4999}) {
        EXPECT_EQ(at(0, i).rowIndex, i) << i;
        EXPECT_EQ(at(0, i).measureIndex, i) << i;
        EXPECT_EQ(at(0, i).x, at(0, 0).x) << "every row starts alike, note " << i;
        EXPECT_TRUE(view->measures(0)[static_cast<std::size_t>(i + 1)].startsRow) << i;
        EXPECT_EQ(view->row(i).firstNote, i);
        EXPECT_EQ(view->row(i).endNote, i + 1);
    }

    // The sheet shrinks again: the rows and records follow, and no stale row stays in use.
    track(0).count = 10;
    layoutRows(*view);
    EXPECT_EQ(view->rowsInUse(), 10);
    EXPECT_EQ(view->rowCount(), kRowCount);
    EXPECT_EQ(view->measuresInUse(0), 10);
}

TEST_F(LayoutTest, NotesPastTheLargestTrackAFileGivesAreLeftOut)
{
    makeSheet(1, 1000);
    addQuarters(track(0), kMaxLayoutNotes + 40);
    layoutRows(*view);
    EXPECT_EQ(view->laidOutCount(0), kMaxLayoutNotes);
    EXPECT_GE(at(0, kMaxLayoutNotes - 1).rowIndex, 0);
    EXPECT_EQ(at(0, kMaxLayoutNotes).rowIndex, -1);
}

TEST_F(LayoutTest, HoverGuidesFollowThePointerAboveAndBelow)
{
    makeSheet(1);
    layoutRows(*view);
    const StaffRow row = view->row(0);
    const SheetViewState::HoverGuide& guide = view->guide;
    EXPECT_TRUE(trackHover(*view, row, 100, row.top - 20));
    EXPECT_EQ(guide.row, 0);
    EXPECT_EQ(guide.aboveX, 100);
    EXPECT_EQ(guide.belowX, -1);
    EXPECT_FALSE(trackHover(*view, row, 100, row.top - 20));
    EXPECT_TRUE(trackHover(*view, row, 120, row.top + 50));
    EXPECT_EQ(guide.belowX, 120);
    EXPECT_EQ(guide.aboveX, -1);
    EXPECT_TRUE(trackHover(*view, row, 120, row.top + 20));
    EXPECT_EQ(guide.belowX, -1);
    EXPECT_FALSE(trackHover(*view, row, 40, row.top - 20)); // left of the guides' reach
}

TEST_F(LayoutTest, BarHoverFindsTheBarLineThatClosesEachMeasure)
{
    // 1000 wide: four measures a row; nine measures make rows of 4, 4 and 1.
    makeSheet(2);
    addQuarters(track(0), 4 * 9);
    addQuarters(track(1), 4);
    setStaffKind(track(1), StaffKind::Tablature);
    layoutRows(*view);
    const std::vector<MeasureRecord>& m = view->measures(0);
    const int top0 = view->row(0).top;
    const int rowEnd = kStaffLeft + view->row(0).length;

    // The opening bar line of measure 2 closes measure 1; it spans the system of both tracks.
    ASSERT_GT(m[2].x, 0);
    EXPECT_TRUE(hoverBarLine(*view, 0, m[2].x + 9, top0 - 4));
    EXPECT_TRUE(view->barHovered(0, 2));
    EXPECT_EQ(hoveredClosingMeasure(*view, 0), 1);
    EXPECT_TRUE(hoverBarLine(*view, 0, m[2].x - 9, view->row(1).top + 4 * kStaffSpacing + 4));
    EXPECT_FALSE(hoverBarLine(*view, 0, m[2].x + 10, top0 + 20)) << "10 to the side is off it";
    EXPECT_FALSE(hoverBarLine(*view, 0, m[2].x, top0 - 5));
    EXPECT_FALSE(view->barHovered(0, 2));
    // The first measure of a row has no bar line of its own; the row's end closes measure 4.
    EXPECT_FALSE(hoverBarLine(*view, 0, kStaffLeft, top0 + 20));
    EXPECT_TRUE(hoverBarLine(*view, 0, rowEnd + 3, top0 + 20));
    EXPECT_TRUE(view->endBarHovered(0, 4));
    EXPECT_EQ(hoveredClosingMeasure(*view, 0), 4);
    // The track's last measure, alone on the third row, closes at its final bar line where its
    // place on the row ends.
    const std::optional<ClosingBar> last = closingBarLine(*view, 0, 9);
    ASSERT_TRUE(last);
    EXPECT_TRUE(last->rowEnd);
    EXPECT_EQ(last->row, 4);
    EXPECT_EQ(last->x, std::max(view->layout().measureWidth, at(0, 35).x + kRepeatAfterNote));
    EXPECT_FALSE(hoverBarLine(*view, 0, rowEnd, view->row(4).top + 10)) << "no staff runs on there";
    EXPECT_TRUE(hoverBarLine(*view, 0, last->x, view->row(4).top + 10));
    EXPECT_EQ(hoveredClosingMeasure(*view, 0), 9);
    EXPECT_FALSE(closingBarLine(*view, 0, 10)) << "no such measure";
    // Tablature draws no bar lines.
    EXPECT_FALSE(hoverBarLine(*view, 1, rowEnd, view->row(1).top + 10));
    clearBarHover(*view, 0);
    EXPECT_EQ(hoveredClosingMeasure(*view, 0), 0);

    // Scrolled by a system, the same point of the window finds the bar of the second row:
    // measure 6 opens where measure 2 did.
    view->setClientSize(1000, 300);
    setFirstVisibleRow(*view, 2);
    ASSERT_EQ(view->firstVisibleRow, 2);
    ASSERT_EQ(m[6].x, m[2].x);
    EXPECT_TRUE(hoverBarLine(*view, 0, m[2].x, top0 + 20 + view->scrollTop()));
    EXPECT_EQ(hoveredClosingMeasure(*view, 0), 5);
}

TEST_F(LayoutTest, MarksStandBesideAndAfterTheHeadOnTheSideOfTheStem)
{
    Note n;
    NoteLayout p;
    n.type = kTypeQuarter;
    p.x = 100;
    p.y = 50;
    n.dwFlag = kFlagSharp | kFlagDot;
    placeMarks(n, p);
    EXPECT_EQ(p.accidentalX, 91);
    EXPECT_EQ(p.accidentalY, 67);
    EXPECT_EQ(p.dotX, 115);
    EXPECT_EQ(p.dotY, 75);

    p.stemDown = 1;
    n.dwFlag = kFlagFlat | kFlagNatural | kFlagDot;
    placeMarks(n, p);
    EXPECT_EQ(p.accidentalX, 91) << "flat is evaluated last and wins";
    EXPECT_EQ(p.accidentalY, 43);
    EXPECT_EQ(p.dotY, 50);

    Note r;
    NoteLayout rp;
    r.type = kTypeEighth;
    rp.x = 0;
    rp.y = 100;
    rp.stemDown = 1;
    r.dwFlag = kFlagRest | kFlagDot;
    placeMarks(r, rp);
    EXPECT_EQ(rp.dotY, 110);
}

// Two layouts of one sheet are the same when every track's rows, measures, notes, ties and end
// are, and the sheet's rows in use and measure widths.
::testing::AssertionResult sameLayout(const SheetLayout& a, const SheetLayout& b)
{
    if (a.rowsInUse != b.rowsInUse || a.trackCount != b.trackCount || a.measureWidth != b.measureWidth ||
        a.measuresPerRow != b.measuresPerRow)
        return ::testing::AssertionFailure() << "rows in use " << a.rowsInUse << " against " << b.rowsInUse;
    for (int t = 0; t < a.trackCount; ++t) {
        const TrackLayout& x = *a.track(t);
        const TrackLayout& y = *b.track(t);
        if (x.laidOut != y.laidOut || x.measuresInUse != y.measuresInUse)
            return ::testing::AssertionFailure()
                   << "track " << t << ": laid out " << x.laidOut << "/" << y.laidOut << ", measures "
                   << x.measuresInUse << "/" << y.measuresInUse;
        if (x.notes.size() != y.notes.size())
            return ::testing::AssertionFailure() << "track " << t << ": note count";
        for (std::size_t i = 0; i < x.notes.size(); ++i)
            if (!(x.notes[i] == y.notes[i]))
                return ::testing::AssertionFailure()
                       << "track " << t << " note " << i << ": x " << x.notes[i].x << "/" << y.notes[i].x
                       << " y " << x.notes[i].y << "/" << y.notes[i].y << " row " << x.notes[i].rowIndex
                       << "/" << y.notes[i].rowIndex;
        if (x.measures != y.measures)
            return ::testing::AssertionFailure() << "track " << t << ": measures";
        if (x.rows != y.rows)
            return ::testing::AssertionFailure() << "track " << t << ": rows";
        if (x.ties != y.ties)
            return ::testing::AssertionFailure() << "track " << t << ": ties";
        if (!(x.end == y.end))
            return ::testing::AssertionFailure() << "track " << t << ": end";
    }
    return ::testing::AssertionSuccess();
}

TEST_F(LayoutTest, AnEditKeepsTheLayoutOfEveryTrackItDidNotTouch)
{
    makeSheet(3);
    for (int t = 0; t < 3; ++t)
        addQuarters(track(t), 40, t);
    layoutRows(*view);
    const std::shared_ptr<const SheetLayout> before = view->sharedLayout();
    track(1).insertNote(track(1).noteAt(0), 20);
    layoutRows(*view);
    EXPECT_EQ(view->layout().track(0), before->track(0)) << "shared with the layout before";
    EXPECT_EQ(view->layout().track(2), before->track(2));
    EXPECT_NE(view->layout().track(1), before->track(1));
    EXPECT_TRUE(sameLayout(view->layout(), *layOutSheet(*sheet, view->layoutWidth, view->zoom())));
    // Nothing changed, nothing is laid out again.
    const std::shared_ptr<const SheetLayout> now = view->sharedLayout();
    layoutRows(*view);
    for (int t = 0; t < 3; ++t)
        EXPECT_EQ(view->layout().track(t), now->track(t)) << t;
}

// Layout after an edit lays out again only from where the edit may have moved something; what
// it gives must be what a layout made afresh gives, whatever the edit. Random edits of every
// kind on sheets of several tracks with chords, lyrics, bar lines and staff breaks.
TEST_F(LayoutTest, TheLayoutAfterAnyEditIsTheLayoutMadeAfresh)
{
    std::mt19937 rng(20240611);
    auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto randomNote = [&](const Track& t) {
        Note n;
        const int r = pick(100);
        n.type = r < 50   ? kTypeWhole + pick(6)
                 : r < 65 ? kTypeEighth
                 : r < 72 ? kTypeSixteenth
                 : r < 78 ? kTypeBar
                 : r < 83 ? kTypeStaffBreak
                 : r < 86 ? kTypeSpace
                 : r < 88 ? kTypeMark1743
                          : kTypeQuarter;
        n.setStaffPosition(pick(24) - 11, staffKindOf(t));
        const int f = pick(100);
        n.dwFlag = f < 8 ? kFlagRest : f < 20 ? kFlagTie : f < 28 ? kFlagDot : f < 34 ? kFlagSharp : 0;
        if (pick(100) < 20)
            n.setLyric(pick(3) == 0 ? "a very long syllable" : "la");
        return n;
    };
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        makeSheet(1 + round % 3, 700 + 150 * (round % 3));
        for (int t = 0; t < sheet->trackCount(); ++t)
            for (int i = 0; i < 60 + 30 * t; ++i)
                track(t).insertNote(randomNote(track(t)), track(t).count);
        layoutRows(*view);
        for (int step = 0; step < 150; ++step) {
            Track& t = track(pick(sheet->trackCount()));
            const int n = t.count;
            std::string what;
            switch (pick(12)) {
            case 0:
            case 1:
                what = "insert";
                t.insertNote(randomNote(t), pick(n + 1));
                break;
            case 2:
            case 3:
                if (n > 0 && t.noteAt(n - 1).chordparent == -1) {
                    what = "remove";
                    const int at = pick(n);
                    for (int k = 0; k < t.count; ++k)
                        if (t.noteAt(k).chordparent == at)
                            t.noteAt(k).chordparent = -1;
                    t.removeNote(at);
                    t.rebuildChordLists();
                }
                break;
            case 4:
                if (n > 0) {
                    what = "kind";
                    t.noteAt(pick(n)).type = randomNote(t).type;
                }
                break;
            case 5:
                if (n > 0) {
                    what = "flags and pitch";
                    Note& note = t.noteAt(pick(n));
                    const Note other = randomNote(t);
                    note.dwFlag = other.dwFlag;
                    note.setStaffPosition(other.line, staffKindOf(t));
                }
                break;
            case 6:
                if (n > 0) {
                    what = "lyric";
                    Note& note = t.noteAt(pick(n));
                    if (note.lyrictext())
                        note.clearLyric();
                    else
                        note.setLyric(pick(2) ? "syllable" : "x");
                }
                break;
            case 7:
                if (n > 0) {
                    // A member appended at the end, as chord building adds it, or one that
                    // goes away again.
                    const int root = pick(n);
                    if (t.rootOf(root) == -1 && isDurationType(t.noteAt(root).type)) {
                        what = "member";
                        Note m = randomNote(t);
                        m.type = t.noteAt(root).type;
                        m.chordparent = static_cast<int16_t>(root);
                        t.insertNote(m, t.count);
                    }
                }
                break;
            case 8:
                what = "time signature";
                t.timeSig = pick(2) ? kTimeSig34 : kTimeSig44;
                break;
            case 9:
                what = "key";
                t.setKeyIndex(pick(15));
                break;
            case 10:
                if (n > 4) {
                    what = "cut";
                    t.count = n - pick(4);
                    for (int k = 0; k < t.count; ++k)
                        if (t.noteAt(k).chordparent >= t.count)
                            t.noteAt(k).chordparent = -1;
                    t.rebuildChordLists();
                }
                break;
            default:
                what = "stored beam bit";
                if (n > 0)
                    t.noteAt(pick(n)).dwFlag ^= kFlagBeamed;
                break;
            }
            layoutRows(*view);
            ASSERT_TRUE(sameLayout(view->layout(), *layOutSheet(*sheet, view->layoutWidth, view->zoom())))
                << "after step " << step << " (" << what << ")";
        }
    }
}

} // namespace
} // namespace tonvela
