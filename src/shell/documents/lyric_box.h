#pragma once

#include "shell/documents/flowing_text_box.h"

namespace tonvela {

// The lyric box of a sheet window, 150 pixels wide, shown while the sheet's lyric mode is on
// and a track is selected. It stands below the staff at the lyric line of the current note and
// shows its lyric; every edit of its text becomes that lyric (one undo step per change, at most
// 127 characters, empty removes it). The rules are the editor's (tool_editing.h); the box only
// shows them.
//
// Lyrics flow as they are sung: Space or Tab goes on to the next note, a hyphen ends the
// syllable (which keeps it) and goes on, Shift+Space or Shift+Tab goes back; Escape and Return
// end the lyric tool and give the keyboard back to the sheet.
//
// Thread rules: user-interface thread.
class LyricBox : public FlowingTextBox {
  public:
    LyricBox(SheetEditor& editor, QWidget& sheetWindow);

  protected:
    FlowBoxPlacement placement() override;
    bool refillsAtTheSameNote() const override { return true; }
    void step(bool forward) override;
    void endEntry() override;
    void typed(const QKeyEvent& key) override;
};

} // namespace tonvela
