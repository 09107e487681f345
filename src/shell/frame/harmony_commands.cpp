#include "shell/frame/harmony_commands.h"

#include "editor/editing/chord_symbol_editing.h"
#include "editor/editing/sheet_editor.h"
#include "editor/editing/tool_state.h"
#include "harmony/chord_document.h"
#include "harmony/chord_entry.h"
#include "harmony/guitar_library.h"
#include "platform/notifier.h"
#include "shell/documents/chord_window.h"
#include "shell/documents/document_window.h"
#include "shell/frame/main_window.h"
#include "shell/panels/chord_panel.h"
#include "shell/panels/scale_panel.h"

namespace tonvela {

HarmonyCommands::HarmonyCommands(MainWindow& window) : QObject(&window), m_window(window)
{
    ChordPanel* chords = window.panels()->chordPanel();
    chords->onAddChord = [this](bool arpeggio) { addChord(arpeggio); };
    chords->onAddToSheet = [this] { addShapeToSheet(); };
    chords->onAddSymbol = [this] { addSymbol(); };
    chords->onAddDiagram = [this] { addDiagram(); };
    ScalePanel* scale = window.panels()->scalePanel();
    scale->onAddAsChord = [this] { addScale(true); };
    scale->onAddAsMelody = [this] { addScale(false); };
}

SheetEditor* HarmonyCommands::activeEditor()
{
    DocumentWindow* active = m_window.activeDocument();
    return active ? active->sheetEditor() : nullptr;
}

ChordEntryContext sheetEntryContext(MainWindow& window, SheetEditor& editor)
{
    ChordEntryContext ctx;
    ctx.toolbarType = sharedToolGroups().notes.currentId;
    ctx.tie = editor.tools().tie;
    ctx.dot = editor.tools().dot;
    ctx.currentTrack = editor.sheet().selectedTrack;
    ctx.rootOctaveEntry = window.panels()->scalePanel()->rootOctaveEntry();
    ctx.notifier = &window.services().notifier;
    // A command that adds nothing may still have cleared the selection: show that.
    ctx.relayout = [&editor] { editor.relayout(); };
    ctx.commit = [&editor](int track, const std::function<void()>& append) {
        editor.edit(SnapshotKind::Insert, track, append);
    };
    return ctx;
}

void keepCurrentTrack(SheetEditor& editor, const ChordEntryContext& ctx)
{
    if (ctx.currentTrack >= 0 && ctx.currentTrack != editor.sheet().selectedTrack)
        editor.selectTrack(ctx.currentTrack);
}

int HarmonyCommands::addChord(bool arpeggio)
{
    SheetEditor* editor = activeEditor();
    if (!editor)
        return 0;
    ChordEntryContext ctx = sheetEntryContext(m_window, *editor);
    const int added =
        addChordToSheet(&editor->sheet(), m_window.panels()->chordPanel()->selection(), arpeggio, ctx);
    keepCurrentTrack(*editor, ctx);
    return added;
}

bool HarmonyCommands::addSymbol()
{
    SheetEditor* editor = activeEditor();
    const ChordSelection& chosen = m_window.panels()->chordPanel()->selection();
    if (!editor || !chosen.complete())
        return false;
    const ChordSymbol symbol{spelledRootOfButton(chosen.rootIndex()), chosen.qualityIndex(), std::nullopt};
    if (addChordSymbolToCurrentNote(*editor, symbol))
        return true;
    m_window.services().notifier.error("Click a note of the sheet first: the chord symbol goes above the "
                                       "current note");
    return false;
}

int HarmonyCommands::addShapeToSheet()
{
    SheetEditor* editor = activeEditor();
    const GuitarChordEntry* shape = m_window.panels()->chordPanel()->picker().chosen();
    if (!editor || !shape)
        return 0;
    ChordEntryContext ctx = sheetEntryContext(m_window, *editor);
    const int added = addGuitarChordToSheet(&editor->sheet(), shape->fingering, shape->startFret, ctx);
    keepCurrentTrack(*editor, ctx);
    return added;
}

int HarmonyCommands::addDiagram()
{
    ChordWindow* window = m_window.activeChord();
    if (!window) {
        m_window.services().notifier.error(kNoDocumentForChordMessage, "Error");
        return 0;
    }
    const GuitarChordPicker& picker = m_window.panels()->chordPanel()->picker();
    return window->document().addDiagramFromLibrary(guitarLibrary(), picker.root(), picker.qualityName(),
                                                    picker.startFret(), &m_window.services().notifier)
               ? 1
               : 0;
}

int HarmonyCommands::addScale(bool asChord)
{
    SheetEditor* editor = activeEditor();
    if (!editor)
        return 0;
    ChordEntryContext ctx = sheetEntryContext(m_window, *editor);
    // The scale goes to the current track both ways: rows are laid out from the notes here, so
    // the sheet's last staff row is no place the user chose.
    const ScaleSelection scale = m_window.panels()->scalePanel()->selection();
    const int added = asChord ? addScaleAsChord(&editor->sheet(), scale, ctx)
                              : addScaleAsMelody(&editor->sheet(), scale, ctx);
    keepCurrentTrack(*editor, ctx);
    return added;
}

} // namespace tonvela
