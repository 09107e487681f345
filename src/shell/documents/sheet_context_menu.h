#pragma once

class QMenu;
class QWidget;

namespace tonvela {

class SheetEditor;

// The sheet window's context menu: "F Clef", "G Clef", "Group As Piano" and "Delete Notes", bound to the
// staff kind of `track` (the track under the pointer, -1 for none; the clef items are then disabled) and to
// deleting the selected notes; then, after a separator, the repeat items "Start Repeat", "End Repeat",
// "First Ending", "Second Ending" and "Remove Repeat", bound to `measure` (the measure under the pointer,
// from 1; 0 for none, which disables them; "Remove Repeat" is disabled too where no passage holds the
// measure). The caller shows it and deletes it.
QMenu* makeSheetContextMenu(SheetEditor& editor, int track, int measure, QWidget* parent);

} // namespace tonvela
