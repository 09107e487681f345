#pragma once

#include "shell/documents/flowing_text_box.h"

namespace tonvela {

// The chord-symbol box of a sheet window, 110 pixels wide in bold, shown while chord-symbol
// entry is on (Edit > Chord Symbols), standing above the staff at the current note and showing
// its symbol. What is typed becomes the note's symbol as soon as it names a chord (read by the
// names the files use: "cmin7" becomes "Cm7"; empty removes it), one undo step each, as the
// lyric box writes lyrics; a text that names no chord is shown red and the note keeps its last
// symbol. Space, Return or Tab goes on to the next note (not from a red text), Shift back;
// Escape ends the entry. The rules are the editor's (chord_symbol_editing.h); the box only
// shows them.
//
// Thread rules: user-interface thread.
class ChordSymbolBox : public FlowingTextBox {
  public:
    ChordSymbolBox(SheetEditor& editor, QWidget& sheetWindow);

  protected:
    FlowBoxPlacement placement() override;
    // A half-typed name stays in the box until it names a chord.
    bool refillsAtTheSameNote() const override { return false; }
    void step(bool forward) override;
    void endEntry() override;
    bool returnSteps() const override { return true; }
    void movedToNote() override { markInvalid(false); }

  private:
    // Writes the text to the note; false (and the text marked) when it names no chord.
    bool commit();
    void markInvalid(bool invalid);
};

} // namespace tonvela
