#pragma once

#include <QLineEdit>

namespace tonvela {

class SheetEditor;

// The chord-symbol box of a sheet window: one line over the sheet, shown while chord-symbol
// entry is on (Edit > Chord Symbols), standing above the staff at the current note and showing
// its symbol. What is typed becomes the note's symbol as soon as it names a chord (read by the
// names the files use: "cmin7" becomes "Cm7"; empty removes it), one undo step each, as the
// lyric box writes lyrics; a text that names no chord is shown red and the note keeps its last
// symbol. Space, Return or Tab goes on to the next note (not from a red text), Shift back;
// Escape ends the entry. The rules are the editor's
// (chord_symbol_editing.h); the box only shows them.
//
// Thread rules: user-interface thread.
class ChordSymbolBox : public QLineEdit {
  public:
    ChordSymbolBox(SheetEditor& editor, QWidget& sheetWindow);

    // Shows, places and fills the box as the editor says, or hides it; called after every
    // change of the sheet window's sheet, selection, scroll position or tools.
    void follow();

  protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // Writes the text to the note; false (and the text marked) when it names no chord.
    bool commit();
    void step(bool forward);
    void markInvalid(bool invalid);

    SheetEditor& m_editor;
    QWidget& m_sheetWindow;
    int m_track = -1;
    int m_note = -1;
};

} // namespace tonvela
