#pragma once

#include <vector>

namespace tonvela {

class Track;
class MeasureDivision;

// Where a walk in playing order stands with measure repeats. Each walk (a playback, an export,
// the play time) starts with a fresh state, so a measure marked as repeated plays twice on the
// first pass of every walk, and the track's marks are never changed by walking.
struct MeasureRepeatState {
    int repeatStart = 0;        // first note of the measure being played
    std::vector<int> passCount; // by measure number
};

// Applied before the note at index i starts, and once more when the walk reaches the end of
// the track (i == track.count), with the track's division into measures. When the note before
// i lies in another measure, or i is the end of the track, the earlier measure has ended: if it
// is marked as repeated (Track::measureRepeats) its pass count goes up, and on its first pass
// the walk goes back to that measure's first note. Returns the index to go on with (i, or the
// start of the repeated measure); a new measure's first note is remembered as the start of the
// measure being played. So the last measure of a track repeats like any other. Notes the
// division does not cover (the track changed since) repeat nothing.
int applyMeasureRepeat(const Track& track, const MeasureDivision& division, int i, MeasureRepeatState& state);

// Whether a tie from note `from` to the later note `to` would run over a repeat: the two lie
// in different measures and the measure of `from` is marked. Such a tie is not merged into one
// sound (the repeat goes back between the two notes), so every walk strikes `to` afresh. A tie
// into a marked measure from an unmarked one holds: the tied note sounds once for its whole
// length on the way in, and the repeat strikes it again when it goes back.
bool tieCrossesRepeat(const Track& track, const MeasureDivision& division, int from, int to);

} // namespace tonvela
