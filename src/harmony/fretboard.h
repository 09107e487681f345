#pragma once

#include "drawing/canvas.h"
#include "score/guitar_tuning.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace tonvela {

// The fretboard picture of the scale diagram: a guitar neck seen in perspective, the nut on
// the left, the strings spreading towards the higher frets. Its upper half is a second neck
// with the note name of every string and fret written on it; its lower half is the plain neck
// the scale marks go on.
inline constexpr int kFretboardWidth = 819;
inline constexpr int kFretboardHeight = 314;

inline constexpr int kStringCount = 6;
// Frets a scale is marked on: the open string (0) up to this one.
inline constexpr int kHighestMarkedFret = 10;
// Open strings from the highest (string 0) to the lowest (string 5), as pitch characters:
// standard tuning, unless a tablature's tuning is shown.
inline constexpr std::string_view kOpenStrings = "EBGDAE";
// The pitch characters of a tuning's open strings with the capo on, highest first: the board
// then names and marks frets from the capo, as the tablature counts them.
std::string openStringPitches(const GuitarTuning& tuning);

// Where a mark of a fret goes: its x offset, the y of the highest string and the distance
// between strings there (it grows towards the higher frets).
struct FretPosition {
    int x;
    int yOfString0;
    double stringSpacing;
};
inline constexpr int kFretPositionCount = 12;
const std::array<FretPosition, kFretPositionCount>& fretPositions();

// The mark position of string `s` at fret `j` before the origin is added: the fret's x and
// the y of the highest string plus the whole part of spacing x s.
int markX(int fret);
int markY(int fret, int string);

// Degree numbers are written in this colour, and the scale's root is outlined in red, other
// notes in white.
inline constexpr Color kDegreeColor{255, 0, 255};
// Where the marks go relative to the picture's top-left corner.
inline constexpr int kMarkOriginX = -3;
inline constexpr int kMarkOriginY = 17;
// A mark's circle: its box starts 2 pixels up and left of the mark position and is this wide.
inline constexpr int kMarkDiameter = 19;

// One mark of a scale: string, fret, degree index (0 = the root) and whether it is the root.
struct ScaleMark {
    int string;
    int fret;
    int degree;
    bool root;
};

// Every place of frets 0 to 10 where a note of the scale built from `root` with `pattern`
// lies, degree by degree, each degree string by string from the highest, each string from the
// open string up. A root or pattern that builds no scale gives none.
// `openStrings` are six pitch characters, highest first; anything else counts as standard tuning.
std::vector<ScaleMark> scaleMarks(char root, std::string_view pattern,
                                  std::string_view openStrings = kOpenStrings);

// Draws the fretboard picture with its top-left corner at (left, top).
void drawFretboard(Canvas& canvas, int left = 0, int top = 0, std::string_view openStrings = kOpenStrings);

// Draws the marks of the scale with the picture's mark positions moved by (originX, originY):
// a circle outlined red for the root and white otherwise, the degree number in magenta.
void drawScaleMarks(Canvas& canvas, char root, std::string_view pattern, int originX, int originY,
                    std::string_view openStrings = kOpenStrings);

} // namespace tonvela
