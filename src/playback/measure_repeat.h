#pragma once

#include <vector>

namespace tonvela {

class Track;
class MeasureDivision;

// Where a walk in playing order stands with measure repeats. Each walk (a playback, an export)
// starts with a fresh state, so a measure marked as repeated plays twice on the first pass of
// every walk, and the track's marks are never changed by walking.
struct MeasureRepeatState {
    int repeatStart = 0;        // first note of the measure being played
    std::vector<int> passCount; // by measure number
};

// Applied before the note at index i starts, with the track's division into measures. When
// the note before i lies in another measure, a new measure begins: if the earlier measure is
// marked as repeated (Track::measureRepeats) its pass count goes up, and on its first pass the
// walk goes back to that measure's first note. Returns the index to play (i, or the start of
// the repeated measure); a new measure's first note is remembered as the start of the measure
// being played. Notes the division does not cover (the track changed since) repeat nothing.
int applyMeasureRepeat(const Track& track, const MeasureDivision& division, int i, MeasureRepeatState& state);

} // namespace tonvela
