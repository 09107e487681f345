#pragma once

#include <string>

namespace tonvela {

class DocumentWindow;
class MainWindow;

// The frame's commands on documents and files: open (by extension or root element), import
// MIDI, save and save as, export LilyPond and MIDI, print, and the close questions. Failures
// are shown as "Error" messages and load warnings as warnings; nothing fails silently.
//
// No unsaved change is lost: closing a modified document asks "Save file %s?" with Yes, No
// and Cancel, and Cancel, a cancelled save dialog or a failed save keep it open.
//
// Thread rules: user-interface thread.
class DocumentCommands {
  public:
    explicit DocumentCommands(MainWindow& frame) : m_frame(frame) {}

    void openWithDialog();
    // Opens a .mid file as an imported sheet, or a sheet or chord document by its root
    // element. False (and an "Error" message) when nothing was opened.
    bool openFile(const std::string& path);
    void importMidi();
    // Save (asking=false) or Save As (asking=true) of the active document.
    bool save(bool asking);
    bool saveDocument(DocumentWindow& document, bool asking);
    // With an active sheet; without one they do nothing.
    void exportLilypond();
    void exportMidi(bool selectedTrackOnly);
    // False when the active document cannot print.
    bool print();

    // Asks "Save file %s?" for a modified document (stopping its playback first); true when
    // it may close.
    bool confirmClose(DocumentWindow& document);
    // Closes every document with its save question; false when one stayed open. While a
    // sheet plays, Close All only stops it; `exiting` stops it and carries on closing.
    bool closeAll(bool exiting);

  private:
    bool failed(const std::string& what, const std::string& path, const std::string& error);

    MainWindow& m_frame;
};

} // namespace tonvela
