#pragma once

// Measure repeats belong to the whole system: a measure repeats in every track or in none, so
// the parts never fall out of step. Each track still keeps the marks (its `repeats` in the file),
// and these keep the tracks' marks alike.

#include "score/repeat_range.h"

#include <vector>

namespace tonvela {

class SheetDocument;

// Marks measure `measure` (from 1) to repeat, or takes the mark off, in every track of the sheet.
// Measures below 1 change nothing.
void setSystemMeasureRepeat(SheetDocument& sheet, int measure, bool repeated);

// Whether any track of the sheet marks `measure`.
bool systemMeasureRepeats(const SheetDocument& sheet, int measure);

// Gives every track the marks any track has (a file whose tracks disagree loads with the mark on
// all of them). True when some track's marks changed.
bool unifyMeasureRepeats(SheetDocument& sheet);

// Repeated passages (repeat_range.h) belong to the sheet as a whole. Each change below works
// on a list of ranges (sorted and apart, as a sheet keeps them) and returns false, leaving it as
// it was, when the change cannot be made; the sheet versions give the sheet and every track the
// result. An editor wraps the sheet's change in one edit, so it is one undo step.

// Puts `range` in place of the range that starts at the same measure (or adds it): false when it
// is invalid, would overlap another range or changes nothing.
bool setRepeatRange(std::vector<RepeatRange>& ranges, const RepeatRange& range);
// Removes the range whose measures (its second ending included) hold `measure`.
bool removeRepeatRange(std::vector<RepeatRange>& ranges, int measure);
// The steps of the editor's context menu on measure m:
// Start Repeat: a range of m alone (it plays like a measure repeat until End Repeat closes it);
// false when m lies in a range already.
bool startRepeat(std::vector<RepeatRange>& ranges, int measure);
// End Repeat: the range that starts last at or before m ends at m; a first ending that no longer
// fits is dropped.
bool endRepeat(std::vector<RepeatRange>& ranges, int measure);
// First Ending: m, inside a range after its first measure, and the measures up to its end become
// the first ending.
bool setFirstEnding(std::vector<RepeatRange>& ranges, int measure);
// Second Ending: m, the measure right after a range, becomes its second ending (one measure).
bool setSecondEnding(std::vector<RepeatRange>& ranges, int measure);

// The same for the whole sheet.
bool setSystemRepeatRange(SheetDocument& sheet, const RepeatRange& range);
bool removeSystemRepeatRange(SheetDocument& sheet, int measure);

} // namespace tonvela
