#pragma once

#include <QLineEdit>

namespace tonvela {

class SheetEditor;

// The lyric box of a sheet window: one line of text over the sheet, 150 x 24 pixels in Arial
// of 14 pixels, shown while the sheet's lyric mode is on and a track is selected. It stands
// above the current note and shows its lyric; every edit of its text becomes that lyric (one
// undo step per change, at most 127 characters, empty removes it). The rules are the editor's
// (tool_editing.h); the box only shows them.
//
// Keys typed into the box stay in it: none reaches the sheet's tool and note keys. Lyrics flow
// as they are sung: Space or Tab goes on to the next note, a hyphen ends the syllable (which
// keeps it) and goes on, Shift+Space or Shift+Tab goes back; Escape and Return end the lyric
// tool and give the keyboard back to the sheet. The box stands below the staff at the lyric
// line.
//
// Thread rules: user-interface thread.
class LyricBox : public QLineEdit {
  public:
    LyricBox(SheetEditor& editor, QWidget& sheetWindow);

    // Shows, places and fills the box as the editor says, or hides it. The sheet window calls
    // it after every change of its sheet, selection, scroll position or tools. When the box
    // appears at a note or moves to another one while the sheet has the keyboard, it takes it;
    // with no note to write to it is read-only.
    void follow();

  protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    SheetEditor& m_editor;
    QWidget& m_sheetWindow;
    int m_track = -1;
    int m_note = -1;
};

} // namespace tonvela
