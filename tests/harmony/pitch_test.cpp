#include "harmony/pitch.h"
#include "score/note.h"

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

TEST(PitchTest, NoteFromPitchPlacesMiddleCAtOctaveThree)
{
    Note cs;
    noteFromPitch(cs, '2', 3);
    EXPECT_EQ(cs.midi, 60);
    EXPECT_EQ(cs.line, 0);
    EXPECT_TRUE(cs.dwFlag & kFlagSharp);
    EXPECT_EQ(cs.letter, 'C');
    EXPECT_EQ(cs.type, kTypeQuarter);
    EXPECT_EQ(cs.width, 40);

    Note a;
    a.type = kTypeEighth;
    noteFromPitch(a, 'A', 3);
    EXPECT_EQ(a.midi, 69);
    EXPECT_EQ(a.line, -5);
    EXPECT_EQ(a.type, kTypeEighth);
    EXPECT_EQ(a.width, 30);

    Note fromToolbar;
    noteFromPitch(fromToolbar, 'E', 2, kTypeHalf);
    EXPECT_EQ(fromToolbar.type, kTypeHalf);
    EXPECT_EQ(fromToolbar.midi, 52);
    EXPECT_EQ(fromToolbar.line, 5);

    Note bad;
    bad.type = 1129;
    noteFromPitch(bad, 'Q', 99);
    EXPECT_EQ(bad.type, kTypeQuarter) << "a walk to an unknown pitch ends and falls back";
}

TEST(PitchTest, NoteFromMidiKeyAgreesWithNoteFromPitch)
{
    Note e;
    noteFromMidiKey(e, 64);
    EXPECT_EQ(e.letter, 'E');
    EXPECT_EQ(e.octave, 2);
    EXPECT_EQ(e.line, -2);
    EXPECT_EQ(e.midi, 64);

    // The pitch walk starts at A0 (key 33), the lowest key it can name.
    for (int key = 33; key <= 107; ++key) {
        Note m;
        noteFromMidiKey(m, key);
        Note p;
        const char pitch = (m.dwFlag & kFlagSharp) ? semitoneUp(m.letter) : m.letter;
        noteFromPitch(p, pitch, m.octave + 1);
        EXPECT_EQ(m.midi, p.midi) << key;
        EXPECT_EQ(m.line, p.line) << key;
        EXPECT_EQ(m.effectiveKey(), key) << key;
    }
}

TEST(PitchTest, GuitarPositionsUseStandardTuning)
{
    auto at = [](int key) {
        Note n;
        noteFromMidiKey(n, key);
        return guitarPositionOfNote(n);
    };
    EXPECT_EQ(at(64).stringIndex, 0);
    EXPECT_EQ(at(64).fret, 0);
    EXPECT_EQ(at(40).stringIndex, 5);
    EXPECT_EQ(at(40).fret, 0);
    EXPECT_EQ(at(45).stringIndex, 4);
    EXPECT_EQ(at(67).fret, 3);
    EXPECT_EQ(at(67).stringIndex, 0);
    const GuitarPosition high = at(90);
    EXPECT_EQ(high.stringIndex, 5);
    EXPECT_EQ(high.fret, 5) << "out of reach of the first frets";
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
