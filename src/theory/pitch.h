#pragma once

#include <string>
#include <string_view>

namespace tonvela {

// The pitch vocabulary shared by chords, scales, keys, notes and keyboard entry.
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
// The natural letter a sharp digit raises ('1' gives 'A', '2' 'C', ...); other characters
// are returned unchanged.
char naturalOfSharp(char digit);
// Steps of a natural letter above C (C 0, D 1, ..., B 6); 0 for anything else.
int letterIndexFromC(char letter);

// "C " for a natural, "C# " / "Bb " for the digits; one blank after every name.
std::string pitchDisplayText(std::string_view pitches);

} // namespace tonvela
