#include "drawing/recording_canvas.h"
#include "editor/example_sheets.h"
#include "editor/glyphs.h"
#include "editor/layout.h"
#include "editor/sheet_drawing.h"
#include "editor/sheet_view_state.h"
#include "score/staff_kind.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>

namespace tonvela {
namespace {

using Kind = RecordingCanvas::Kind;
using Call = RecordingCanvas::Call;

// A drum staff drawn through the recording canvas: each drum at its place on the staff, cross
// heads where drummers read them, rests at the middle.
class DrumStaffTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        sheet = testing::sheetWithTracks(2);
        view = std::make_unique<SheetViewState>(*sheet);
        view->setClientSize(1000, 800);
        setStaffKind(drums(), StaffKind::Percussion);
    }
    Track& drums() { return *sheet->trackAt(0); }
    // A drum note whose stored staff position says nothing about where it is drawn.
    int addDrum(int key, int type = kTypeQuarter, int storedLine = 0)
    {
        const int i = testing::addNote(drums(), type, storedLine);
        drums().noteAt(i).midi = static_cast<int8_t>(key);
        return i;
    }
    void draw()
    {
        layoutRows(*view);
        canvas.clear();
        drawSheet(*view, canvas, false);
    }
    const NoteLayout& at(int i) const { return view->noteLayout(0, i); }
    int top() const { return view->row(0).top; }
    // The note's own glyph as drawn: its id, and the y of its head's centre.
    std::optional<Call> glyphOf(int i) const
    {
        for (const Call& c : canvas.callsOf(Kind::Glyph))
            if (c.v[1] == at(i).x && c.v[2] == at(i).y - view->scrollTop() && c.v[0] != kGlyphDot)
                return c;
        return std::nullopt;
    }
    double headY(int i) const
    {
        const std::optional<Call> c = glyphOf(i);
        return c ? c->v[2] + (at(i).stemDown == 1 ? kHeadDownY : kHeadUpY) : -1000;
    }
    // The staff step whose line or space passes through sheet y.
    double stepAt(double y) const { return -3 + 2.0 * (y - top()) / kStaffSpacing; }
    std::vector<int> ledgersNear(int i) const
    {
        std::vector<int> ys;
        const double centre = at(i).x + kHeadUpX;
        for (const Call& c : canvas.callsOf(Kind::Line))
            if (c.v[1] == c.v[3] && c.pen == DrawTools::forZoom(1.0f).ledger &&
                std::abs((c.v[0] + c.v[2]) / 2.0 - centre) < 6)
                ys.push_back(c.v[1]);
        return ys;
    }

    std::unique_ptr<SheetDocument> sheet;
    std::unique_ptr<SheetViewState> view;
    RecordingCanvas canvas{1000, 800};
};

TEST_F(DrumStaffTest, EachDrumStandsAtItsPlaceWithStemsUp)
{
    const int kick = addDrum(36);
    const int snare = addDrum(38);
    const int hat = addDrum(42);
    const int crash = addDrum(49);
    const int floorTom = addDrum(41);
    draw();
    for (int i : {kick, snare, hat, crash, floorTom}) {
        ASSERT_TRUE(glyphOf(i).has_value()) << i;
        EXPECT_EQ(at(i).stemDown, 0) << i;
    }
    // Bass drum below snare below hi-hat, each head centred on its line or space.
    EXPECT_GT(headY(kick), headY(snare));
    EXPECT_GT(headY(snare), headY(hat));
    EXPECT_NEAR(stepAt(headY(kick)), 4, 0.5);  // bottom space
    EXPECT_NEAR(stepAt(headY(snare)), 0, 0.5); // third space
    EXPECT_NEAR(stepAt(headY(hat)), -4, 0.5);  // above the top line
    EXPECT_NEAR(stepAt(headY(crash)), -5, 0.5);
    EXPECT_NEAR(stepAt(headY(floorTom)), 3, 0.5);
    // The crash alone leaves the staff: one ledger line above it.
    EXPECT_EQ(ledgersNear(crash), std::vector<int>{top() - kStaffSpacing});
    for (int i : {kick, snare, hat, floorTom})
        EXPECT_TRUE(ledgersNear(i).empty()) << i;
}

TEST_F(DrumStaffTest, HiHatsAndCymbalsTakeCrossHeadsDrumsPlainOnes)
{
    const int kick = addDrum(36);
    const int snare = addDrum(38);
    const int hat = addDrum(42, kTypeEighth);
    const int ride = addDrum(51);
    const int halfHat = addDrum(46, kTypeHalf);
    const int wholeCrash = addDrum(49, kTypeWhole);
    draw();
    EXPECT_EQ(glyphOf(kick)->v[0], kGlyphQuarterUp);
    EXPECT_EQ(glyphOf(snare)->v[0], kGlyphQuarterUp);
    EXPECT_EQ(glyphOf(hat)->v[0], kGlyphEighthUp + kCrossHeadOffset);
    EXPECT_EQ(glyphOf(ride)->v[0], kGlyphCrossQuarterUp);
    EXPECT_EQ(glyphOf(halfHat)->v[0], kGlyphHalfUp + kCrossHeadOffset);
    EXPECT_EQ(glyphOf(wholeCrash)->v[0], kGlyphCrossWholeNote);
}

TEST_F(DrumStaffTest, RestsStandAtTheMiddleAsOnAStaffOfNotes)
{
    // The same rests on the drum staff and on the G clef staff below it.
    Track& notes = *sheet->trackAt(1);
    for (int type : {kTypeQuarter, kTypeEighth, kTypeHalf}) {
        addDrum(38, type, -9);
        drums().noteAt(drums().count - 1).dwFlag = kFlagRest;
        testing::addNote(notes, type, -9, kFlagRest);
    }
    draw();
    const int drumTop = view->row(0).top, noteTop = view->row(1).top;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(at(i).y - drumTop, view->noteLayout(1, i).y - noteTop) << i;
        EXPECT_EQ(at(i).crossHead, 0) << i;
    }
    EXPECT_EQ(at(0).y - drumTop, 5); // the quarter rest's height on every staff
}

TEST_F(DrumStaffTest, AKeyNoDrumHasKeepsItsStoredPlace)
{
    const int odd = addDrum(20, kTypeQuarter, 2); // second space
    const int high = addDrum(90, kTypeQuarter, -7);
    draw();
    EXPECT_NEAR(stepAt(headY(odd)), 2, 0.5);
    EXPECT_NEAR(stepAt(headY(high)), -7, 0.5);
    EXPECT_EQ(glyphOf(odd)->v[0], kGlyphQuarterUp);
    EXPECT_EQ(ledgersNear(high).size(), 2u);
}

TEST_F(DrumStaffTest, ChangingADrumsKeyMovesItAndLayoutLeavesTheNoteAsItWas)
{
    const int i = addDrum(36);
    draw();
    const double kick = headY(i);
    const Note before = drums().noteAt(i);
    drums().noteAt(i).midi = 42;
    draw();
    EXPECT_NEAR(stepAt(headY(i)), -4, 0.5);
    EXPECT_LT(headY(i), kick);
    EXPECT_EQ(drums().noteAt(i).line, before.line);
    EXPECT_EQ(drums().noteAt(i).dwFlag, before.dwFlag);
}

TEST_F(DrumStaffTest, AClickEntersTheDrumAtTheClickedPlaceAndDrawsItThere)
{
    drums().drumKey = 46; // the open hi-hat
    layoutRows(*view);
    const StaffRow& row = view->row(0);
    const auto click = [&](int step, Note& n, NoteLayout& p) {
        n = Note{};
        n.type = kTypeQuarter;
        p = NoteLayout{};
        return placeClick(row, &drums(), n, p, row.top + (step + 3) * kStaffSpacing / 2, {});
    };
    Note n;
    NoteLayout p;
    ASSERT_TRUE(click(0, n, p).has_value());
    EXPECT_EQ(n.midi, 38);
    EXPECT_EQ(n.line, 0);
    ASSERT_TRUE(click(4, n, p).has_value());
    EXPECT_EQ(n.midi, 36);
    EXPECT_EQ(n.line, 4);
    ASSERT_TRUE(click(-4, n, p).has_value()); // the track's own hi-hat stands here
    EXPECT_EQ(n.midi, 46);
    // No drum below the pedal hi-hat: the track's drum, stored where it is drawn.
    ASSERT_TRUE(click(10, n, p).has_value());
    EXPECT_EQ(n.midi, 46);
    EXPECT_EQ(n.line, -4);
    EXPECT_NEAR(-3 + 2.0 * (p.y + kHeadUpY - row.top) / kStaffSpacing, -4, 0.5);
}

} // namespace
} // namespace tonvela
