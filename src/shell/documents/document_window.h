#pragma once

#include "editor/print_paging.h"
#include "platform/atomic_file.h"
#include "shell/panels/panel_container.h"

#include <QPageLayout>
#include <QStringList>

#include <cstdint>
#include <functional>

#include <optional>
#include <string>

class QWidget;

namespace tonvela {

class SheetDocument;
class SheetEditor;

// A document's content copied at one moment for its recovery file: the kind of document
// (recovery_store.h) and what makes its file text from the copy, on any thread, later.
struct RecoveryCopy {
    std::string kind;
    std::function<std::string()> fileText;
};

inline constexpr const char* kAllFilesFilter = "All Files (*.*)";

// The file's name after its last folder separator.
std::string fileTitle(const std::string& path);

// One window of the document area as the frame sees it, whatever it shows (a sheet, a chord
// document, the scale diagram): its caption, how it saves and prints, which commands it
// answers, what the panels show while it is active. The frame works through this interface
// only and never asks which kind of window it holds.
//
// Thread rules: user-interface thread.
class DocumentWindow {
  public:
    virtual ~DocumentWindow() = default;

    virtual QWidget& widget() = 0;

    // The title without the modified mark; the caption is the title and "*" while modified.
    virtual std::string title() const = 0;
    virtual bool isModified() const = 0;

    // Saving. The file it was loaded from or last saved to; empty when Save must ask.
    virtual std::string path() const { return {}; }
    // The filter entries of its Save As dialog; none when the window has nothing to save.
    virtual QStringList saveFilters() const { return {}; }
    // Writes the document to `path` under `title` in the format of entry `filterIndex` of
    // saveFilters() (an entry may write another format, leaving the document unsaved).
    virtual FileResult saveTo(const std::string& /*path*/, const std::string& /*title*/, int /*filterIndex*/)
    {
        return FileResult::failure("there is nothing to save");
    }

    // A copy of the document as it is now for its recovery file; none for windows with
    // nothing to keep. Cheap: the file text is made from the copy elsewhere.
    virtual std::optional<RecoveryCopy> recoveryCopy() const { return std::nullopt; }
    // A count that moves with every change of the document, for the autosave to skip copying
    // a document that did not change; none where the document keeps no count (copied every
    // time).
    virtual std::optional<uint64_t> changeCount() const { return std::nullopt; }

    // Printing; canPrint() is false for windows that have nothing to print.
    virtual bool canPrint() const { return false; }
    virtual PrintResult print(Printer& /*printer*/) { return {false, 0, "there is nothing to print"}; }
    // The page the document prints on, as its page setup says; none for the printer's own.
    virtual std::optional<QPageLayout> pageLayout() const { return std::nullopt; }

    // Commands the document answers itself (undo, redo, edits and tools of a sheet):
    // answers() says which (menu items of the others are disabled), command() runs one and is
    // true when the document took it.
    virtual bool answers(int /*commandId*/) const { return false; }
    virtual bool command(int /*commandId*/) { return false; }

    // The editor of the sheet this window shows, for what acts on a score (play, export,
    // the sheet options panel); null when it shows none.
    virtual SheetEditor* sheetEditor() { return nullptr; }
    virtual const SheetEditor* sheetEditor() const { return nullptr; }
    SheetDocument* shownSheet();
    const SheetDocument* shownSheet() const;

    // The entry of the "MIDI Device:" list its sheet plays on; false from setMidiDevice when
    // the window plays nothing.
    virtual int midiDevice() const { return 0; }
    virtual bool setMidiDevice(int /*device*/) { return false; }

    // The panel the container shows when the window becomes active; none keeps the current.
    virtual std::optional<PanelContainer::Panel> panelOnActivation() const { return std::nullopt; }

    // Sounding notes changed or a playback ended: repaint what shows them.
    virtual void playbackChanged() {}
    // Where Play starts and a playback stands, on the length bar's scale (0..kSliderRange).
    virtual int playPosition() const { return 0; }
    virtual void setPlayPosition(int /*position*/) {}
    // A playback reached `measure` (numbered from 1) of the first track: show its row.
    virtual void showMeasure(int /*measure*/) {}
};

} // namespace tonvela
