#include "score/measure_repeat.h"

#include "score/measure_division.h"
#include "score/track.h"

namespace tonvela {

int applyMeasureRepeat(const Track& track, const MeasureDivision& division, int i, MeasureRepeatState& state)
{
    if (i <= 0 || i > track.count)
        return i;
    const bool end = i == track.count;
    // The end of the track only counts when the division covers exactly the track's notes.
    if (end ? division.noteCount() != track.count : i >= division.noteCount())
        return i;
    const int before = division.measureOf(i - 1);
    if (!end && before == division.measureOf(i))
        return i;
    // A new measure begins at i, or the track ends there.
    if (before >= 1 && track.measureRepeats.contains(before)) {
        if (static_cast<int>(state.passCount.size()) <= before)
            state.passCount.resize(static_cast<std::size_t>(before) + 1, 0);
        int& passes = state.passCount[static_cast<std::size_t>(before)];
        ++passes;
        if (passes == 1)
            i = state.repeatStart;
    }
    state.repeatStart = i;
    return i;
}

bool tieCrossesRepeat(const Track& track, const MeasureDivision& division, int from, int to)
{
    if (track.measureRepeats.empty())
        return false;
    const int a = division.measureOf(from);
    const int b = division.measureOf(to);
    // The repeat of a marked measure goes back from its end: a tie out of it is cut there. A
    // tie into a marked measure holds on the way in; the repeat then strikes its note afresh.
    return a != b && track.measureRepeats.contains(a);
}

} // namespace tonvela
