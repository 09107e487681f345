#pragma once

#include <QObject>

namespace tonvela {

class MainWindow;
class SheetEditor;
struct ChordEntryContext;

// What the chord and scale panels' buttons do in the main window: "Add Chord", "Add Arpeggio",
// "Add To Sheet", "Add As Chord" and "Add As Melody" append to the current track of the active
// sheet, each as one undoable edit of its sheet editor (the sheet lock held, one undo snapshot,
// the sheet laid out again); without an active sheet they do nothing. "Add Diagram" adds the
// library shape to the active chord document, or says that none is open. Messages (a full
// track, a full chord page) go to the main window's notifier.
//
// Created by the main window as its child, after the panels; lives as long as the window.
//
// Thread rules: user-interface thread.
class HarmonyCommands : public QObject {
  public:
    explicit HarmonyCommands(MainWindow& window);

    // The buttons' actions; each returns how many notes (or diagrams) it added.
    int addChord(bool arpeggio);
    int addShapeToSheet();
    // "Add Symbol": the generated chord as the chord symbol of the active sheet's current note.
    // Says so when no note is current (or it is a rest or bar line); false then, and when no
    // chord is chosen or no sheet is active.
    bool addSymbol();
    int addDiagram();
    int addScale(bool asChord);

  private:
    // The active sheet's editor, or null.
    SheetEditor* activeEditor();

    MainWindow& m_window;
};

// The entry context of a sheet editor of the window: the note toolbar's duration, its Tie and
// Dot toggles, the current track, the "Root Octave:" choice, and the editor's edit as the way
// the notes go in.
ChordEntryContext sheetEntryContext(MainWindow& window, SheetEditor& editor);
// Makes the track the command chose (track 0 when none was current) the sheet's current one.
void keepCurrentTrack(SheetEditor& editor, const ChordEntryContext& ctx);

} // namespace tonvela
