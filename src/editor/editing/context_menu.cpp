#include "editor/editing/context_menu.h"

#include "editor/editing/note_clipboard.h"
#include "editor/editing/sheet_editor.h"
#include "editor/layout.h"
#include "score/staff_kind.h"
#include "score/system_repeats.h"
#include "score/track_type.h"

#include <algorithm>

namespace tonvela {

namespace {

// The last row, in row order, whose band holds the point; -1 for none.
int rowAtPoint(SheetViewState& view, int x, int y)
{
    const int hovered = view.hoveredTrack;
    int found = -1;
    const int rows = std::min(view.rowsInUse(), view.rowCount());
    for (int r = std::max(view.firstVisibleRow, 0); r < rows; ++r) {
        if (view.rowTopInWindow(r) > view.layoutHeight)
            break;
        if (hitRow(view, view.row(r), x, y + view.scrollTop()))
            found = r;
    }
    view.hoveredTrack = hovered;
    return found;
}

} // namespace

int trackAtPoint(SheetViewState& view, int x, int y)
{
    const int tracks = view.sheet().trackCount();
    if (tracks <= 0)
        return -1;
    const int row = rowAtPoint(view, x, y);
    return row < 0 ? -1 : row % tracks;
}

int measureAtPoint(SheetViewState& view, int x, int y)
{
    const int tracks = view.sheet().trackCount();
    if (tracks <= 0)
        return 0;
    const int row = rowAtPoint(view, x, y);
    if (row < 0)
        return 0;
    const int track = row % tracks;
    const std::vector<MeasureRecord>& records = view.measures(track);
    const int inUse = std::min(view.measuresInUse(track), static_cast<int>(records.size()) - 1);
    int found = 0;
    for (int m = 1; m <= inUse; ++m) {
        const MeasureRecord& rec = records[static_cast<std::size_t>(m)];
        if (rec.rowIndex != row)
            continue;
        if (found == 0 || rec.startsRow || rec.x <= x)
            found = m;
    }
    return found;
}

namespace {

bool groupAsPiano(SheetEditor& editor, int track)
{
    SheetDocument& sheet = editor.sheet();
    Track* above = sheet.trackAt(track - 1);
    Track* t = sheet.trackAt(track);
    Track* below = sheet.trackAt(track + 1);
    if (above && above->braceWithNext) {
        // The lower staff of a pair: the pair parts.
        editor.edit(SnapshotKind::TrackType, track, [&] { above->braceWithNext = 0; });
        return true;
    }
    if (t->braceWithNext) {
        editor.edit(SnapshotKind::TrackType, track, [&] { t->braceWithNext = 0; });
        return true;
    }
    if (!below)
        return false;
    // The lower staff leaves a pair it opened.
    editor.edit(SnapshotKind::TrackType, track, [&] {
        t->braceWithNext = 1;
        below->braceWithNext = 0;
    });
    return true;
}

} // namespace

bool runContextMenuItem(SheetEditor& editor, ContextMenuItem item, int track, int measure)
{
    SheetDocument& sheet = editor.sheet();
    if (actsOnMeasure(item)) {
        if (measure < 1)
            return false;
        // Worked out on a copy of the list first, so a step that cannot be made leaves no undo
        // step behind.
        bool (*const change)(std::vector<RepeatRange>&, int) =
            item == ContextMenuItem::StartRepeat    ? startRepeat
            : item == ContextMenuItem::EndRepeat    ? endRepeat
            : item == ContextMenuItem::FirstEnding  ? setFirstEnding
            : item == ContextMenuItem::SecondEnding ? setSecondEnding
                                                    : removeRepeatRange;
        std::vector<RepeatRange> after = sheet.repeatRanges;
        if (!change(after, measure))
            return false;
        editor.edit(SnapshotKind::SelectedChange, std::max(track, 0), [&] { sheet.setRepeatRanges(after); });
        return true;
    }
    if (item == ContextMenuItem::DeleteNotes) {
        const bool any = hasSelection(sheet);
        editor.deleteSelected();
        return any;
    }
    const Track* t = sheet.trackAt(track);
    if (!t)
        return false;
    if (item == ContextMenuItem::GroupAsPiano)
        return groupAsPiano(editor, track);
    const StaffKind kind = item == ContextMenuItem::FClef ? StaffKind::FClef : StaffKind::GClef;
    if (staffKindOf(*t) == kind)
        return false;
    editor.edit(SnapshotKind::TrackType, track, [&] { sheet.setTrackType(track, static_cast<int>(kind)); });
    return true;
}

} // namespace tonvela
