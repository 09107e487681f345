#include "editor/sheet_layout.h"

namespace tonvela {

const TrackLayout* SheetLayout::track(int t) const
{
    if (t < 0 || t >= static_cast<int>(tracks.size()))
        return nullptr;
    return tracks[static_cast<std::size_t>(t)].get();
}

StaffRow SheetLayout::row(int r) const
{
    StaffRow row;
    row.index = r;
    row.top = rowTop(r);
    row.length = layoutWidth - 70;
    row.leftScaled = scaled(kStaffLeft);
    row.spacingScaled = scaled(kStaffSpacing);
    row.lengthScaled = scaled(row.length);
    row.measuresPerRow = measuresPerRow;
    row.clefLeft = kStaffLeft;
    row.clefRight = kStaffLeft + 30;
    row.clefTop = row.top;
    row.clefBottom = row.top + 60;
    if (trackCount <= 0 || r < 0)
        return row;
    row.track = r % trackCount;
    const TrackLayout* t = track(row.track);
    if (!t)
        return row;
    row.timeSig = t->timeSig;
    row.keySigWidth = t->keySigWidth;
    row.percussive = t->percussive;
    row.lastX = t->keySigWidth + 50;
    const auto k = static_cast<std::size_t>(r / trackCount);
    if (k < t->rows.size()) {
        const RowSpan& span = t->rows[k];
        row.firstNote = span.firstNote;
        row.endNote = span.endNote;
        row.noteCount = span.noteCount;
        row.lastX = span.lastX;
    }
    return row;
}

const NoteLayout& SheetLayout::note(int t, int i) const
{
    static const NoteLayout kNone;
    const TrackLayout* l = track(t);
    if (!l || i < 0 || i >= static_cast<int>(l->notes.size()))
        return kNone;
    return l->notes[static_cast<std::size_t>(i)];
}

int SheetLayout::laidOutCount(int t) const
{
    const TrackLayout* l = track(t);
    return l ? l->laidOut : 0;
}

int SheetLayout::measuresInUse(int t) const
{
    const TrackLayout* l = track(t);
    return l ? l->measuresInUse : 0;
}

const std::vector<MeasureRecord>& SheetLayout::measures(int t) const
{
    static const std::vector<MeasureRecord> kNone(kMeasureCount + 1);
    const TrackLayout* l = track(t);
    return l ? l->measures : kNone;
}

const TrackEnd& SheetLayout::trackEnd(int t) const
{
    static const TrackEnd kNone;
    const TrackLayout* l = track(t);
    return l ? l->end : kNone;
}

} // namespace tonvela
