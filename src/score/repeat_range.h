#pragma once

// Repeated passages: measures A..B played twice, with an optional first ending (the last
// measures of A..B, played on the first pass only) and an optional second ending (the measures
// after B, played on the way on). They belong to the whole system: the sheet keeps the list and
// every track keeps a copy, as it keeps the pickup, so each track's walk unfolds them alone.
//
// Measures are numbered as the division into measures numbers them (measure_division.h): from
// 1, a pickup being measure 1, as measure repeats count.

#include <string>
#include <string_view>
#include <vector>

namespace tonvela {

class Track;
class MeasureDivision;

struct RepeatRange {
    int first = 0;        // A, from 1
    int last = 0;         // B, A at the least
    int firstEnding = 0;  // E1: the last E1 measures of A..B, fewer than the range holds
    int secondEnding = 0; // E2: the measures after B marked "2."
    bool operator==(const RepeatRange&) const = default;
    // The last measure the range's signs reach: B, or the end of its second ending.
    int reach() const { return last + secondEnding; }
};

// More ranges than this, or measure numbers above kMaxRangeMeasure, come only from damaged
// files: they are left out.
inline constexpr int kMaxRepeatRanges = 4096;
inline constexpr int kMaxRangeMeasure = 1000000;

// Whether a range stands on its own: 1 <= A <= B, the first ending shorter than A..B (the second
// pass plays something), every number within kMaxRangeMeasure.
bool validRepeatRange(const RepeatRange& range);

// The ranges a sheet keeps, from a list in any order: invalid ones dropped, and of ranges whose
// measures (second endings included) overlap, the one listed first kept. Sorted by A.
std::vector<RepeatRange> normalizedRepeatRanges(const std::vector<RepeatRange>& ranges);

// The file's text of the ranges: "A-B", "A-B/E1" or "A-B/E1/E2", joined by commas.
std::string repeatRangesText(const std::vector<RepeatRange>& ranges);
// Reads that text. Entries that are damaged (no number, a sign out of place, a number too
// large), invalid or overlapping an earlier one are dropped; the good ones are kept.
std::vector<RepeatRange> parseRepeatRanges(std::string_view text);

// The range whose measures (its second ending included) hold `measure`, or -1.
int rangeHolding(const std::vector<RepeatRange>& ranges, int measure);

// Where a walk in playing order stands with the ranges: one pass mark per range of the track
// (0 first pass, 1 second pass, 2 done). A fresh state for every walk.
struct RepeatRangeState {
    std::vector<unsigned char> pass;
};

// Applied before the note at index i starts, and once more at the end of the track, like
// applyMeasureRepeat, after it and only when it did not go back. When the measure before i
// has just ended: at the end of B on the first pass the walk goes back to the first note of A;
// on the second pass it leaves at the end of B - E1 for the first note after B (the end of the
// track when B is the last measure). Returns the index to go on with.
int applyRepeatRanges(const Track& track, const MeasureDivision& division, int i, RepeatRangeState& state);

// Whether a tie from note `from` to the later note `to` runs over a place a range's walk leaves
// from: the end of B (it goes back), or the end of B - E1 (the second pass leaves there for
// the second ending). Such a tie is not merged; the later note is struck again.
bool tieCrossesRangeEnd(const Track& track, const MeasureDivision& division, int from, int to);

// Whether measure `measure` lies in the part of a range that plays twice and its second pass is
// still to come.
bool rangeRepeatPending(const Track& track, int measure, const RepeatRangeState& state);

} // namespace tonvela
