#pragma once

#include "editor/editing/tool_editing.h"

#include <QLineEdit>

namespace tonvela {

class SheetEditor;

// A one-line box over a sheet window that flows from note to note: the lyric box and the
// chord-symbol box. It stands where the editor places it (FlowBoxPlacement), shows the text of
// its note and keeps every key typed into it: none reaches the sheet's tool and note keys.
// Space or Tab goes on to the next note and Shift back; Escape ends the entry and gives the
// keyboard back to the sheet. What a box writes, and what Return does, is its own.
//
// Thread rules: user-interface thread.
class FlowingTextBox : public QLineEdit {
  public:
    // Shows, places and fills the box as the editor says, or hides it. The sheet window calls
    // it after every change of its sheet, selection, scroll position or tools. When the box
    // appears at a note or moves to another one while the sheet has the keyboard, it takes it
    // with the note's text selected, so typing replaces it; with no note to write to it is
    // read-only.
    void follow();

  protected:
    // `width` in pixels; the text is Arial of 14 pixels in a box 24 pixels high.
    FlowingTextBox(SheetEditor& editor, QWidget& sheetWindow, const QString& objectName, int width, bool bold,
                   int maxLength);

    // Where the box stands now and what its note holds.
    virtual FlowBoxPlacement placement() = 0;
    // Whether the box shows its note's text again while it stays at the same note (after an
    // undo, say); a box that keeps a half-typed text there says no.
    virtual bool refillsAtTheSameNote() const = 0;
    // Goes on to the next note (forward) or back to the one before.
    virtual void step(bool forward) = 0;
    // Ends the entry (Escape); the keyboard is already the sheet's.
    virtual void endEntry() = 0;
    // Return or Enter: ends the entry unless a box steps on with it.
    virtual bool returnSteps() const { return false; }
    // After a key the line took as typing.
    virtual void typed(const QKeyEvent&) {}
    // After the box moved to another note and showed its text.
    virtual void movedToNote() {}

    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

    SheetEditor& m_editor;
    QWidget& m_sheetWindow;

  private:
    void finish();

    int m_track = -1;
    int m_note = -1;
};

} // namespace tonvela
