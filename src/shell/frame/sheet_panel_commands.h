#pragma once

#include <QObject>

namespace tonvela {

class DocumentWindow;
class MainWindow;
class SheetEditor;
class SheetOptionsPanel;
class SoundFontPreview;

inline constexpr const char* kNoDocumentForMidiMessage = "No document open to change MIDI setting";
inline constexpr const char* kNoSheetForMidiMessage = "No sheet document active to change MIDI setting";

// What the sheet options panel's lists, fields and sliders do in the main window. Each change
// of the active sheet is one undoable edit of its sheet editor (sheet_options.h); the panel then
// shows the sheet as it is. Without an active sheet, "MIDI Device:" and "Group:" say
// kNoDocumentForMidiMessage, "Instrument:" and "Drum:" kNoSheetForMidiMessage (each in an
// "Error" box through the main window's notifier), and the other controls do nothing. "Browse"
// plays sample 3 of a SoundFont bank the user picks (SoundFontPreview).
//
// Created by the main window as its child, after the panels; lives as long as the window.
//
// Thread rules: user-interface thread.
class SheetPanelCommands : public QObject {
  public:
    explicit SheetPanelCommands(MainWindow& window);

    // "Browse": asks for a SoundFont file and previews it while a sheet is active.
    void browse();
    SoundFontPreview& preview() { return *m_preview; }

  private:
    void wireLists();
    void wireFields();
    SheetEditor* activeEditor();
    // Shows an "Error" with `message`.
    void refuse(const char* message);

    MainWindow& m_window;
    SoundFontPreview* m_preview;
};

// Shows the sheet of the active document in the sheet options panel, or no sheet.
void showSheetOptions(SheetOptionsPanel& panel, DocumentWindow* active);

} // namespace tonvela
