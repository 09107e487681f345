#pragma once

#include "platform/atomic_file.h"

#include <optional>
#include <string>

namespace tonvela {

class SheetDocument;

inline constexpr const char* kLilypondFilter = "Lilypond File(*.ly)";
inline constexpr const char* kLilypondExtension = ".ly";

// The LilyPond input text of a sheet: every track as its own staff in track order (a drum
// staff for percussion tracks) with its time signature, clef and key, one note, chord or rest
// per line in absolute octaves (c' is key 60), and the lyrics of a track under its staff.
// Pitches are the ones the sheet sounds; each is spelled with the letter of its staff
// position. The G clef staff is engraved as "treble_8" (written an octave above its sound, as
// on screen), the G(2) clef as treble, the F clef as bass, so the engraving sounds like
// playback. Ties join what playback plays as one sound; a chord whose root is a rest is a
// rest, as it plays. Bar lines, spaces, staff breaks and other marks are not notes and are
// left out. A measure marked to repeat is written as \repeat volta 2 { ... }, so it is
// engraved between repeat signs and LilyPond's unfolded MIDI plays it twice, as playback does.
// Chord symbols stand in a ChordNames context over their staff, each for the length of its
// note; when the sheet shows chord diagrams and `diagrams` is given, a FretBoards context
// shows the diagram of every symbol it has a shape for (stored as LilyPond's predefined
// diagram of that chord, so LilyPond draws the sheet's shape) and nothing for the others.
// CR LF line ends.
// How the guitar diagram of a chord symbol is written for LilyPond's fret-diagram tables: the
// frets from the lowest string up ("x;3;2;o;1;o;"), or nothing when there is no shape for it.
// The chord library, which knows the shapes, gives one (harmony/chord_symbol_shapes.h).
struct ChordSymbol;
using LilypondFretDiagrams = std::optional<std::string> (*)(const ChordSymbol& symbol);

std::string lilypondText(const SheetDocument& sheet, LilypondFretDiagrams diagrams = nullptr);

// Writes lilypondText atomically. The sheet is not changed and keeps its modified mark; the
// caption is not used.
FileResult exportLilypond(const SheetDocument& sheet, const std::string& caption, const std::string& path,
                          LilypondFretDiagrams diagrams = nullptr);

// A sounding key written as a LilyPond pitch in absolute octaves ("c'", "fis''", "bes,"),
// spelled with `letter` ('A'..'G') when the key lies within two semitones of that letter, and
// otherwise with sharps or, when `preferFlats`, flats.
std::string lilypondPitch(int key, char letter, bool preferFlats);

} // namespace tonvela
