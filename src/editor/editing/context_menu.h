#pragma once

#include <array>

namespace tonvela {

class SheetEditor;
class SheetViewState;

// The items of the sheet window's context menu, in menu order, and their texts.
enum class ContextMenuItem {
    FClef,
    GClef,
    GroupAsPiano,
    DeleteNotes,
    StartRepeat,
    EndRepeat,
    FirstEnding,
    SecondEnding,
    RemoveRepeat
};
inline constexpr std::array<const char*, 9> kContextMenuTexts = {
    "F Clef",     "G Clef",       "Group As Piano", "Delete Notes", "Start Repeat",
    "End Repeat", "First Ending", "Second Ending",  "Remove Repeat"};

// Whether an item acts on the measure under the pointer (the repeated passages) rather than on
// its track.
constexpr bool actsOnMeasure(ContextMenuItem item)
{
    return item >= ContextMenuItem::StartRepeat;
}

// The track under a point of the window in sheet units: the track of the last row, in row order, for which
// hitRow holds among the rows the window shows; -1 when the point is on none of them. Leaves
// the hovered track as it was.
int trackAtPoint(SheetViewState& view, int x, int y);

// The measure (from 1) under a point of the window in sheet units: on the row trackAtPoint finds,
// the last measure laid out on that row whose opening bar line lies at or left of x (the row's
// first measure for a point left of every bar line); 0 when the point is on no row or the row
// holds no measure.
int measureAtPoint(SheetViewState& view, int x, int y);

// Runs an item of the context menu opened over `track` (trackAtPoint's answer). "F Clef" and
// "G Clef" give the track that staff kind, converting its notes, as one undoable edit (nothing
// without a track or when it already is that staff); "Delete Notes" deletes the selected
// notes. "Group As Piano" joins the track and the next one as the two staves of one piano part
// (a brace at the left of each system), or parts them again when the track already belongs
// to such a pair; one undoable edit, nothing for the last track alone. The repeat items act on
// `measure` (measureAtPoint's answer) for the whole system, each one undoable edit
// (score/system_repeats.h): "Start Repeat" opens a range there, "End Repeat" closes the range
// opened last before it, "First Ending" makes the measure and the rest of its range the first
// ending, "Second Ending" makes the measure after a range its second ending, "Remove Repeat"
// removes the range holding the measure. True when the sheet changed.
bool runContextMenuItem(SheetEditor& editor, ContextMenuItem item, int track, int measure = 0);

} // namespace tonvela
