#include "shell/frame/command_table.h"

#include "editor/commands.h"
#include "playback/scheduler.h"
#include "shell/documents/chord_window.h"
#include "shell/documents/document_window.h"
#include "shell/documents/sheet_window.h"
#include "shell/frame/document_commands.h"
#include "shell/frame/main_window.h"
#include "shell/frame/page_dialogs.h"
#include "shell/frame/playback_commands.h"
#include "shell/frame/scale_diagram_commands.h"
#include "shell/frame/view_commands.h"

#include <QMdiArea>

#include <algorithm>

namespace tonvela {
namespace {

constexpr bool kSep = true;

bool newSheet(MainWindow& f)
{
    f.newSheet();
    return true;
}
bool newChordDocument(MainWindow& f)
{
    f.newChordDocument();
    return true;
}
bool open(MainWindow& f)
{
    f.documentCommands().openWithDialog();
    return true;
}
bool save(MainWindow& f)
{
    return f.documentCommands().save(false);
}
bool saveAs(MainWindow& f)
{
    return f.documentCommands().save(true);
}
bool importMidi(MainWindow& f)
{
    f.documentCommands().importMidi();
    return true;
}
bool exportLilypond(MainWindow& f)
{
    f.documentCommands().exportLilypond();
    return true;
}
bool exportMusicXml(MainWindow& f)
{
    f.documentCommands().exportMusicXml();
    return true;
}
bool exportSelectedTrack(MainWindow& f)
{
    f.documentCommands().exportMidi(true);
    return true;
}
bool exportAllTracks(MainWindow& f)
{
    f.documentCommands().exportMidi(false);
    return true;
}
bool print(MainWindow& f)
{
    return f.documentCommands().print();
}
bool pageSetup(MainWindow& f)
{
    SheetWindow* sheet = f.activeSheet();
    if (!sheet)
        return false;
    editPageSetup(sheet->sheet(), &f);
    return true;
}
bool printPreview(MainWindow& f)
{
    SheetWindow* sheet = f.activeSheet();
    if (!sheet)
        return false;
    showPrintPreview(sheet->view(), &f);
    return true;
}
bool properties(MainWindow& f)
{
    SheetWindow* sheet = f.activeSheet();
    if (!sheet)
        return false;
    editSheetProperties(sheet->sheet(), &f);
    return true;
}
bool exitProgram(MainWindow& f)
{
    f.close();
    return true;
}
bool quitAtOnce(MainWindow& f)
{
    f.quitAtOnce();
    return true;
}
bool showSheetOptions(MainWindow& f)
{
    f.showPanel(PanelContainer::Panel::Sheet);
    return true;
}
bool showChordOptions(MainWindow& f)
{
    f.showPanel(PanelContainer::Panel::Chord);
    return true;
}
bool cascade(MainWindow& f)
{
    f.mdiArea()->cascadeSubWindows();
    return true;
}
bool tile(MainWindow& f)
{
    f.mdiArea()->tileSubWindows();
    return true;
}
bool closeAll(MainWindow& f)
{
    return f.documentCommands().closeAll(false);
}
bool about(MainWindow& f)
{
    f.showAbout();
    return true;
}
bool website(MainWindow& f)
{
    f.openWebsite();
    return true;
}
bool play(MainWindow& f)
{
    return f.playbackCommands().play(PlayMode::Track);
}
bool playAll(MainWindow& f)
{
    return f.playbackCommands().play(PlayMode::All);
}
bool playEvents(MainWindow& f)
{
    return f.playbackCommands().play(PlayMode::Events);
}
bool stop(MainWindow& f)
{
    return f.playbackCommands().stop();
}
bool playOrStop(MainWindow& f)
{
    return f.playbackCommands().playOrStop();
}
bool togglePlayChordSymbols(MainWindow& f)
{
    return f.playbackCommands().toggleChordSymbols();
}

bool playTablaSample(MainWindow& f)
{
    f.playbackCommands().playTablaSample();
    return true;
}
bool playStartupWave(MainWindow& f)
{
    f.playbackCommands().playStartupWave();
    return true;
}

using enum Menu;
using enum Check;
using enum Enabled;
using enum Needs;

// clang-format off
const CommandRow kCommands[] = {
    // id                        menu     text                        shortcut  toolbar    check     sep    enabled              needs     handler
    {kCmdNewSheet,               File,    "New Sheet Document",       "Ctrl+N", Bar::None, Plain,     false, Always,              Nothing,  newSheet},
    {kCmdNewChordDocument,       File,    "New Chord Document",       "Ctrl+D", Bar::None, Plain,     false, Always,              Nothing,  newChordDocument},
    {kCmdOpen,                   File,    "Open",                     "Ctrl+O", Bar::None, Plain,     false, Always,              Nothing,  open},
    {kCmdSave,                   File,    "Save",                     "Ctrl+S", Bar::None, Plain,     false, Always,              Document, save},
    {kCmdSaveAs,                 File,    "Save As",                  "",       Bar::None, Plain,     false, Always,              Document, saveAs},
    {kCmdImportMidi,             File,    "Import MIDI",              "Ctrl+M", Bar::None, Plain,     kSep,  Always,              Nothing,  importMidi},
    {kCmdExportLilypond,         File,    "Export Lilypond",          "",       Bar::None, Plain,     false, Always,              Sheet,    exportLilypond},
    {kCmdExportMusicXml,         File,    "Export MusicXML...",       "",       Bar::None, Plain,     false, Always,              Sheet,    exportMusicXml},
    {kCmdSaveSelectedMidiTrack,  File,    "Save Selected MIDI Track", "",       Bar::None, Plain,     false, Always,              Sheet,    exportSelectedTrack},
    {kCmdSaveAllMidiTracks,      File,    "Save All MIDI Tracks",     "",       Bar::None, Plain,     false, Always,              Sheet,    exportAllTracks},
    {kCmdProperties,             File,    "Properties...",            "",       Bar::None, Plain,     kSep,  Always,              Sheet,    properties},
    {kCmdPageSetup,              File,    "Page Setup...",            "",       Bar::None, Plain,     false, Always,              Sheet,    pageSetup},
    {kCmdPrintPreview,           File,    "Print Preview",            "",       Bar::None, Plain,     false, Always,              Sheet,    printPreview},
    {kCmdPrint,                  File,    "Print",                    "Ctrl+P", Bar::None, Plain,     false, Always,              Document, print},
    {kCmdExit,                   File,    "Exit",                     "Ctrl+Q", Bar::None, Plain,     kSep,  Always,              Nothing,  exitProgram},
    {kCmdQuit,                   File,    "Quit at Once",             "F4",     Bar::None, Plain,     false, Always,              Nothing,  quitAtOnce},

    {kCmdUndo,                   Edit,    "Undo",                     "Ctrl+Z", Bar::None, Plain,     false, Always,              Document, nullptr},
    {kCmdRedo,                   Edit,    "Redo",                     "Ctrl+Y", Bar::None, Plain,     false, Always,              Document, nullptr},
    {kCmdCut,                    Edit,    "Cut",                      "Ctrl+X", Bar::None, Plain,     kSep,  WhenDocumentAnswers, Document, nullptr},
    {kCmdCopy,                   Edit,    "Copy",                     "Ctrl+C", Bar::None, Plain,     false, WhenDocumentAnswers, Document, nullptr},
    {kCmdPaste,                  Edit,    "Paste",                    "Ctrl+V", Bar::None, Plain,     false, WhenDocumentAnswers, Document, nullptr},
    {kCmdDelete,                 Edit,    "Delete",                   "Del",    Bar::None, Plain,     false, WhenDocumentAnswers, Document, nullptr},
    {kCmdClear,                  Edit,    "Clear",                    "Ctrl+E", Bar::None, Plain,     false, WhenDocumentAnswers, Document, nullptr},
    {kCmdSelectAll,              Edit,    "Select All",               "Ctrl+A", Bar::None, Plain,     false, WhenDocumentAnswers, Document, nullptr},
    // The chord document's commands (its page's context menu has them too).
    {kCmdRemoveDiagram,          Edit,    kRemoveDiagramText,         "",       Bar::None, Plain,     kSep,  WhenDocumentAnswers, Document, nullptr},
    {kCmdRemoveSelectedDiagrams, Edit,    kRemoveSelectedDiagramsText, "",      Bar::None, Plain,     false, WhenDocumentAnswers, Document, nullptr},
    {kCmdAddAllDiagramsToSheet,  Edit,    kAddAllDiagramsToSheetText, "",       Bar::None, Plain,     false, WhenDocumentAnswers, Document, nullptr},
    {kCmdAddSelectedDiagramsToSheet, Edit, kAddSelectedDiagramsToSheetText, "", Bar::None, Plain,     false, WhenDocumentAnswers, Document, nullptr},
    {kCmdChordSymbolEntry,       Edit,    "Chord Symbols",            "Ctrl+K", Bar::None, Option,    kSep,  WithSheet,           Sheet,    toggleChordSymbolEntry},

    // The View menu: the active sheet's zoom, and the panel container shown or hidden.
    {kCmdZoomIn,                 View,    "Zoom In",                  "Ctrl++", Bar::None, Plain,     false, WithSheet,           Sheet,    zoomIn},
    {kCmdZoomOut,                View,    "Zoom Out",                 "Ctrl+-", Bar::None, Plain,     false, WithSheet,           Sheet,    zoomOut},
    {kCmdZoomActual,             View,    "Actual Size",              "Ctrl+0", Bar::None, Plain,     false, WithSheet,           Sheet,    zoomActual},
    // Home and End belong to the sheet window (sheetWindowKeys), so fields and lists keep them.
    {kCmdGoToStart,              View,    "Go to Start",              "Home",   Bar::None, Plain,     kSep,  WhenDocumentAnswers, Document, nullptr},
    {kCmdGoToEnd,                View,    "Go to End",                "End",    Bar::None, Plain,     false, WhenDocumentAnswers, Document, nullptr},
    {kCmdChordDiagrams,          View,    "Chord Diagrams",           "",       Bar::None, Option,    kSep,  WithSheet,           Sheet,    toggleChordDiagrams},
    {kCmdShowPanels,             View,    "Show Panels",              "F9",     Bar::None, Shown,     kSep,  Always,              Nothing,  togglePanels},

    {kCmdShowSheetOptions,       Windows, "Show Sheet Options",       "",       Bar::None, Plain,     false, Always,              Nothing,  showSheetOptions},
    {kCmdShowChordOptions,       Windows, "Show Chord Options",       "",       Bar::None, Plain,     false, Always,              Nothing,  showChordOptions},
    {kCmdShowScaleDiagram,       Windows, "Show Scale Diagram",       "",       Bar::None, Plain,     false, Always,              Nothing,  showScaleDiagram},
    {kCmdCascade,                Windows, "Cascade Windows",          "",       Bar::None, Plain,     kSep,  Always,              Nothing,  cascade},
    // Not Ctrl+W: that is the toolkit's key for closing the active document window.
    {kCmdTile,                   Windows, "Tile Windows",             "Ctrl+Shift+T", Bar::None, Plain, false, Always,            Nothing,  tile},
    {kCmdCloseAll,               Windows, "Close All",                "",       Bar::None, Plain,     false, Always,              Nothing,  closeAll},

    {kCmdAbout,                  Help,    "About",                    "",       Bar::None, Plain,     false, Always,              Nothing,  about},
    {kCmdWebsite,                Help,    "Website",                  "",       Bar::None, Plain,     false, Always,              Nothing,  website},

    // The play menu; Play, Play All and Stop are the play toolbar's buttons too (the two blanks
    // after "Play" and "Stop" belong to the button texts).
    {kCmdPlay,                   Menu::Play, "Play  ",                "",       Bar::Play,  Playing,  false, WithPlayer,         Sheet,    play},
    {kCmdPlayAll,                Menu::Play, "Play All",              "",       Bar::Play,  Playing,  false, WithPlayer,         Sheet,    playAll},
    {kCmdEventPlayback,          Menu::Play, "Play MIDI Events",      "Ctrl+G", Bar::None,  Playing,  false, WithPlayer,         Sheet,    playEvents},
    {kCmdStop,                   Menu::Play, "Stop  ",                "",       Bar::Play,  Plain,    false, WithPlayer,         Nothing,  stop},
    // Space: every track from the current note, or Stop while the sheet plays. The sheet
    // window's key, like Home and End.
    {kCmdPlayOrStop,             Menu::Play, "Play from Current Note or Stop", "Space", Bar::None, Plain, false, WithPlayer,    Sheet,    playOrStop},
    {kCmdPlayChordSymbols,       Menu::Play, "Chord Symbols",         "",       Bar::None,  Option,   kSep,  WithPlayer,         Nothing,  togglePlayChordSymbols},
    {kCmdPlayTablaSample,        Menu::Play, "Play Tabla Sample",     "Ctrl+T", Bar::None,  Plain,    kSep,  Always,             Nothing,  playTablaSample},
    {kCmdPlayStartupWave,        Menu::Play, "Play Startup Sound",    "Ctrl+R", Bar::None,  Plain,    false, Always,             Nothing,  playStartupWave},

    // The cursor keys belong to the sheet window (it passes them to its editor), not to the
    // main window, so they never take the arrows from the panels' fields.
    {kCmdCursorUp,               Menu::None, "Up",                    "",       Bar::None, Plain,     false, Always,              Document, nullptr},
    {kCmdCursorDown,             Menu::None, "Down",                  "",       Bar::None, Plain,     false, Always,              Document, nullptr},
    {kCmdCursorLeft,             Menu::None, "Left",                  "",       Bar::None, Plain,     false, Always,              Document, nullptr},
    {kCmdCursorRight,            Menu::None, "Right",                 "",       Bar::None, Plain,     false, Always,              Document, nullptr},

    // The note toolbar: durations, then the modifier toggles.
    {kToolQuarter,               Menu::None, "Quarter",               "",       Bar::Notes, Duration, false, Always,             Document, nullptr},
    {kToolEighth,                Menu::None, "Eighth",                "",       Bar::Notes, Duration, false, Always,             Document, nullptr},
    {kToolSixteenth,             Menu::None, "Sixteenth",             "",       Bar::Notes, Duration, false, Always,             Document, nullptr},
    {kToolHalf,                  Menu::None, "Half",                  "",       Bar::Notes, Duration, false, Always,             Document, nullptr},
    {kToolWhole,                 Menu::None, "Whole",                 "",       Bar::Notes, Duration, false, Always,             Document, nullptr},
    {kToolThirtySecond,          Menu::None, "32nd",                  "",       Bar::Notes, Duration, false, Always,             Document, nullptr},
    {kToolRest,                  Menu::None, "Rest",                  "",       Bar::Notes, Toggle,   kSep,  Always,             Document, nullptr},
    {kToolDot,                   Menu::None, "Dot",                   "",       Bar::Notes, Toggle,   false, Always,             Document, nullptr},
    {kToolSharp,                 Menu::None, "Sharp",                 "",       Bar::Notes, Toggle,   false, Always,             Document, nullptr},
    {kToolFlat,                  Menu::None, "Flat",                  "",       Bar::Notes, Toggle,   false, Always,             Document, nullptr},
    {kToolNatural,               Menu::None, "Natural",               "",       Bar::Notes, Toggle,   false, Always,             Document, nullptr},
    {kToolTie,                   Menu::None, "Tie",                   "",       Bar::Notes, Toggle,   false, Always,             Document, nullptr},
    {kToolTriplet,               Menu::None, "Triplet",               "",       Bar::Notes, Toggle,   false, Always,             Document, nullptr},
    {kToolVoice2,                Menu::None, "Voice 2",               "",       Bar::Notes, Toggle,   kSep,  Always,             Document, nullptr},
    // The edit toolbar: the marker tools.
    {kToolBar,                   Menu::None, "Bar",                   "",       Bar::Edit,  Marker,   false, Always,             Document, nullptr},
    {kToolSpace,                 Menu::None, "Space",                 "",       Bar::Edit,  Marker,   false, Always,             Document, nullptr},
    {kToolStaffBreak,            Menu::None, "Staff Break",           "",       Bar::Edit,  Marker,   false, Always,             Document, nullptr},
    {kToolLyrics,                Menu::None, "Lyrics",                "",       Bar::Edit,  Marker,   false, Always,             Document, nullptr},
};
// clang-format on

} // namespace

std::span<const CommandRow> commandTable()
{
    return kCommands;
}

bool isSheetWindowKey(int id)
{
    return id == kCmdPlayOrStop || id == kCmdGoToStart || id == kCmdGoToEnd;
}

const CommandRow* findCommand(int id)
{
    const auto it = std::find_if(std::begin(kCommands), std::end(kCommands),
                                 [id](const CommandRow& row) { return row.id == id; });
    return it == std::end(kCommands) ? nullptr : &*it;
}

bool commandEnabled(const CommandRow& row, bool playerAvailable, const DocumentWindow* active)
{
    switch (row.enabled) {
    case Enabled::Always:
        return true;
    case Enabled::WithPlayer:
        return playerAvailable;
    case Enabled::WhenDocumentAnswers:
        return active && active->answers(row.id);
    case Enabled::WithSheet:
        return active && active->sheetEditor();
    case Enabled::Never:
        return false;
    }
    return false;
}

} // namespace tonvela
