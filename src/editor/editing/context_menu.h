#pragma once

#include <array>

namespace tonvela {

class SheetEditor;
class SheetViewState;

// The items of the sheet window's context menu, in menu order, and their texts.
enum class ContextMenuItem { FClef, GClef, GroupAsPiano, DeleteNotes };
inline constexpr std::array<const char*, 4> kContextMenuTexts = {"F Clef", "G Clef", "Group As Piano",
                                                                 "Delete Notes"};

// The track under a point of the window in sheet units: the track of the last row, in row order, for which
// hitRow holds among the rows the window shows; -1 when the point is on none of them. Leaves
// the hovered track as it was.
int trackAtPoint(SheetViewState& view, int x, int y);

// Runs an item of the context menu opened over `track` (trackAtPoint's answer). "F Clef" and
// "G Clef" give the track that staff kind, converting its notes, as one undoable edit (nothing
// without a track or when it already is that staff); "Delete Notes" deletes the selected
// notes. "Group As Piano" joins the track and the next one as the two staves of one piano part
// (a brace at the left of each system), or parts them again when the track already belongs
// to such a pair; one undoable edit, nothing for the last track alone. True when the sheet
// changed.
bool runContextMenuItem(SheetEditor& editor, ContextMenuItem item, int track);

} // namespace tonvela
