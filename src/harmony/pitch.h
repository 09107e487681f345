#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace tonvela {

struct Note;

// The pitch vocabulary shared by chords, scales, keys and keyboard entry.
//
// A pitch character names a pitch class in one byte: 'A'..'G' for the naturals and the sharp
// digits '1' A#, '2' C#, '3' D#, '4' F#, '5' G#. For display only the digits '6' Bb, '7' Db,
// '8' Eb, '9' Gb, '0' Ab stand for flat spellings (digit +/- 5 is the enharmonic partner).
// An octave counter travels beside a character and changes when a walk crosses from B to C.

// Chromatic order from A; the index into this string is the pitch-class index used by every
// list that starts at A (chord roots, scale roots, chord formulas).
inline constexpr std::string_view kChromaticFromA = "A1BC2D3EF4G5";

// Index of a pitch character in kChromaticFromA, or -1 when it is not one of those twelve.
int pitchClassIndex(char pitch);

// One semitone up or down with the octave counter (B->C increments, C->B decrements).
// A character outside the table is left unchanged.
void semitoneUp(char& pitch, int& octave);
void semitoneDown(char& pitch, int& octave);
// The same without a counter; any other input gives 0.
char semitoneUp(char pitch);
char semitoneDown(char pitch);

// True for the natural letters 'A'..'G'.
bool isNaturalPitch(char pitch);
// True for the sharp digits '1'..'5'.
bool isSharpDigit(char pitch);

// A row of the key signature table: the "Key:" list text, the tonic character and whether the
// key is written with flats.
struct KeySignature {
    const char* text;
    char tonic;
    bool flats;
};
inline constexpr int kKeySignatureCount = 15;
inline constexpr int kDefaultKeyIndex = 7; // C major
const std::array<KeySignature, kKeySignatureCount>& keySignatureTable();
// The row for an index, with out-of-range indices falling back to C major.
const KeySignature& keySignature(int index);

// A row of the scale table: the "Scale:" list name and its step pattern over 'H' (one
// semitone), 'W' (two) and '3' (three); every pattern spans twelve semitones.
struct ScaleKind {
    const char* name;
    const char* pattern;
};
inline constexpr int kScaleKindCount = 5;
const std::array<ScaleKind, kScaleKindCount>& scaleTable();

struct BuiltScale {
    std::string pitches;      // degree 1 up to the octave (pattern length + 1 characters)
    std::vector<int> octaves; // octave counter of each character
};

// Walks the pattern from the root: one entry per step, then the root an octave higher.
BuiltScale buildScaleFromPattern(char root, std::string_view pattern, int startOctave);
// The major (minor == false) or natural minor scale of a root, octave counter starting at 3.
BuiltScale buildMajorMinorScale(char root, bool minor);

// Rewrites repeated letters of a built scale as flat digits, so F major reads F G A Bb C D E F.
// The first and the last character are left alone.
void spellScale(std::string& pitches);

// "C " for a natural, "C# " / "Bb " for the digits; one blank after every name.
std::string pitchDisplayText(std::string_view pitches);

// Fills a note from a pitch character and octave (middle C is 'C' at octave 3). A note whose
// type is 0 takes `toolbarType`, and anything that is then not whole..32nd becomes a quarter.
void noteFromPitch(Note& note, char pitch, int octave, int toolbarType = 1028);

// Fills a note from a MIDI key as the MIDI reader does: a black key is written as the natural
// below it with the sharp mark. Octave convention: key 60 is octave 2. Type becomes quarter.
void noteFromMidiKey(Note& note, int key);

struct GuitarPosition {
    int stringIndex; // 0 = highest string (E, key 64) .. 5 = lowest
    int fret;
};
// String and fret (0..4) of a note in standard tuning; string 5, fret 5 when nothing matches.
GuitarPosition guitarPositionOfNote(const Note& note);

// The process-wide scale selection of the scale panel, read by the scale diagram and the
// scale commands. `pattern` is null until a scale has been chosen.
struct ScaleSelection {
    char root = 'A';
    const char* pattern = nullptr;
};
const ScaleSelection& scaleSelection();
// Stores character rootIndex of kChromaticFromA and the pattern of row scaleIndex; an index
// outside its list leaves that half unchanged. Calls the repaint hook when one is set.
void setScaleSelection(int rootIndex, int scaleIndex);
void setScaleSelectionRepaintHook(void (*hook)());

} // namespace tonvela
