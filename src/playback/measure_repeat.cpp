#include "playback/measure_repeat.h"

namespace tonvela {

const MeasureRecord* measureOfNote(const Track& track, const Note& note)
{
    const int m = note.layout.measureIndex;
    if (m < 1 || m > track.measuresInUse || m > kMeasureCount)
        return nullptr;
    return &track.measures[static_cast<std::size_t>(m)];
}

int applyMeasureRepeat(const Track& track, int i, MeasureRepeatState& state)
{
    if (i <= 0 || i >= track.count)
        return i;
    const Note& before = track.noteAt(i - 1);
    if (before.layout.measureIndex == track.noteAt(i).layout.measureIndex)
        return i;
    // A new measure begins at i.
    const MeasureRecord* earlier = measureOfNote(track, before);
    if (earlier && earlier->repeat) {
        int& passes = state.passCount[static_cast<std::size_t>(before.layout.measureIndex)];
        ++passes;
        if (passes == 1)
            i = state.repeatStart;
    }
    state.repeatStart = i;
    return i;
}

} // namespace tonvela
