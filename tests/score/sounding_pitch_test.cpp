// What a staff shows is what it sounds: every staff position of every clef in every key is
// checked against the reading of an engraved staff (bass clef, treble clef an octave down for
// the G clef, treble clef for the G(2) clef) and the standard key signatures, computed here
// without the program's own pitch helpers.

#include "score/note_pitch.h"
#include "score/sounding_pitch.h"
#include "score/track.h"
#include "score/track_type.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tonvela {
namespace {

constexpr int kSemitones[7] = {0, 2, 4, 5, 7, 9, 11}; // C D E F G A B
constexpr char kLetters[] = "CDEFGAB";

// A staff position as an engraved staff reads it: its letter (index into kLetters) and key.
struct Reading {
    int letter;
    int key;
};

// Diatonic numbers count natural steps from C of MIDI octave -1 (C4 = 28, key 60).
Reading readingOf(int diatonic)
{
    const int octave = diatonic >= 0 ? diatonic / 7 : -((-diatonic + 6) / 7);
    const int letter = diatonic - 7 * octave;
    return {letter, 12 * (octave + 1) + kSemitones[letter]};
}

// The middle line is position 1: D3 on the bass clef, B4 on the treble clef.
Reading staffReading(StaffKind kind, int position)
{
    switch (kind) {
    case StaffKind::FClef:
        return readingOf(3 * 7 + 1 + 1 - position);
    case StaffKind::G2Clef:
        return readingOf(4 * 7 + 6 + 1 - position);
    default: { // written on the treble clef, sounding an octave lower
        Reading r = readingOf(4 * 7 + 6 + 1 - position);
        r.key -= 12;
        return r;
    }
    }
}

// The standard key signatures of the fifteen keys of the "Key:" list: 7 sharps down to none,
// then 1 to 7 flats. +1, -1 or 0 for a letter.
int signatureAccidental(int keyIndex, int letter)
{
    const std::string sharps = "FCGDAEB", flats = "BEADGCF";
    const char l = kLetters[letter];
    if (keyIndex <= 7)
        return sharps.substr(0, static_cast<std::size_t>(7 - keyIndex)).find(l) != std::string::npos ? 1 : 0;
    return flats.substr(0, static_cast<std::size_t>(keyIndex - 7)).find(l) != std::string::npos ? -1 : 0;
}

Note noteAt(int line, int flags = 0)
{
    Note n;
    n.type = kTypeQuarter;
    n.setStaffPosition(line);
    n.dwFlag = flags;
    return n;
}

const char* clefName(StaffKind kind)
{
    return kind == StaffKind::FClef ? "F clef" : kind == StaffKind::G2Clef ? "G(2) clef" : "G clef";
}

TEST(SoundingPitchTest, EveryPositionOfEveryClefInEveryKeySoundsWhatTheStaffReads)
{
    for (StaffKind kind : {StaffKind::GClef, StaffKind::FClef, StaffKind::G2Clef}) {
        for (int keyIndex = 0; keyIndex < 15; ++keyIndex) {
            Track t;
            setStaffKind(t, kind);
            t.setKeyIndex(keyIndex);
            const KeyAccidentalTable keys(t);
            for (int line = -16; line <= 20; ++line) {
                const Reading r = staffReading(kind, line);
                const int a = signatureAccidental(keyIndex, r.letter);
                const std::string where = std::string(clefName(kind)) + ", key " + std::to_string(keyIndex) +
                                          ", position " + std::to_string(line);
                EXPECT_EQ(soundingPitch(noteAt(line), t), r.key + a) << where;
                EXPECT_EQ(soundingPitch(noteAt(line), t, keys), r.key + a) << where;
                // Then the note's own marks: a natural cancels the signature, a sharp or flat
                // alters a letter the key leaves alone and repeats one the key already alters.
                EXPECT_EQ(soundingPitch(noteAt(line, kFlagNatural), t), r.key) << where;
                if (a >= 0) {
                    EXPECT_EQ(soundingPitch(noteAt(line, kFlagSharp), t), r.key + 1) << where;
                }
                if (a <= 0) {
                    EXPECT_EQ(soundingPitch(noteAt(line, kFlagFlat), t), r.key - 1) << where;
                }
                // What the accidental rules read: the key's and the marks' alteration of the
                // position's natural.
                EXPECT_EQ(pitchAlteration(noteAt(line), t, keys).key, a) << where;
                EXPECT_EQ(pitchAlteration(noteAt(line), t, keys).sounding, a) << where;
                EXPECT_EQ(pitchAlteration(noteAt(line, kFlagNatural), t, keys).sounding, 0) << where;
                EXPECT_EQ(pitchAlteration(noteAt(line, kFlagNatural), t, keys).key, a) << where;
                if (a >= 0) {
                    EXPECT_EQ(pitchAlteration(noteAt(line, kFlagSharp), t, keys).sounding, 1) << where;
                }
                if (a <= 0) {
                    EXPECT_EQ(pitchAlteration(noteAt(line, kFlagFlat), t, keys).sounding, -1) << where;
                }
            }
        }
    }
}

TEST(SoundingPitchTest, ABassPartInBFlatSoundsBFlatDAndF)
{
    Track t;
    setStaffKind(t, StaffKind::FClef);
    t.setKeyIndex(9); // B flat major
    // The second line, the middle line and the fourth line of the bass clef.
    EXPECT_EQ(soundingPitch(noteAt(3), t), 46);
    EXPECT_EQ(soundingPitch(noteAt(1), t), 50);
    EXPECT_EQ(soundingPitch(noteAt(-1), t), 53);
    // The signature lies on the bass clef's B and E, not on the letters the G clef shows there.
    EXPECT_EQ(keyAccidental(t, 4), -1) << "the B above reads K(4) and sounds flat";
    EXPECT_EQ(keyAccidental(t, 1), -1) << "the E above reads K(1) and sounds flat";
    EXPECT_EQ(keyAccidental(t, 2), 0);
}

TEST(SoundingPitchTest, AnFClefPositionSoundsWhatItShowsWhateverKeyWasStoredWithIt)
{
    // Files from the first release stored F clef notes nine semitones above their sound; the
    // staff position alone decides, so such a file sounds what its picture shows.
    Track t;
    setStaffKind(t, StaffKind::FClef);
    for (int line = -8; line <= 8; ++line) {
        Note n = noteAt(line);
        const int shown = soundingPitch(n, t);
        n.midi = static_cast<int8_t>(noteAt(line + 5).midi + 9);
        EXPECT_EQ(soundingPitch(n, t), shown) << line;
        EXPECT_EQ(shown, staffReading(StaffKind::FClef, line).key) << line;
    }
}

TEST(SoundingPitchTest, DrumsSoundTheirKeyWhateverTheKeySignature)
{
    Track t;
    t.percussive = 1;
    t.setKeyIndex(5); // D major sharpens F and C
    Note snare = noteAt(-3);
    snare.midi = 38;
    EXPECT_EQ(soundingPitch(snare, t), 38);
    t.drawmode = staffKindInfo(StaffKind::FClef).drawmode; // a drum track whose file names the F clef
    EXPECT_EQ(soundingPitch(snare, t), 38);
    // A black drum key comes from a MIDI file as the natural below with the sharp mark.
    Note hiHat;
    noteFromMidiKey(hiHat, 42);
    EXPECT_EQ(soundingPitch(hiHat, t), 42);
}

TEST(SoundingPitchTest, NotesPlacedByPitchStandWhereTheirClefShowsThem)
{
    // MIDI import and chord entry place a key on the track; a white key on the F clef goes to
    // the position the bass clef reads as that key, with no mark at all.
    Track t;
    setStaffKind(t, StaffKind::FClef);
    for (int key = 28; key < 72; ++key) {
        Note n;
        noteFromMidiKey(n, key);
        placeOnTrack(n, t);
        EXPECT_EQ(soundingPitch(n, t), key) << key;
        const Reading r = staffReading(StaffKind::FClef, n.line);
        EXPECT_EQ(r.key + ((n.dwFlag & kFlagSharp) ? 1 : 0), key) << key;
        EXPECT_EQ(n.dwFlag & (kFlagFlat | kFlagNatural), 0) << key;
        EXPECT_EQ(n.midi, noteAt(n.line).midi) << "the stored key is the natural of the position";
    }
    // In B flat major the flats come from the signature, not from marks.
    t.setKeyIndex(9);
    for (int key : {46, 51, 58, 63}) {
        Note n;
        noteFromMidiKey(n, key);
        placeOnTrack(n, t);
        EXPECT_EQ(soundingPitch(n, t), key) << key;
        EXPECT_EQ(n.dwFlag & (kFlagFlat | kFlagSharp | kFlagNatural), 0) << key;
    }
}

// Fills a track with every staff position from -12 to 12 with varied marks, and a rest.
void fillVaried(Track& t, int keyIndex)
{
    t.setKeyIndex(keyIndex);
    for (int line = -12; line <= 12; ++line) {
        const int flags = line % 3 == 0   ? kFlagSharp
                          : line % 5 == 0 ? kFlagFlat
                          : line % 7 == 0 ? kFlagNatural
                                          : 0;
        t.insertNote(noteAt(line, flags), t.count);
    }
    Note rest = noteAt(4, kFlagRest);
    t.insertNote(rest, t.count);
}

std::vector<int> soundsOf(const Track& t)
{
    std::vector<int> out;
    for (int i = 0; i < t.count; ++i)
        if (!t.noteAt(i).isRest())
            out.push_back(soundingPitch(t.noteAt(i), t));
    return out;
}

TEST(SoundingPitchTest, EveryChangeOfStaffKindKeepsTheSoundAndMovesThePicture)
{
    // Entries of the "Track Type:" list with the staff kind each gives.
    const int entries[] = {0, 1, 3, 4, 5};
    const int modes[] = {0, 2, 1, 3, 4}; // their drawmode values in files
    // Steps from a position to the G clef position that shows the same natural.
    const int reading[] = {0, 5, 0, -7, 0};
    for (int keyIndex : {7, 9, 3}) {
        for (int from = 0; from < 5; ++from) {
            for (int to = 0; to < 5; ++to) {
                Track t;
                fillVaried(t, keyIndex);
                setTrackType(t, entries[from]);
                ASSERT_EQ(t.drawmode, modes[from]);
                const std::vector<int> before = soundsOf(t);
                const int firstLine = t.noteAt(0).line;
                setTrackType(t, entries[to]);
                ASSERT_EQ(t.drawmode, modes[to]);
                EXPECT_EQ(soundsOf(t), before) << "key " << keyIndex << ", " << from << " to " << to;
                EXPECT_EQ(t.noteAt(0).line - firstLine, reading[from] - reading[to]);
                for (int i = 0; i < t.count; ++i)
                    EXPECT_EQ(t.noteAt(i).midi, noteAt(t.noteAt(i).line).midi) << i;
            }
        }
    }
    // The F clef reads five steps lower than the G clef and twelve lower than the G(2) clef.
    Track t;
    fillVaried(t, 7);
    setTrackType(t, 1);
    EXPECT_EQ(t.noteAt(12).line, -5); // middle C on the bass clef's first ledger line above
    setTrackType(t, 4);
    EXPECT_EQ(t.noteAt(12).line, 7);
}

} // namespace
} // namespace tonvela
