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

bool setRepeatRange(std::vector<RepeatRange>& ranges, const RepeatRange& range)
{
    if (!validRepeatRange(range))
        return false;
    std::vector<RepeatRange> next;
    for (const RepeatRange& r : ranges) {
        if (r.first == range.first)
            continue;
        if (r.first <= range.reach() && range.first <= r.reach())
            return false;
        next.push_back(r);
    }
    next.push_back(range);
    next = normalizedRepeatRanges(next);
    if (next == ranges)
        return false;
    ranges = std::move(next);
    return true;
}

bool removeRepeatRange(std::vector<RepeatRange>& ranges, int measure)
{
    const int k = rangeHolding(ranges, measure);
    if (k < 0)
        return false;
    ranges.erase(ranges.begin() + k);
    return true;
}

bool startRepeat(std::vector<RepeatRange>& ranges, int measure)
{
    if (rangeHolding(ranges, measure) >= 0)
        return false;
    return setRepeatRange(ranges, {measure, measure, 0, 0});
}

bool endRepeat(std::vector<RepeatRange>& ranges, int measure)
{
    const RepeatRange* opening = nullptr;
    for (const RepeatRange& r : ranges)
        if (r.first <= measure)
            opening = &r;
    if (!opening)
        return false;
    RepeatRange range = *opening;
    range.last = measure;
    if (range.firstEnding > range.last - range.first)
        range.firstEnding = 0;
    return setRepeatRange(ranges, range);
}

bool setFirstEnding(std::vector<RepeatRange>& ranges, int measure)
{
    for (const RepeatRange& r : ranges) {
        if (measure > r.first && measure <= r.last) {
            RepeatRange range = r;
            range.firstEnding = r.last - measure + 1;
            return setRepeatRange(ranges, range);
        }
    }
    return false;
}

bool setSecondEnding(std::vector<RepeatRange>& ranges, int measure)
{
    for (const RepeatRange& r : ranges) {
        if (r.last + 1 == measure) {
            RepeatRange range = r;
            range.secondEnding = 1;
            return setRepeatRange(ranges, range);
        }
    }
    return false;
}

bool setSystemRepeatRange(SheetDocument& sheet, const RepeatRange& range)
{
    std::vector<RepeatRange> next = sheet.repeatRanges;
    if (!setRepeatRange(next, range))
        return false;
    sheet.setRepeatRanges(next);
    return true;
}

bool removeSystemRepeatRange(SheetDocument& sheet, int measure)
{
    std::vector<RepeatRange> next = sheet.repeatRanges;
    if (!removeRepeatRange(next, measure))
        return false;
    sheet.setRepeatRanges(next);
    return true;
}

} // namespace tonvela
