// Accidentals by the rules of engraving: a head shows what its pitch needs against the key and
// the heads before it at its staff position in the measure, a courtesy sign after the bar line
// unless a tie carries the pitch over, and nothing the key or the measure already says.

#include "editor/accidental_rules.h"
#include "editor/example_sheets.h"
#include "editor/layout.h"
#include "editor/sheet_view_state.h"

#include <gtest/gtest.h>

#include <vector>

namespace tonvela {
namespace {

using testing::addNote;

class AccidentalRulesTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        sheet = testing::sheetWithTracks(1);
        view = std::make_unique<SheetViewState>(*sheet);
        view->setClientSize(1000, 800);
    }
    Track& track() { return *sheet->trackAt(0); }
    std::vector<int> shown()
    {
        layoutRows(*view);
        std::vector<int> out;
        for (int i = 0; i < track().count; ++i)
            out.push_back(view->noteLayout(0, i).accidental);
        return out;
    }
    std::unique_ptr<SheetDocument> sheet;
    std::unique_ptr<SheetViewState> view;
};

// Staff positions of the G clef staff (0 the third space, positive lower): F in the first
// space, G on the second line, B on the middle line.
constexpr int kF = 4;
constexpr int kG = 3;
constexpr int kB = 1;

TEST_F(AccidentalRulesTest, AnFSharpAfterAnFNaturalInTheMeasureShowsItsSharpInGMajor)
{
    track().setKeyIndex(6); // G major: F sharp in the key
    ASSERT_EQ(keySignatureMarks(track()).count, 1);
    ASSERT_EQ(keySignatureMarks(track()).marks[0].accidental, 1);
    addNote(track(), kTypeQuarter, kF, kFlagNatural); // F natural
    addNote(track(), kTypeQuarter, kF);               // F sharp by the key, no mark in the file
    addNote(track(), kTypeQuarter, kF);               // F sharp again: the measure says it
    addNote(track(), kTypeQuarter, kG);
    EXPECT_EQ(shown(), (std::vector<int>{kShowNatural, kShowSharp, kShowNoAccidental, kShowNoAccidental}));
}

TEST_F(AccidentalRulesTest, MarksTheKeyOrTheMeasureAlreadySayShowNothing)
{
    track().setKeyIndex(6);                           // G major
    addNote(track(), kTypeQuarter, kF, kFlagSharp);   // a sharp the key already gives
    addNote(track(), kTypeQuarter, kG, kFlagNatural); // G natural in G major: nothing to cancel
    addNote(track(), kTypeQuarter, kF);
    addNote(track(), kTypeQuarter, kF, kFlagSharp);
    EXPECT_EQ(shown(), (std::vector<int>(4, kShowNoAccidental)));
}

TEST_F(AccidentalRulesTest, TheBarLineCancelsAndACourtesySignRemindsUnlessATieCarriesThePitch)
{
    // C major: F sharp in measure 1, plain F in measure 2 (a courtesy natural), F sharp again
    // in measure 3 (the bar line cancelled measure 2's natural, and it shows again).
    addNote(track(), kTypeWhole, kF, kFlagSharp);
    addNote(track(), kTypeWhole, kF);
    addNote(track(), kTypeWhole, kF, kFlagSharp);
    // A tie carries F sharp over the next bar line: no sign on the tied note.
    addNote(track(), kTypeWhole, kF, kFlagSharp | kFlagTie);
    addNote(track(), kTypeWhole, kF, kFlagSharp | kFlagTie);
    EXPECT_EQ(shown(),
              (std::vector<int>{kShowSharp, kShowNatural, kShowSharp, kShowSharp, kShowNoAccidental}));
}

TEST_F(AccidentalRulesTest, ThePositionCountsNotTheLetter)
{
    // F sharp, then the F an octave higher: a different position shows its own sign.
    addNote(track(), kTypeQuarter, kF, kFlagSharp);
    addNote(track(), kTypeQuarter, kF - 7, kFlagSharp);
    addNote(track(), kTypeQuarter, kF - 7);
    addNote(track(), kTypeQuarter, kG);
    EXPECT_EQ(shown(), (std::vector<int>{kShowSharp, kShowSharp, kShowNatural, kShowNoAccidental}));
}

TEST_F(AccidentalRulesTest, FlatsOfAFlatKeyShowNothingAndANaturalCancelsThem)
{
    track().setKeyIndex(9); // B flat major (as the example sheets use it)
    ASSERT_EQ(keySignatureWidth(track()), 16);
    addNote(track(), kTypeQuarter, kB);
    addNote(track(), kTypeQuarter, kB, kFlagNatural);
    addNote(track(), kTypeQuarter, kB, kFlagFlat);
    addNote(track(), kTypeQuarter, kB, kFlagFlat);
    EXPECT_EQ(shown(), (std::vector<int>{kShowNoAccidental, kShowNatural, kShowFlat, kShowNoAccidental}));
}

} // namespace
} // namespace tonvela
