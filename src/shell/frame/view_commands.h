#pragma once

namespace tonvela {

class MainWindow;
class SheetEditor;

// The View menu's commands, as handlers of the command table: the zoom of the active sheet
// (in and out by the zoom step, back to 100 %) and the panel container shown or hidden. True
// when handled.
bool zoomIn(MainWindow& frame);
bool zoomOut(MainWindow& frame);
bool zoomActual(MainWindow& frame);
bool togglePanels(MainWindow& frame);
// Edit > Chord Symbols: the active sheet's chord-symbol box on or off.
bool toggleChordSymbolEntry(MainWindow& frame);
// View > Chord Diagrams: the active sheet's symbols show their guitar diagrams, or not; kept
// with the sheet (it is marked changed) and laid out again.
bool toggleChordDiagrams(MainWindow& frame);
// The check of an Option row for the active document.
bool optionChecked(MainWindow& frame, int commandId);

// One zoom step of the sheet in the direction given, to the nearest tenth, within what drawing
// accepts.
void stepSheetZoom(SheetEditor& editor, bool in);

} // namespace tonvela
