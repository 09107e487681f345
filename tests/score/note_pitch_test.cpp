// Notes made from pitch characters and MIDI keys, and their guitar positions.

#include "score/note.h"
#include "score/note_pitch.h"
#include "theory/pitch.h"

#include <gtest/gtest.h>

using namespace tonvela;

TEST(NotePitchTest, NoteFromPitchPlacesMiddleCAtOctaveThree)
{
    Note cs;
    noteFromPitch(cs, '2', 3);
    EXPECT_EQ(cs.midi, 60);
    EXPECT_EQ(cs.line, 0);
    EXPECT_TRUE(cs.dwFlag & kFlagSharp);
    EXPECT_EQ(cs.letter, 'C');
    EXPECT_EQ(cs.type, kTypeQuarter);

    Note a;
    a.type = kTypeEighth;
    noteFromPitch(a, 'A', 3);
    EXPECT_EQ(a.midi, 69);
    EXPECT_EQ(a.line, -5);
    EXPECT_EQ(a.type, kTypeEighth);

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

TEST(NotePitchTest, NoteFromMidiKeyAgreesWithNoteFromPitch)
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

TEST(NotePitchTest, EveryMidiKeyNamesItselfAndKeysOutsideAreClamped)
{
    // All 128 keys, the ones below A0 and above the pitch walk's names too: each sounds as
    // itself, and the octave number goes up by one from each B to the C above it.
    Note below;
    noteFromMidiKey(below, 59);
    for (int key = 0; key <= 127; ++key) {
        Note n;
        noteFromMidiKey(n, key);
        EXPECT_EQ(n.effectiveKey(), key) << key;
        if (key == 60) {
            EXPECT_EQ(n.letter, 'C');
            EXPECT_EQ(n.octave, below.octave + 1);
        }
    }
    Note low;
    noteFromMidiKey(low, -5);
    EXPECT_EQ(low.effectiveKey(), 0);
    Note high;
    noteFromMidiKey(high, 300);
    EXPECT_EQ(high.effectiveKey(), 127);
}

TEST(NotePitchTest, GuitarPositionsUseStandardTuning)
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
