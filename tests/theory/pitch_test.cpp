#include "theory/key_signature.h"
#include "theory/pitch.h"
#include "theory/scale.h"

#include <gtest/gtest.h>

using namespace tonvela;

namespace {

std::string spelled(char root, int scaleIndex)
{
    BuiltScale s = buildScaleFromPattern(root, scaleTable()[static_cast<std::size_t>(scaleIndex)].pattern, 3);
    spellScale(s.pitches);
    return pitchDisplayText(s.pitches);
}

} // namespace

TEST(PitchTest, SemitoneWalksCountOctavesAtC)
{
    char c = 'B';
    int oct = 2;
    semitoneUp(c, oct);
    EXPECT_EQ(c, 'C');
    EXPECT_EQ(oct, 3);
    semitoneDown(c, oct);
    EXPECT_EQ(c, 'B');
    EXPECT_EQ(oct, 2);
    char a = 'A';
    int octA = 4;
    semitoneDown(a, octA);
    EXPECT_EQ(a, '5');
    EXPECT_EQ(octA, 4);
}

TEST(PitchTest, CharactersOutsideTheTableStayOrGiveZero)
{
    char x = 'X';
    int oct = 1;
    semitoneUp(x, oct);
    EXPECT_EQ(x, 'X');
    EXPECT_EQ(oct, 1);
    EXPECT_EQ(semitoneUp('X'), 0);
    EXPECT_EQ(semitoneDown('7'), 0) << "flat digits are display-only";
    EXPECT_EQ(semitoneUp('5'), 'A');
}

TEST(PitchTest, BluesFromAHasSixDegreesAndTheOctave)
{
    const BuiltScale s = buildScaleFromPattern('A', scaleTable()[4].pattern, 3);
    EXPECT_EQ(s.pitches, "ACD3EGA");
    EXPECT_EQ(s.octaves, (std::vector<int>{3, 4, 4, 4, 4, 4, 4}));
}

TEST(PitchTest, SpellingAvoidsRepeatedLetters)
{
    EXPECT_EQ(spelled('F', 0), "F  G  A  Bb C  D  E  F  ");
    EXPECT_EQ(spelled('A', 0), "A  B  C# D  E  F# G# A  ");
    EXPECT_EQ(spelled('C', 0), "C  D  E  F  G  A  B  C  ");
}

TEST(PitchTest, MajorMinorEntryPointStartsAtOctaveThree)
{
    const BuiltScale major = buildMajorMinorScale('C', false);
    EXPECT_EQ(major.pitches, "CDEFGABC");
    EXPECT_EQ(major.octaves.front(), 3);
    EXPECT_EQ(major.octaves.back(), 4);
    EXPECT_EQ(buildMajorMinorScale('A', true).pitches, "ABCDEFGA");
}

TEST(PitchTest, KeyTableMarksSharpAndFlatSides)
{
    EXPECT_EQ(keySignature(7).tonic, 'C');
    EXPECT_FALSE(keySignature(7).flats);
    EXPECT_EQ(keySignature(8).tonic, 'F');
    EXPECT_TRUE(keySignature(8).flats);
    EXPECT_STREQ(keySignature(14).text, "Cb major, Ab minor");
    EXPECT_EQ(keySignature(99).tonic, 'C');
}

TEST(PitchTest, ScaleSelectionChangesOnlyWithValidIndices)
{
    int repaints = 0;
    static int* counter = nullptr;
    counter = &repaints;
    setScaleSelectionRepaintHook([] { ++*counter; });
    setScaleSelection(3, 1);
    EXPECT_EQ(scaleSelection().root, 'C');
    EXPECT_STREQ(scaleSelection().pattern, "WHWWHWW");
    setScaleSelection(12, -1);
    EXPECT_EQ(scaleSelection().root, 'C');
    EXPECT_STREQ(scaleSelection().pattern, "WHWWHWW");
    EXPECT_EQ(repaints, 2);
    setScaleSelectionRepaintHook(nullptr);
}
