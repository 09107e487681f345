#include "editor/editing/context_menu.h"

#include "editor/editing/note_clipboard.h"
#include "editor/editing/sheet_editor.h"
#include "editor/layout.h"
#include "score/staff_kind.h"
#include "score/track_type.h"

#include <algorithm>

namespace tonvela {

int trackAtPoint(SheetViewState& view, int x, int y)
{
    const int tracks = view.sheet().trackCount();
    if (tracks <= 0)
        return -1;
    // hitRow marks the track of a clef box as hovered; finding the row changes nothing.
    const int hovered = view.hoveredTrack;
    int found = -1;
    const int rows = std::min(view.rowsInUse(), view.rowCount());
    for (int r = std::max(view.firstVisibleRow, 0); r < rows; ++r) {
        if (view.rowTopInWindow(r) > view.layoutHeight)
            break;
        if (hitRow(view, view.row(r), x, y + view.scrollTop()))
            found = r % tracks;
    }
    view.hoveredTrack = hovered;
    return found;
}

bool runContextMenuItem(SheetEditor& editor, ContextMenuItem item, int track)
{
    SheetDocument& sheet = editor.sheet();
    if (item == ContextMenuItem::DeleteNotes) {
        const bool any = hasSelection(sheet);
        editor.deleteSelected();
        return any;
    }
    const Track* t = sheet.trackAt(track);
    if (!t)
        return false;
    const StaffKind kind = item == ContextMenuItem::FClef ? StaffKind::FClef : StaffKind::GClef;
    if (staffKindOf(*t) == kind)
        return false;
    editor.edit(SnapshotKind::TrackType, track, [&] { sheet.setTrackType(track, static_cast<int>(kind)); });
    return true;
}

} // namespace tonvela
