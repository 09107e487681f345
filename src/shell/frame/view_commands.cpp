#include "shell/frame/view_commands.h"

#include "editor/commands.h"
#include "editor/editing/chord_symbol_editing.h"
#include "editor/editing/sheet_editor.h"
#include "platform/sheet_lock.h"
#include "score/sheet_document.h"
#include "shell/documents/document_window.h"
#include "shell/frame/main_window.h"
#include "shell/frame/panel_dock.h"
#include "shell/frame/playback_commands.h"

#include <algorithm>
#include <cmath>

namespace tonvela {
namespace {

SheetEditor* activeEditor(MainWindow& frame)
{
    DocumentWindow* active = frame.activeDocument();
    return active ? active->sheetEditor() : nullptr;
}

// Runs `change` on the active sheet's editor and shows the new zoom in the "Scale:" field.
template <class Change> bool changeZoom(MainWindow& frame, Change change)
{
    SheetEditor* editor = activeEditor(frame);
    if (!editor)
        return false;
    change(*editor);
    frame.updatePanels();
    return true;
}

} // namespace

void stepSheetZoom(SheetEditor& editor, bool in)
{
    // A zoom read from a file may lie between tenths (0.93): the first step lands on a tenth.
    const float tenths = std::round((editor.zoom() + (in ? kZoomStep : -kZoomStep)) * 10.0f);
    editor.setZoom(std::clamp(tenths / 10.0f, kMinZoom, kMaxZoom));
}

bool zoomIn(MainWindow& frame)
{
    return changeZoom(frame, [](SheetEditor& e) { stepSheetZoom(e, true); });
}

bool zoomOut(MainWindow& frame)
{
    return changeZoom(frame, [](SheetEditor& e) { stepSheetZoom(e, false); });
}

bool zoomActual(MainWindow& frame)
{
    return changeZoom(frame, [](SheetEditor& e) { e.setZoom(1.0f); });
}

bool toggleChordSymbolEntry(MainWindow& frame)
{
    SheetEditor* editor = activeEditor(frame);
    if (!editor)
        return false;
    toggleChordSymbolMode(*editor);
    return true;
}

bool toggleChordDiagrams(MainWindow& frame)
{
    SheetEditor* editor = activeEditor(frame);
    if (!editor)
        return false;
    {
        const SheetLockGuard lock(sheetLock());
        SheetDocument& sheet = editor->sheet();
        sheet.chordDiagrams = !sheet.chordDiagrams;
        sheet.markModified();
    }
    editor->relayout();
    return true;
}

bool optionChecked(MainWindow& frame, int commandId)
{
    SheetEditor* editor = activeEditor(frame);
    switch (commandId) {
    case kCmdChordSymbolEntry:
        return editor && editor->tools().chordSymbolMode;
    case kCmdChordDiagrams:
        return editor && editor->sheet().chordDiagrams;
    case kCmdPlayChordSymbols:
        return frame.hasPlaybackCommands() && frame.playbackCommands().chordSymbols();
    default:
        return false;
    }
}

bool togglePanels(MainWindow& frame)
{
    PanelDock& dock = frame.panelDockControl();
    dock.setShownByUser(!dock.isShown());
    return true;
}

} // namespace tonvela
