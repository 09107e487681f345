// Beams as the meter groups them: by the beat (quarters in 4/4, dotted quarters in 6/8), never
// across the middle of a 4/4 bar; two-note beams slope half a space at most; notes far off the
// staff keep stems that reach the middle line.

#include "editor/example_sheets.h"
#include "editor/layout.h"
#include "editor/sheet_view_state.h"
#include "score/time_signature.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tonvela {
namespace {

using testing::addNote;

class BeamRulesTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        sheet = testing::sheetWithTracks(1);
        view = std::make_unique<SheetViewState>(*sheet);
        view->setClientSize(1000, 800);
    }
    Track& track() { return *sheet->trackAt(0); }
    const NoteLayout& at(int i) const { return view->noteLayout(0, i); }
    // The first note of each beam group, with the number of notes it holds.
    std::vector<std::pair<int, int>> groups() const
    {
        std::vector<std::pair<int, int>> out;
        for (int i = 0; i < sheet->trackAt(0)->count; ++i)
            if (at(i).beamCount > 0)
                out.emplace_back(i, at(i).beamCount + 1);
        return out;
    }
    std::unique_ptr<SheetDocument> sheet;
    std::unique_ptr<SheetViewState> view;
};

TEST_F(BeamRulesTest, EighthsIn44BeamByTheQuarterAndNeverAcrossTheMiddle)
{
    for (int i = 0; i < 8; ++i)
        addNote(track(), kTypeEighth, 2);
    layoutRows(*view);
    EXPECT_EQ(groups(), (std::vector<std::pair<int, int>>{{0, 2}, {2, 2}, {4, 2}, {6, 2}}));
}

TEST_F(BeamRulesTest, SixteenthsIn44BeamFourToABeat)
{
    for (int i = 0; i < 8; ++i)
        addNote(track(), kTypeSixteenth, 2);
    layoutRows(*view);
    EXPECT_EQ(groups(), (std::vector<std::pair<int, int>>{{0, 4}, {4, 4}}));
}

TEST_F(BeamRulesTest, EighthsIn68BeamByTheDottedQuarter)
{
    track().timeSig = kTimeSig68;
    for (int i = 0; i < 6; ++i)
        addNote(track(), kTypeEighth, 2);
    layoutRows(*view);
    EXPECT_EQ(groups(), (std::vector<std::pair<int, int>>{{0, 3}, {3, 3}}));
}

TEST_F(BeamRulesTest, AnEighthAfterADottedQuarterBeamsWithNothingAcrossTheBeat)
{
    // Dotted quarter, eighth, eighth, eighth, half: the first eighth ends beat 2 alone; the
    // next two share beat 3.
    addNote(track(), kTypeQuarter, 2, kFlagDot);
    addNote(track(), kTypeEighth, 2);
    addNote(track(), kTypeEighth, 2);
    addNote(track(), kTypeEighth, 2);
    addNote(track(), kTypeQuarter, 2);
    layoutRows(*view);
    EXPECT_EQ(groups(), (std::vector<std::pair<int, int>>{{2, 2}}));
    EXPECT_FALSE(at(1).beamed);
}

TEST_F(BeamRulesTest, TwoNoteBeamsSlopeHalfASpaceAtMostAndStillMeetEveryStem)
{
    for (const bool up : {true, false}) {
        SCOPED_TRACE(up ? "stems up" : "stems down");
        SetUp();
        // A wide leap within one beat.
        addNote(track(), kTypeEighth, up ? 8 : -6);
        addNote(track(), kTypeEighth, up ? 2 : 0);
        layoutRows(*view);
        const NoteLayout& a = at(0);
        ASSERT_EQ(a.beamCount, 1);
        ASSERT_EQ(a.stemDown, up ? 0 : 1);
        EXPECT_LE(std::abs(a.beamLine[1] - a.beamLine[3]), kStaffSpacing / 2);
        EXPECT_NE(a.beamLine[1], a.beamLine[3]) << "it still follows the heads";
        // Each end lies beyond its stem's own tip, so the stems reach the beam.
        const int tip1 = a.y + (up ? -4 : 38), tip2 = at(1).y + (up ? -4 : 38);
        if (up) {
            EXPECT_LE(a.beamLine[1], tip1);
            EXPECT_LE(a.beamLine[3], tip2);
        } else {
            EXPECT_GE(a.beamLine[1], tip1);
            EXPECT_GE(a.beamLine[3], tip2);
        }
    }
}

TEST_F(BeamRulesTest, BeamsOfNotesFarOffTheStaffReachTheMiddleLine)
{
    for (const bool above : {true, false}) {
        SCOPED_TRACE(above ? "far above" : "far below");
        SetUp();
        for (int i = 0; i < 4; ++i)
            addNote(track(), kTypeSixteenth, above ? -14 - i : 16 + i);
        layoutRows(*view);
        const NoteLayout& a = at(0);
        ASSERT_EQ(a.beamCount, 3);
        const int middle = view->row(0).top + 2 * kStaffSpacing;
        if (above) {
            EXPECT_GE(a.beamLine[1], middle);
            EXPECT_GE(a.beamLine[3], middle);
        } else {
            EXPECT_LE(a.beamLine[1], middle);
            EXPECT_LE(a.beamLine[3], middle);
        }
    }
}

} // namespace
} // namespace tonvela
