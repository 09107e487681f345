#pragma once

#include "platform/load_result.h"
#include "score/export_formats.h"

#include <QString>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace tonvela {

class DocumentWindow;
class MainWindow;
class SheetDocument;

// The path a document holds for a file named `path`: absolute, with "." and ".." resolved and,
// as far as the file or its folders exist, symbolic links too, so two names of one file are
// one document and a relative name never depends on the folder a later start runs in.
std::string documentPath(const std::string& path);

// The formats the desktop's export commands write: every export format of the core.
const ExportFormats& desktopExportFormats();

// The frame's commands on documents and files: open (by extension or root element), import
// MIDI, save and save as, export LilyPond, MusicXML and MIDI, print, and the close questions. Failures
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
    // Opens a MIDI file (known by its content, or by a .mid, .midi or .smf name) as an
    // imported sheet, or a sheet or chord document by its root element. A file that is open
    // already brings its window forward instead. False (and an "Error" message) when nothing
    // was opened.
    bool openFile(const std::string& path);
    // Opens every file as openFile does, but says what failed in one "Error" message (naming
    // at most kMaxFilesNamed files and how many more failed) and what was left out in one
    // warning, however many files there are. Returns how many opened.
    int openFiles(const std::vector<std::string>& paths);
    // The window that shows the file at `path` (the same file by its canonical path), or null.
    DocumentWindow* openDocumentOf(const std::string& path) const;
    void importMidi();
    // Save (asking=false) or Save As (asking=true) of the active document.
    bool save(bool asking);
    bool saveDocument(DocumentWindow& document, bool asking);
    // With an active sheet; without one they do nothing.
    void exportLilypond();
    // MusicXML, compressed (.mxl) when the chosen name ends so.
    void exportMusicXml();
    void exportMidi(bool selectedTrackOnly);
    // Writes the active sheet in one of the export formats named by their extensions: the save
    // dialog (titled `caption`) offers their filters, the first as the default, and the chosen
    // name's extension picks among them. A failure says "Could not <verb> <path>: ...".
    void exportSheet(const QString& caption, const std::vector<std::string>& extensions,
                     const ExportOptions& options, const std::string& verb);
    // False when the active document cannot print.
    bool print();

    // Asks "Save file %s?" for a modified document (stopping its playback first); true when
    // it may close.
    bool confirmClose(DocumentWindow& document);
    // Closes every document; false when they all stay open. Every save question is asked
    // first, and only when none was cancelled do the windows close. While a sheet plays,
    // Close All only stops it; `exiting` stops it and carries on closing.
    bool closeAll(bool exiting);

    // A document was opened from its own file (a sheet or chord document, not an import).
    std::function<void(const DocumentWindow& document)> onOpened;
    // A file was opened, imported or saved as a document (not an export).
    std::function<void(const std::string& path)> onFileUsed;
    // A document was written to a file by Save or Save As (it may still be modified when it
    // was written in another format).
    std::function<void(const DocumentWindow& document)> onSaved;

    static constexpr int kMaxFilesNamed = 10;

  private:
    // The messages of several opens, gathered to be shown as one.
    struct Gathered {
        std::vector<std::string> failures; // "path: why"
        std::string firstFailure;          // the whole message of the first
        std::vector<std::string> warnings; // one text per file
    };
    void warn(const std::string& text);
    bool openPath(const std::string& path);
    void opened(const DocumentWindow& document);
    // Shows a sheet that an import made from `path` (MIDI, MusicXML) in a new window, or the
    // import's message when it failed; its warnings follow in one box.
    bool showImported(const std::string& path, const LoadResult& result,
                      std::unique_ptr<SheetDocument> sheet);
    void used(const std::string& path);
    bool failed(const std::string& what, const std::string& path, const std::string& error);

    MainWindow& m_frame;
    // Documents whose question Close All has asked, while it closes them.
    std::set<const DocumentWindow*> m_confirmed;
    Gathered* m_gathered = nullptr; // while openFiles runs
};

} // namespace tonvela
