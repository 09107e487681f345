#pragma once

class QMenu;
class QWidget;

namespace tonvela {

class SheetEditor;

// The sheet window's context menu: "F Clef", "G Clef", "Group As Piano" and "Delete Notes", bound to the
// staff kind of `track` (the track under the pointer, -1 for none; the clef items are then disabled) and to
// deleting the selected notes. The caller shows it and deletes it.
QMenu* makeSheetContextMenu(SheetEditor& editor, int track, QWidget* parent);

} // namespace tonvela
