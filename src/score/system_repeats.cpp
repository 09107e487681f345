#include "score/system_repeats.h"

#include "score/sheet_document.h"

#include <vector>

namespace tonvela {

void setSystemMeasureRepeat(SheetDocument& sheet, int measure, bool repeated)
{
    if (measure < 1)
        return;
    for (int t = 0; t < sheet.trackCount(); ++t)
        sheet.trackAt(t)->measureRepeats.set(measure, repeated);
}

bool systemMeasureRepeats(const SheetDocument& sheet, int measure)
{
    for (int t = 0; t < sheet.trackCount(); ++t)
        if (sheet.trackAt(t)->measureRepeats.contains(measure))
            return true;
    return false;
}

bool unifyMeasureRepeats(SheetDocument& sheet)
{
    std::vector<int> all;
    for (int t = 0; t < sheet.trackCount(); ++t) {
        const std::vector<int>& marks = sheet.trackAt(t)->measureRepeats.measures();
        all.insert(all.end(), marks.begin(), marks.end());
    }
    MeasureRepeatMarks unified;
    unified.assign(std::move(all));
    bool changed = false;
    for (int t = 0; t < sheet.trackCount(); ++t) {
        Track& track = *sheet.trackAt(t);
        if (!(track.measureRepeats == unified)) {
            track.measureRepeats = unified;
            changed = true;
        }
    }
    return changed;
}

} // namespace tonvela
