#pragma once

#include "score/note.h"

namespace tonvela {

// Command identifiers of the menus, accelerators and toolbar buttons. The sheet editor answers
// some of them (undo, redo, the note tools) and the frame the rest, so they live with the
// editor, below the shell. The numbers are the ones stored tool state and the editor's tool
// handling use, so they stay as they are.
enum CommandId : int {
    kCmdQuit = 16, // F4: write the placement and quit
    kCmdNewSheet = 40073,
    kCmdNewChordDocument = 40025,
    kCmdOpen = 40022,
    kCmdPrint = 40088,
    kCmdPageSetup = 40341,    // File > Page Setup: staff size, paper, orientation, margins
    kCmdPrintPreview = 40342, // File > Print Preview
    kCmdProperties = 40343,   // File > Properties: title, composer and the other page texts
    kCmdSave = 40101,
    kCmdSaveAs = 40023,
    kCmdImportMidi = 40183,
    kCmdExportLilypond = 40175,
    kCmdExportMusicXml = 40311,
    kCmdSaveSelectedMidiTrack = 40172,
    kCmdSaveAllMidiTracks = 40107,
    kCmdExit = 40080,
    kCmdUndo = 40152,
    kCmdRedo = 40158,
    kCmdCut = 40128,
    kCmdCopy = 40084,
    kCmdPaste = 40085,
    kCmdDelete = 40006,
    kCmdClear = 40029,
    kCmdSelectAll = 40098,
    kCmdShowScaleDiagram = 40034,
    kCmdShowChordOptions = 40125,
    kCmdShowSheetOptions = 40127,
    kCmdCascade = 40083,
    kCmdTile = 40097,
    kCmdCloseAll = 40079,
    kCmdAbout = 40071,
    kCmdWebsite = 40145,
    kCmdPlay = 1051,
    kCmdPlayAll = 1328,
    kCmdStop = 1068,
    kCmdCursorUp = 40003,
    kCmdCursorDown = 40004,
    kCmdCursorLeft = 40009,
    kCmdCursorRight = 40010,
    kCmdEventPlayback = 40177,
    kCmdPlayTablaSample = 40091, // Ctrl+T: the bank "../Tabla.sf2", loaded once, plays sample 0
    kCmdPlayStartupWave = 40176, // Ctrl+R: "../startup.wav" on a stream of its own
    // The View menu.
    kCmdZoomIn = 40301,
    kCmdZoomOut = 40302,
    kCmdZoomActual = 40303,
    kCmdShowPanels = 40304, // the panel container shown or hidden
    // The keys of a sheet window: Space plays the sheet from the current note or stops it;
    // Home and End go to the sheet's start and end.
    kCmdPlayOrStop = 40305,
    kCmdGoToStart = 40306,
    kCmdGoToEnd = 40307,
    // Chord symbols: typing them above the notes (Edit), their guitar diagrams (View, kept
    // with the sheet) and sounding them with the sheet (Play).
    kCmdChordSymbolEntry = 40312,
    kCmdChordDiagrams = 40313,
    kCmdPlayChordSymbols = 40314,
    // Commands of the active chord document (its context menu and the Edit menu).
    kCmdRemoveDiagram = 1003, // the diagram last clicked or right-clicked
    kCmdAddAllDiagramsToSheet = 1008,
    kCmdAddSelectedDiagramsToSheet = 1009,
    kCmdRemoveSelectedDiagrams = 1011,
    kCmdToggleTablature = 1034, // the current track to tablature and back

    // Note toolbar. A duration button's id is the type code of the notes it enters, and the
    // Sharp and Flat buttons carry the codes of the sharp and flat marks.
    kToolWhole = kTypeWhole,
    kToolHalf = kTypeHalf,
    kToolQuarter = kTypeQuarter,
    kToolEighth = kTypeEighth,
    kToolSixteenth = kTypeSixteenth,
    kToolThirtySecond = kTypeThirtySecond,
    kToolRest = 1131,
    kToolDot = 1128,
    kToolSharp = kTypeSharpMark,
    kToolFlat = kTypeFlatMark,
    kToolNatural = 1179,
    kToolTie = 1124,
    kToolTriplet = 1135,
    kToolVoice2 = 40315, // the toggle under which clicks and note keys enter the second voice
    // Edit toolbar: the marker tools enter the special notes of the same type code.
    kToolBar = kTypeBar,
    kToolSpace = kTypeSpace,
    kToolStaffBreak = kTypeStaffBreak,
    kToolLyrics = 1138,
    // Tools without a button.
    kToolMark1130 = 1130,           // applies its own number as the kind of the selected notes
    kToolMark200 = 1133,            // the toggle of note flag 0x200
    kToolKind1136 = 1136,           // accepted, changes nothing
    kToolLyricsAlias = 1137,        // the Lyrics tool under a second number
    kToolRowMarker = kTypeMark1737, // a click flips the row marker of the clicked row
    kToolHandsOff = kTypeMark1740,  // the pointer neither previews nor edits
    kToolAudioClip = kTypeAudioClip,
    kToolMark1743 = kTypeMark1743,
};

} // namespace tonvela
