#pragma once

#include "score/track.h"

#include <array>

namespace tonvela {

// The measure a note lies in, as the layout pass leaves it: note.measureIndex names a measure
// record (numbered from 1); 0, or a number beyond the measures in use, means the note has not
// been laid out into a measure.
const MeasureRecord* measureOfNote(const Track& track, const Note& note);

// Where a walk in playing order stands with measure repeats. Each walk (a playback, an export)
// starts with a fresh state, so a measure marked as repeated plays twice on the first pass of
// every walk, and the measure records themselves are never changed by walking.
struct MeasureRepeatState {
    int repeatStart = 0;
    std::array<int, kMeasureCount + 1> passCount{};
};

// Applied before the note at index i starts. When the note before i lies in another measure,
// a new measure begins: if the earlier measure is marked as repeated its pass count goes up,
// and on its first pass the walk goes back to that measure's first note. Returns the index to
// play (i, or the start of the repeated measure); a new measure's first note is remembered as
// the start of the measure being played.
int applyMeasureRepeat(const Track& track, int i, MeasureRepeatState& state);

} // namespace tonvela
