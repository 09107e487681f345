#include "shell_test_support.h"

#include "editor/commands.h"
#include "shell/documents/chord_window.h"
#include "shell/frame/command_table.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QSpinBox>
#include <QTest>
#include <QToolBar>

#include <map>
#include <set>

namespace tonvela::test {
namespace {

TEST(CommandTableTest, EveryIdIsDefinedOnceAndNoTwoShortcutsAreTheSame)
{
    std::set<int> ids;
    std::map<QString, int> shortcuts;
    for (const CommandRow& row : commandTable()) {
        EXPECT_TRUE(ids.insert(row.id).second) << "id " << row.id << " has two rows";
        EXPECT_EQ(findCommand(row.id), &row);
        if (!*row.shortcut)
            continue;
        const QString keys = QKeySequence(QString::fromLatin1(row.shortcut)).toString();
        ASSERT_FALSE(keys.isEmpty()) << row.shortcut << " is no key";
        const auto [at, fresh] = shortcuts.emplace(keys, row.id);
        EXPECT_TRUE(fresh) << row.shortcut << " runs both " << at->second << " and " << row.id;
    }
    // Every command id has its row.
    for (int id : {kCmdQuit,
                   kCmdNewSheet,
                   kCmdNewChordDocument,
                   kCmdOpen,
                   kCmdPrint,
                   kCmdPageSetup,
                   kCmdPrintPreview,
                   kCmdProperties,
                   kCmdSave,
                   kCmdSaveAs,
                   kCmdImportMidi,
                   kCmdExportLilypond,
                   kCmdExportMusicXml,
                   kCmdSaveSelectedMidiTrack,
                   kCmdSaveAllMidiTracks,
                   kCmdExit,
                   kCmdUndo,
                   kCmdRedo,
                   kCmdCut,
                   kCmdCopy,
                   kCmdPaste,
                   kCmdDelete,
                   kCmdClear,
                   kCmdSelectAll,
                   kCmdShowScaleDiagram,
                   kCmdShowChordOptions,
                   kCmdShowSheetOptions,
                   kCmdCascade,
                   kCmdTile,
                   kCmdCloseAll,
                   kCmdAbout,
                   kCmdWebsite,
                   kCmdPlay,
                   kCmdPlayAll,
                   kCmdStop,
                   kCmdCursorUp,
                   kCmdCursorDown,
                   kCmdCursorLeft,
                   kCmdCursorRight,
                   kCmdEventPlayback,
                   kCmdPlayTablaSample,
                   kCmdPlayStartupWave,
                   kCmdZoomIn,
                   kCmdZoomOut,
                   kCmdZoomActual,
                   kCmdShowPanels,
                   kCmdRemoveDiagram,
                   kCmdAddAllDiagramsToSheet,
                   kCmdAddSelectedDiagramsToSheet,
                   kCmdRemoveSelectedDiagrams,
                   kToolWhole,
                   kToolHalf,
                   kToolQuarter,
                   kToolEighth,
                   kToolSixteenth,
                   kToolThirtySecond,
                   kToolRest,
                   kToolDot,
                   kToolSharp,
                   kToolFlat,
                   kToolNatural,
                   kToolTie,
                   kToolTriplet,
                   kToolVoice2,
                   kToolBar,
                   kToolSpace,
                   kToolStaffBreak,
                   kToolLyrics})
        EXPECT_NE(findCommand(id), nullptr) << id;
    EXPECT_EQ(findCommand(12345), nullptr);
    // The note tools are the type codes of the notes they enter.
    EXPECT_EQ(kToolQuarter, kTypeQuarter);
    EXPECT_EQ(kToolStaffBreak, kTypeStaffBreak);
}

TEST(CommandTableTest, EveryCommandWithAShortcutHasAMenuItem)
{
    for (const CommandRow& row : commandTable()) {
        // A key nobody can look up is a key nobody finds.
        if (*row.shortcut) {
            EXPECT_NE(row.menu, Menu::None) << row.text << " (" << row.shortcut << ") has no menu item";
        }
        // A row nobody can run is a mistake: no handler, no document that answers it, and
        // not marked as coming later.
        EXPECT_TRUE(row.handler || row.needs != Needs::Nothing || row.enabled == Enabled::Never) << row.id;
        // The note and edit tools live on their toolbars only.
        if (row.toolbar == Bar::Notes || row.toolbar == Bar::Edit) {
            EXPECT_EQ(row.menu, Menu::None) << row.id;
        }
    }
    // The play buttons and the playback accelerators are in the Play menu.
    for (int id :
         {kCmdPlay, kCmdPlayAll, kCmdEventPlayback, kCmdStop, kCmdPlayTablaSample, kCmdPlayStartupWave})
        EXPECT_EQ(findCommand(id)->menu, Menu::Play) << id;
}

class CommandTableWindowTest : public ShellTest {};

// Every key that some action of the window answers to, with who answers: the table's commands
// and the toolkit's own actions (the document windows' system menus, Close among them; each
// document window has the same ones, counted once) and shortcut objects.
std::map<QString, std::set<QString>> keysInUse(QWidget& window)
{
    std::map<QString, std::set<QString>> keys;
    for (QAction* action : window.findChildren<QAction*>()) {
        const QString owner = action->data().isValid()
                                  ? QStringLiteral("command %1").arg(action->data().toInt())
                                  : QStringLiteral("toolkit ") + action->text();
        for (const QKeySequence& key : action->shortcuts())
            if (!key.isEmpty())
                keys[key.toString()].insert(owner);
    }
    for (QShortcut* shortcut : window.findChildren<QShortcut*>()) {
        for (const QKeySequence& key : shortcut->keys())
            if (!key.isEmpty())
                keys[key.toString()].insert(QStringLiteral("shortcut ") + shortcut->objectName());
    }
    return keys;
}

TEST_F(CommandTableWindowTest, NoKeyIsAmbiguousWithDocumentWindowsOpen)
{
    window->showAtSavedPlacement();
    window->newSheet();
    window->newChordDocument();
    for (const auto& [key, owners] : keysInUse(*window)) {
        QStringList names(owners.begin(), owners.end());
        EXPECT_EQ(owners.size(), 1u) << key.toStdString() << " runs " << names.join(", ").toStdString();
    }
    // The keys the toolkit and the desktop use to close a document window never run one of ours.
    QList<QKeySequence> reserved = QKeySequence::keyBindings(QKeySequence::Close);
    reserved << QKeySequence(QStringLiteral("Ctrl+W")) << QKeySequence(QStringLiteral("Ctrl+F4"))
             << QKeySequence(QStringLiteral("Ctrl+Tab")) << QKeySequence(QStringLiteral("Ctrl+Shift+Tab"));
    for (const CommandRow& row : commandTable()) {
        if (!*row.shortcut)
            continue;
        const QKeySequence key(QString::fromLatin1(row.shortcut));
        for (const QKeySequence& taken : reserved) {
            EXPECT_NE(key, taken) << row.text << " takes " << taken.toString().toStdString();
        }
    }
    // Tile runs from its key.
    EXPECT_EQ(window->action(kCmdTile)->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+T")));
}

TEST_F(CommandTableWindowTest, TheArrowKeysStayWithThePanelsFields)
{
    window->showAtSavedPlacement();
    window->newSheet();
    QSpinBox* tracks = window->panels()->sheetPanel()->trackCountField();
    window->activateWindow();
    ASSERT_TRUE(waitUntil([this] { return window->isActiveWindow(); }));
    tracks->setFocus();
    ASSERT_TRUE(waitUntil([tracks] { return tracks->hasFocus(); }));
    QTest::keyClick(tracks, Qt::Key_Up);
    EXPECT_EQ(tracks->value(), 3) << "Up steps the field, no accelerator takes it";
    EXPECT_EQ(window->activeSheet()->sheet().trackCount(), 3);
}

TEST_F(CommandTableWindowTest, MenusToolbarsAndAcceleratorsAreBuiltFromTheTable)
{
    window->showAtSavedPlacement();
    std::map<int, QString> menuOf;
    std::map<QString, QStringList> menuTexts;
    for (QAction* top : window->menuBar()->actions()) {
        QMenu* menu = top->menu();
        ASSERT_NE(menu, nullptr);
        emit menu->aboutToShow(); // the Windows menu is filled before it shows
        for (QAction* item : menu->actions()) {
            if (item->isSeparator())
                continue;
            menuTexts[top->text()] << item->text();
            if (item->data().isValid())
                menuOf[item->data().toInt()] = top->text();
        }
    }
    EXPECT_EQ(menuTexts["File"],
              QStringList({"New Sheet Document", "New Chord Document", "Open", "Open Recent", "Save",
                           "Save As", "Import MIDI", "Export Lilypond", "Export MusicXML...",
                           "Save Selected MIDI Track", "Save All MIDI Tracks", "Properties...",
                           "Page Setup...", "Print Preview", "Print", "Exit", "Quit at Once"}));
    EXPECT_EQ(menuTexts["Edit"],
              QStringList({"Undo", "Redo", "Cut", "Copy", "Paste", "Delete", "Clear", "Select All",
                           "Remove Diagram", "Remove Selected Diagrams", "Add All Diagrams To Sheet",
                           "Add Selected Diagrams To Sheet", "Chord Symbols"}));
    EXPECT_EQ(menuTexts["View"], QStringList({"Zoom In", "Zoom Out", "Actual Size", "Go to Start",
                                              "Go to End", "Chord Diagrams", "Show Panels"}));
    EXPECT_EQ(menuTexts["Windows"],
              QStringList({"Show Sheet Options", "Show Chord Options", "Show Scale Diagram",
                           "Cascade Windows", "Tile Windows", "Close All"}));
    EXPECT_EQ(menuTexts["Play"],
              QStringList({"Play", "Play All", "Play MIDI Events", "Stop", "Play from Current Note or Stop",
                           "Chord Symbols", "Play Tabla Sample", "Play Startup Sound", "MIDI Input"}));
    EXPECT_EQ(menuTexts["Help"], QStringList({"About", "Website"}));
    QStringList bar;
    for (QAction* top : window->menuBar()->actions())
        bar << top->text();
    EXPECT_EQ(bar, QStringList({"File", "Edit", "View", "Windows", "Play", "Help"}));

    const QList<QAction*> windowActions = window->actions();
    for (const CommandRow& row : commandTable()) {
        QAction* action = window->action(row.id);
        ASSERT_NE(action, nullptr) << row.id;
        // Menu items without the blanks of "Play  " and "Stop  "; buttons with them.
        EXPECT_EQ(action->text(), QString::fromUtf8(row.text).trimmed());
        EXPECT_EQ(action->iconText(), QString::fromUtf8(row.text));
        EXPECT_EQ(action->shortcut(), QKeySequence(QString::fromLatin1(row.shortcut))) << row.id;
        if (row.menu != Menu::None) {
            EXPECT_EQ(menuOf.count(row.id), 1u) << row.text << " is missing from its menu";
        }
        // A shortcut works only where its action lives: in a menu or on the window.
        if (*row.shortcut) {
            EXPECT_TRUE(menuOf.count(row.id) || windowActions.contains(action)) << row.text;
        }
    }
    EXPECT_EQ(window->action(kCmdDelete)->shortcut(), QKeySequence(Qt::Key_Delete));
    EXPECT_TRUE(window->noteToolBar()->actions().contains(window->action(kToolTriplet)));
    QAction* voice2 = window->action(kToolVoice2);
    EXPECT_TRUE(window->noteToolBar()->actions().contains(voice2));
    EXPECT_EQ(voice2->toolTip(), QStringLiteral("Voice 2 (U)"));
    EXPECT_FALSE(voice2->icon().isNull());
    EXPECT_TRUE(window->editToolBar()->actions().contains(window->action(kToolLyrics)));
    EXPECT_TRUE(window->playToolBar()->actions().contains(window->action(kCmdStop)));
}

TEST_F(CommandTableWindowTest, UndoAndRedoReachTheActiveSheetsEditorAndEditCommandsFollowWhatItAnswers)
{
    window->showAtSavedPlacement();
    SheetWindow* w = window->newSheet();
    Track& track = *w->sheet().trackAt(0);
    Note quarter;
    quarter.type = kTypeQuarter;
    w->editor().edit(SnapshotKind::Insert, 0, [&] { track.insertNote(quarter, 0); });
    ASSERT_EQ(track.count, 1);
    EXPECT_EQ(title(w), "Sheet 1*");
    EXPECT_TRUE(window->command(kCmdUndo));
    EXPECT_EQ(track.count, 0);
    EXPECT_TRUE(window->command(kCmdRedo));
    EXPECT_EQ(track.count, 1);

    // The sheet's editor answers the selection commands: their items are enabled while a sheet
    // is active; a chord document answers only those it has (Delete, Clear, Select All, undo).
    for (int id : {kCmdCut, kCmdCopy, kCmdPaste, kCmdDelete, kCmdSelectAll, kCmdClear})
        EXPECT_TRUE(window->action(id)->isEnabled()) << id;
    EXPECT_TRUE(window->command(kCmdCopy));
    window->newChordDocument();
    EXPECT_FALSE(window->action(kCmdCut)->isEnabled());
    EXPECT_FALSE(window->command(kCmdCopy));
    EXPECT_TRUE(window->action(kCmdDelete)->isEnabled());
    EXPECT_TRUE(window->command(kCmdUndo)) << "the chord document's own undo";
    EXPECT_TRUE(window->command(kCmdPrint)) << "Print prints the chord document";
    ASSERT_EQ(dialogs.printDocumentNames.size(), 1u);
    EXPECT_EQ(dialogs.printDocumentNames[0], "Chord 1");
    EXPECT_FALSE(window->command(kCmdExportLilypond)) << "export needs a sheet";
    EXPECT_TRUE(dialogs.asked.empty());
}

} // namespace
} // namespace tonvela::test
