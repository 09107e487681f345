#pragma once

// Engraving rules for the heads of one chord (or one beamed group): which way the stem goes,
// which heads sit on the far side of the stem, which head carries the stem's tip and flags, and
// how the accidentals stack to the left. Works on staff steps alone (step -3 is the top line,
// each step half a space, step 1 the middle line), so layout can apply it to any staff kind.

#include <vector>

namespace tonvela {

// How far apart two columns of accidentals stand, sheet units: an accidental's width and a gap.
inline constexpr int kAccidentalColumn = 10;

// The staff step of the middle line.
inline constexpr int kMiddleLineStep = 1;

// True when the stem of heads at these steps goes down: the way of the head farthest from the
// middle line; when the farthest heads above and below lie equally far, down, as engravers set
// a balanced chord.
bool stemDownForSteps(const std::vector<int>& steps);

// One head of a chord as the rules read it and place it.
struct ChordHead {
    int index = 0;           // the note
    int step = 0;            // its staff step
    bool accidental = false; // it shows an accidental
    // Results:
    int shift = 0;            // -1 left of a down stem, 1 right of an up stem, 0 on the normal side
    int accidentalColumn = 0; // 0 next to the heads, 1 further left, ...
};

struct ChordArrangement {
    int stemNote = -1;      // the head at the stem's far end
    bool headsLeft = false; // some head sits left of a down stem: accidentals move past it
};

// Places the heads of one chord for a stem going `down`. Heads a second apart sit on either
// side of the stem: from the head at the stem's root end onward, a head a step from a head on
// the normal side goes to the other side. The head at the stem's far end among those on the
// normal side carries the stem tip. Accidentals go into columns from the heads leftward, top
// to bottom, each into the first column where it keeps three steps clear of the accidentals
// already there, so no two touch.
ChordArrangement arrangeChord(std::vector<ChordHead>& heads, bool down);

} // namespace tonvela
