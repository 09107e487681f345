#pragma once

// Measure repeats belong to the whole system: a measure repeats in every track or in none, so
// the parts never fall out of step. Each track still keeps the marks (its `repeats` in the file),
// and these keep the tracks' marks alike.

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

} // namespace tonvela
