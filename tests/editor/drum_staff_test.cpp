#include "drawing/recording_canvas.h"
#include "editor/example_sheets.h"
#include "editor/glyphs.h"
#include "editor/layout.h"
#include "editor/sheet_drawing.h"
#include "editor/sheet_view_state.h"
#include "score/staff_kind.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

namespace tonvela {
namespace {

using Kind = RecordingCanvas::Kind;
using Call = RecordingCanvas::Call;

// A drum staff (track 0, over a G clef staff) drawn through the recording canvas.
class DrumStaffTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        view->setClientSize(1000, 800);
        setStaffKind(drums(), StaffKind::Percussion);
    }
    Track& drums() { return *sheet->trackAt(0); }
    // A drum note whose stored staff position says nothing about where it is drawn.
    int addDrum(int key, int type = kTypeQuarter, int storedLine = 0, int flags = 0)
    {
        const int i = testing::addNote(drums(), type, storedLine, flags);
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
    std::optional<Call> glyphOf(int i) const
    {
        for (const Call& c : canvas.callsOf(Kind::Glyph))
            if (c.v[1] == at(i).x && c.v[2] == at(i).y && c.v[0] != kGlyphDot)
                return c;
        return std::nullopt;
    }
    // The staff step through the head's centre (top line -3, half a space a step).
    double stepOf(int i) const
    {
        const std::optional<Call> c = glyphOf(i);
        return c ? -3 + 2.0 * (c->v[2] + kHeadUpY - top()) / kStaffSpacing : 1000;
    }
    int ledgers(int i) const
    {
        int n = 0;
        for (const Call& c : canvas.callsOf(Kind::Line))
            n += c.v[1] == c.v[3] && c.pen == DrawTools::forZoom(1.0f).ledger &&
                 std::abs((c.v[0] + c.v[2]) / 2.0 - at(i).x - kHeadUpX) < 6;
        return n;
    }

    std::unique_ptr<SheetDocument> sheet = testing::sheetWithTracks(2);
    std::unique_ptr<SheetViewState> view = std::make_unique<SheetViewState>(*sheet);
    RecordingCanvas canvas{1000, 800};
};

TEST_F(DrumStaffTest, EachDrumStandsAtItsPlaceWithItsHeadAndItsStemUp)
{
    struct Drum {
        int key, type;
        double step;
        int glyph, ledgers;
    };
    const Drum kit[] = {
        {36, kTypeQuarter, 4, kGlyphQuarterUp, 0},                   // bass drum: bottom space
        {38, kTypeQuarter, 0, kGlyphQuarterUp, 0},                   // snare: third space
        {42, kTypeEighth, -4, kGlyphEighthUp + kCrossHeadOffset, 0}, // hi-hat: above the staff
        {49, kTypeWhole, -5, kGlyphCrossWholeNote, 1},               // crash: on a ledger line
        {46, kTypeHalf, -4, kGlyphHalfUp + kCrossHeadOffset, 0},     // open hi-hat, ringed
        {41, kTypeQuarter, 3, kGlyphQuarterUp, 0},                   // floor tom: second line
        {20, kTypeQuarter, 2, kGlyphQuarterUp, 0},                   // no drum: its stored place
    };
    for (const Drum& d : kit)
        addDrum(d.key, d.type, d.key == 20 ? 2 : -9);
    draw();
    for (int i = 0; i < drums().count; ++i) {
        const Drum& d = kit[i];
        ASSERT_TRUE(glyphOf(i).has_value()) << d.key;
        EXPECT_EQ(glyphOf(i)->v[0], d.glyph) << d.key;
        EXPECT_NEAR(stepOf(i), d.step, d.type == kTypeWhole ? 0.6 : 0.5) << d.key;
        EXPECT_EQ(ledgers(i), d.ledgers) << d.key;
        EXPECT_EQ(at(i).stemDown, 0) << d.key;
    }
}

TEST_F(DrumStaffTest, RestsStandAtTheMiddleAsOnAStaffOfNotes)
{
    for (int type : {kTypeQuarter, kTypeEighth, kTypeHalf}) {
        addDrum(38, type, -9, kFlagRest);
        testing::addNote(*sheet->trackAt(1), type, -9, kFlagRest);
    }
    draw();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(at(i).y - top(), view->noteLayout(1, i).y - view->row(1).top) << i;
    EXPECT_EQ(at(0).y - top(), 5); // the quarter rest's height on every staff
}

TEST_F(DrumStaffTest, ANewDrumKeyMovesTheNoteWhileLayoutLeavesItAsItWas)
{
    const int i = addDrum(36);
    draw();
    drums().noteAt(i).midi = 42; // as the "Drum:" list sets it
    const Note before = drums().noteAt(i);
    draw();
    EXPECT_NEAR(stepOf(i), -4, 0.5);
    EXPECT_EQ(drums().noteAt(i).line, before.line);
    EXPECT_EQ(drums().noteAt(i).dwFlag, before.dwFlag);
}

TEST_F(DrumStaffTest, AClickEntersTheDrumAtTheClickedPlaceStoredWhereItIsDrawn)
{
    drums().drumKey = 46; // the open hi-hat
    layoutRows(*view);
    const StaffRow& row = view->row(0);
    const auto click = [&](int step) {
        Note n;
        n.type = kTypeQuarter;
        NoteLayout p;
        EXPECT_TRUE(placeClick(row, &drums(), n, p, row.top + (step + 3) * kStaffSpacing / 2, {}));
        EXPECT_EQ(p.stemDown, 0) << step;
        EXPECT_NEAR(-3 + 2.0 * (p.y + kHeadUpY - row.top) / kStaffSpacing, n.line, 0.5) << step;
        return std::pair<int, int>{n.midi, n.line};
    };
    EXPECT_EQ(click(0), (std::pair<int, int>{38, 0}));
    EXPECT_EQ(click(4), (std::pair<int, int>{36, 4}));
    EXPECT_EQ(click(-4), (std::pair<int, int>{46, -4})); // the track's own hi-hat stands here
    EXPECT_EQ(click(10), (std::pair<int, int>{46, -4})); // no drum here: the track's drum
}

} // namespace
} // namespace tonvela
