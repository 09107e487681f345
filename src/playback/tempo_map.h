#pragma once

#include "score/track.h"

#include <cstdint>
#include <vector>

namespace tonvela {

// A quarter note at 120 beats per minute, the tempo of a MIDI file without tempo events.
inline constexpr int32_t kDefaultUsPerQuarter = 500000;

// Time along a MIDI file's tempo map: the milliseconds from the start of the file to any tick.
// Built once from the changes, then read many times (the import, event playback).
class TempoTimeline {
  public:
    // 120 beats per minute throughout, at 96 ticks per quarter note.
    TempoTimeline();
    // `changes` in file order of their ticks; of several changes at one tick the last holds.
    // A division below 1 counts as 96.
    TempoTimeline(const std::vector<TempoChange>& changes, int division);

    double msAt(int64_t tick) const;

  private:
    struct Segment {
        int64_t tick;
        double ms;        // time at `tick`
        double msPerTick; // from `tick` to the next segment
    };
    std::vector<Segment> m_segments; // never empty; the first starts at tick 0
};

// The tempo in whole beats per minute that is in force for the longest time between tick 0
// and `endTick`; 120 for a map without changes. Of tempos in force equally long, the earlier.
int dominantTempoBpm(const std::vector<TempoChange>& changes, int division, int64_t endTick);

// Beats per minute of a tempo event, rounded to a whole number within 1..1000.
int bpmOfTempo(int32_t usPerQuarter);

} // namespace tonvela
