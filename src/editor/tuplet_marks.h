#pragma once

// Where a sheet shows its triplets: each group of triplet-marked notes gets a "3" over or under
// it, and a bracket when its notes are not beamed together. A group opens at a triplet chord
// root (or rest) and closes once its written lengths add up to three of the first one's (three
// triplet eighths, a triplet quarter and a triplet eighth), before a root that is no triplet,
// and at the end of a measure or a row. Read from a track and its layout; draws nothing.

#include "editor/sheet_layout.h"

#include <vector>

namespace tonvela {

struct TupletMark {
    int first = 0; // the group's first and last chord roots
    int last = 0;
    int count = 0;        // chord roots in the group
    bool above = true;    // the number stands above the notes (most stems point up)
    bool bracket = false; // the notes are not all under one beam
    int left = 0;         // the span the bracket covers, sheet units
    int right = 0;
    // The y (from the top of the sheet) the mark keeps clear of: the highest stem tip, beam or
    // head of the group when above, the lowest when below.
    int edge = 0;
    bool operator==(const TupletMark&) const = default;
};

// The triplet groups whose first root lies in notes [from, to) of track `t` laid out as `lay`.
std::vector<TupletMark> tupletMarks(const Track& t, const TrackLayout& lay, int from, int to);

} // namespace tonvela
