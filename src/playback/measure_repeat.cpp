#include "playback/measure_repeat.h"

#include "score/measure_division.h"
#include "score/track.h"

namespace tonvela {

int applyMeasureRepeat(const Track& track, const MeasureDivision& division, int i, MeasureRepeatState& state)
{
    if (i <= 0 || i >= track.count || i >= division.noteCount())
        return i;
    const int before = division.measureOf(i - 1);
    if (before == division.measureOf(i))
        return i;
    // A new measure begins at i.
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

} // namespace tonvela
