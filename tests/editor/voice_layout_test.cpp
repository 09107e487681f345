// Two voices on a staff as the sheet draws them: each voice on its side of the staff in a
// measure that holds both, shared columns for notes that start together, beams and ties within
// a voice, rests moved aside; a measure of voice 1 alone keeps the usual rules.

#include "editor/example_sheets.h"
#include "editor/layout.h"
#include "editor/sheet_view_state.h"

#include <gtest/gtest.h>

namespace tonvela {
namespace {

using testing::addNote;

class VoiceLayoutTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        sheet = testing::sheetWithTracks(1);
        view = std::make_unique<SheetViewState>(*sheet);
        view->setClientSize(1200, 800);
    }
    Track& track() { return *sheet->trackAt(0); }
    int add(int type, int line, uint8_t voice = kVoice1, int flags = 0)
    {
        const int i = addNote(track(), type, line, flags);
        track().noteAt(i).voice = voice;
        return i;
    }
    const NoteLayout& at(int i) const { return view->noteLayout(0, i); }
    std::unique_ptr<SheetDocument> sheet;
    std::unique_ptr<SheetViewState> view;
};

TEST_F(VoiceLayoutTest, EachVoiceStemsToItsSideOnlyWhereBothArePresent)
{
    // Measure 1: a high voice 1 (its stem would turn down alone) over a low voice 2 (its stem
    // would stay up alone). Measure 2: the same high note with voice 1 alone.
    const int high = add(kTypeHalf, -9);
    const int low = add(kTypeHalf, 0, kVoice2);
    const int high2 = add(kTypeHalf, -9);
    const int low2 = add(kTypeHalf, 0, kVoice2);
    const int alone = add(kTypeWhole, -9);
    layoutRows(*view);
    EXPECT_EQ(at(high).stemDown, 0);
    EXPECT_EQ(at(high2).stemDown, 0);
    EXPECT_EQ(at(low).stemDown, 1);
    EXPECT_EQ(at(low2).stemDown, 1);
    EXPECT_EQ(at(alone).measureIndex, 1);
    const int alsoAlone = add(kTypeHalf, -9);
    layoutRows(*view);
    EXPECT_EQ(at(alsoAlone).stemDown, 1) << "a measure of one voice keeps the usual stem rule";
}

TEST_F(VoiceLayoutTest, NotesThatStartTogetherShareAColumnAndTheRestKeepTheirTimeOrder)
{
    const int a = add(kTypeHalf, -4);            // 0
    const int b = add(kTypeQuarter, 2, kVoice2); // 0
    const int c = add(kTypeQuarter, 2, kVoice2); // 1 beat
    const int d = add(kTypeHalf, -4);            // 2 beats
    const int e = add(kTypeHalf, 2, kVoice2);    // 2 beats
    layoutRows(*view);
    EXPECT_EQ(at(b).x, at(a).x);
    EXPECT_EQ(at(e).x, at(d).x);
    EXPECT_GT(at(c).x, at(a).x);
    EXPECT_LT(at(c).x, at(d).x);
    EXPECT_EQ(at(a).measureIndex, at(e).measureIndex);
}

TEST_F(VoiceLayoutTest, ColumnsAreSpacedByTimeNotByTheSlotsOfNotesThatJoinedThem)
{
    // GIVEN four quarters of voice 1 over a whole note of voice 2: the whole note joins the
    // first column and must leave no gap after it
    const int q0 = add(kTypeQuarter, -4);
    add(kTypeWhole, 2, kVoice2);
    const int q1 = add(kTypeQuarter, -3);
    const int q2 = add(kTypeQuarter, -2);
    const int q3 = add(kTypeQuarter, -1);
    // AND in measure 2 a half and two quarters of voice 1 over four quarters of voice 2
    const int h = add(kTypeHalf, -4);
    const int v0 = add(kTypeQuarter, 2, kVoice2);
    const int v1 = add(kTypeQuarter, 2, kVoice2);
    const int r1 = add(kTypeQuarter, -4);
    const int v2 = add(kTypeQuarter, 2, kVoice2);
    const int r2 = add(kTypeQuarter, -4);
    const int v3 = add(kTypeQuarter, 2, kVoice2);
    layoutRows(*view);
    ASSERT_EQ(at(q0).measureIndex, at(q3).measureIndex);
    ASSERT_EQ(at(h).measureIndex, at(v3).measureIndex);
    ASSERT_NE(at(q0).measureIndex, at(h).measureIndex);

    // THEN the quarters of measure 1 stand evenly, within a unit of rounding
    const int step = at(q1).x - at(q0).x;
    EXPECT_GT(step, 0);
    EXPECT_NEAR(at(q2).x - at(q1).x, step, 1);
    EXPECT_NEAR(at(q3).x - at(q2).x, step, 1);
    // AND in measure 2 every beat is a column of both voices, evenly spaced, since something
    // starts on each
    EXPECT_EQ(at(v0).x, at(h).x);
    EXPECT_EQ(at(v2).x, at(r1).x);
    EXPECT_EQ(at(v3).x, at(r2).x);
    const int beat = at(v1).x - at(v0).x;
    EXPECT_NEAR(at(v2).x - at(v1).x, beat, 1);
    EXPECT_NEAR(at(v3).x - at(v2).x, beat, 1);
}

TEST_F(VoiceLayoutTest, ALongerTimeToTheNextColumnGetsMoreRoomButLessThanItsLength)
{
    // A half then two quarters in voice 1 over a whole note of voice 2: the half's column gets
    // about 1.4 times the room of a quarter's, not twice.
    const int h = add(kTypeHalf, -4);
    add(kTypeWhole, 2, kVoice2);
    const int q1 = add(kTypeQuarter, -3);
    const int q2 = add(kTypeQuarter, -2);
    layoutRows(*view);
    const double half = at(q1).x - at(h).x;
    const double quarter = at(q2).x - at(q1).x;
    ASSERT_GT(quarter, 0);
    EXPECT_NEAR(half / quarter, 1.4, 0.1);
}

TEST_F(VoiceLayoutTest, BeamsJoinTheEighthsOfOneVoiceOnly)
{
    // Beat 1: two eighths in each voice, interleaved in the array as their times fall.
    const int a1 = add(kTypeEighth, -5);
    const int b1 = add(kTypeEighth, 1, kVoice2);
    const int a2 = add(kTypeEighth, -5);
    const int b2 = add(kTypeEighth, 1, kVoice2);
    add(kTypeQuarter, -5, kVoice1, 0);
    add(kTypeHalf, -5);
    add(kTypeQuarter, 1, kVoice2);
    add(kTypeHalf, 1, kVoice2);
    layoutRows(*view);
    EXPECT_EQ(at(a1).beamCount, 1);
    EXPECT_EQ(at(b1).beamCount, 1);
    EXPECT_TRUE(at(a2).beamed);
    EXPECT_TRUE(at(b2).beamed);
    // Voice 1's beam above (stems up), voice 2's below.
    EXPECT_LT(at(a1).beamLine[1], at(a1).y);
    EXPECT_GT(at(b1).beamLine[1], at(b1).y);
    EXPECT_EQ(at(a1).beamLine[2], at(a2).x + 12);
    EXPECT_EQ(at(b1).beamLine[2], at(b2).x + 4);
}

TEST_F(VoiceLayoutTest, RestsOfTwoVoicesMoveApart)
{
    const int r1 = add(kTypeQuarter, 0, kVoice1, kFlagRest);
    const int r2 = add(kTypeQuarter, 0, kVoice2, kFlagRest);
    add(kTypeHalf, -4);
    add(kTypeQuarter, -4);
    add(kTypeHalf, 2, kVoice2);
    add(kTypeQuarter, 2, kVoice2);
    const int lone = add(kTypeQuarter, 0, kVoice1, kFlagRest); // measure 2, voice 1 alone
    layoutRows(*view);
    const int top = at(lone).y - view->row(at(lone).rowIndex).top;
    EXPECT_EQ(at(r1).y - view->row(at(r1).rowIndex).top, top - kStaffSpacing);
    EXPECT_EQ(at(r2).y - view->row(at(r2).rowIndex).top, top + kStaffSpacing);
}

TEST_F(VoiceLayoutTest, ATieJoinsTheNextNoteOfItsOwnVoice)
{
    const int a = add(kTypeHalf, 2, kVoice2, kFlagTie);
    (void)a;
    add(kTypeQuarter, -4, kVoice1, kFlagTie);
    add(kTypeQuarter, -3, kVoice1, kFlagTie); // a different pitch: no tie from voice 1
    const int b = add(kTypeHalf, 2, kVoice2, kFlagTie);
    add(kTypeHalf, -4);
    layoutRows(*view);
    // Array: 0 (v2 half at 0), 1 (v1 at 0), 2 (v1 at 1), 3 (v2 half at 2), 4 (v1 at 2).
    ASSERT_EQ(view->layout().track(0)->ties.size(), 1u);
    EXPECT_EQ(view->layout().track(0)->ties[0].from, 0);
    EXPECT_EQ(view->layout().track(0)->ties[0].to, b);
}

} // namespace
} // namespace tonvela
