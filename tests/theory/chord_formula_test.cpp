#include "theory/chord_formula.h"
#include "theory/pitch.h"

#include <gtest/gtest.h>

namespace tonvela {
namespace {

class ChordFormulaTest : public ::testing::Test {
  protected:
    static int root(const char* name) { return chordRootIndex(name); }
    static int quality(const char* name) { return chordQualityIndex(name); }
};

TEST_F(ChordFormulaTest, Dom13OnCGivesSevenPitchesWithFlatSeventhAsOneToken)
{
    EXPECT_EQ(chordPitches(root("C"), quality("dom13")), "CEG1DFA");
    EXPECT_EQ(pitchDisplayText(chordPitches(root("C"), quality("dom7"))), "C  E  G  A# ");
}

TEST_F(ChordFormulaTest, Dim7OnATakesTheSixthDegreeOfTheMajorScale)
{
    EXPECT_EQ(chordPitches(root("A"), quality("dim7")), "AC34");
}

TEST_F(ChordFormulaTest, MinorAndRaisedFifthStepTheScaleDegree)
{
    EXPECT_EQ(chordPitches(root("A"), quality("minor")), "ACE");
    EXPECT_EQ(chordPitches(root("C"), quality("aug")), "CE5");
    EXPECT_EQ(chordPitches(root("C"), quality("dom7b10")), "CEG13"); // b10 is a flat third
    EXPECT_EQ(chordPitches(root("B"), quality("maj")), "B34");       // walks over B to C
}

TEST_F(ChordFormulaTest, EveryFormulaYieldsOnePitchPerTokenOnEveryRoot)
{
    for (int q = 0; q < kChordQualityCount; ++q) {
        std::size_t tokens = 0;
        for (char c : std::string_view(chordFormulaTable()[static_cast<std::size_t>(q)].formula))
            tokens += (c != 'b' && c != 's') ? 1 : 0;
        for (int r = 0; r < kChordRootCount; ++r) {
            const std::string p = chordPitches(r, q);
            EXPECT_EQ(p.size(), tokens) << chordFormulaTable()[static_cast<std::size_t>(q)].name;
            EXPECT_EQ(p[0], kChromaticFromA[static_cast<std::size_t>(r)]);
            for (char c : p)
                EXPECT_GE(pitchClassIndex(c), 0);
        }
    }
}

TEST_F(ChordFormulaTest, IndicesOutsideTheTablesGiveNoPitches)
{
    EXPECT_EQ(chordPitches(-1, 0), "");
    EXPECT_EQ(chordPitches(12, 0), "");
    EXPECT_EQ(chordPitches(0, 23), "");
    EXPECT_EQ(evaluateChordFormula('x', "135"), "");
}

TEST_F(ChordFormulaTest, RootsAreFoundByButtonTextAndByNoteName)
{
    EXPECT_EQ(root("A"), 0);
    EXPECT_EQ(root("A#/Bb"), 1);
    EXPECT_EQ(root("Bb"), 1);
    EXPECT_EQ(root("a#"), 1);
    EXPECT_EQ(root("Ab"), 11);
    EXPECT_EQ(root("Cb"), 2);
    EXPECT_EQ(root("H"), -1);
    EXPECT_EQ(root("C##"), -1);
    EXPECT_EQ(root(""), -1);
    EXPECT_EQ(quality("DOM7"), 5);
    EXPECT_EQ(quality("dom"), -1);
}

TEST_F(ChordFormulaTest, SelectionShowsSharpsOnceRootAndQualityAreBothChosen)
{
    ChordSelection s;
    s.chooseRoot(root("A#/Bb"), 1001);
    EXPECT_FALSE(s.complete());
    EXPECT_EQ(s.displayText(), "");
    EXPECT_EQ(s.lyricText(), "");
    s.chooseQuality(quality("maj"), 2001);
    ASSERT_TRUE(s.complete());
    EXPECT_EQ(s.displayText(), "A# D  F  ");
    EXPECT_EQ(s.rootButton(), 1001);
    EXPECT_EQ(s.qualityButton(), 2001);
    s.chooseQuality(quality("maj7"));
    EXPECT_EQ(s.lyricText(), "A#/Bb maj7");
    s.chooseRoot(99); // ignored
    EXPECT_EQ(s.rootIndex(), 1);
}

} // namespace
} // namespace tonvela
