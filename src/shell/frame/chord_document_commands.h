#pragma once

namespace tonvela {

class ChordWindow;
class MainWindow;
class SheetWindow;

// What a chord document's window needs of the frame. Its Add All Diagrams To Sheet and Add
// Selected Diagrams To Sheet add the diagrams, in order, to the current track of the sheet
// that was active last (the chord document is the active document while they run), each
// diagram one undoable edit of that sheet; with no sheet open they say so.
//
// Thread rules: user-interface thread.
void connectChordWindow(MainWindow& frame, ChordWindow& window);

// The sheet window active most recently, or null when no sheet is open.
SheetWindow* lastActiveSheet(const MainWindow& frame);

// Adds the window's diagrams (or its selected ones) to that sheet; returns how many notes.
int addDiagramsToLastSheet(MainWindow& frame, ChordWindow& window, bool selectedOnly);

} // namespace tonvela
