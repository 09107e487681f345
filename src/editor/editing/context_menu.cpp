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
    if (item == ContextMenuItem::GroupAsPiano)
        return groupAsPiano(editor, track);
    const StaffKind kind = item == ContextMenuItem::FClef ? StaffKind::FClef : StaffKind::GClef;
    if (staffKindOf(*t) == kind)
        return false;
    editor.edit(SnapshotKind::TrackType, track, [&] { sheet.setTrackType(track, static_cast<int>(kind)); });
    return true;
}

} // namespace tonvela
