#include "shell_test_support.h"

#include "editor/commands.h"
#include "shell/documents/chord_window.h"
#include "shell/frame/command_table.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QSpinBox>
#include <QToolBar>

#include <map>
#include <set>

namespace tonvela::test {
namespace {

// Commands that have a shortcut but no menu item: they belong to the main window itself.
const std::set<int> kAcceleratorsOnly = {
    kCmdQuit,     kCmdEventPlayback, kCmdPlayTablaSample, kCmdPlayStartupWave,
    kCmdCursorUp, kCmdCursorDown,    kCmdCursorLeft,      kCmdCursorRight};

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
                   kCmdSave,
                   kCmdSaveAs,
                   kCmdImportMidi,
                   kCmdExportLilypond,
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

TEST(CommandTableTest, EveryCommandWithAShortcutHasAMenuItemUnlessItIsAnAcceleratorOnly)
{
    std::set<int> withoutItem;
    for (const CommandRow& row : commandTable()) {
        if (*row.shortcut && row.menu == Menu::None)
            withoutItem.insert(row.id);
        // A row nobody can run is a mistake: no handler, no document that answers it, and
        // not marked as coming later.
        EXPECT_TRUE(row.handler || row.needs != Needs::Nothing || row.enabled == Enabled::Never) << row.id;
        // Buttons live on toolbars, not in menus.
        if (row.toolbar != Bar::None) {
            EXPECT_EQ(row.menu, Menu::None) << row.id;
        }
    }
    EXPECT_EQ(withoutItem, kAcceleratorsOnly);
}

class CommandTableWindowTest : public ShellTest {};

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
              QStringList({"New Sheet Document", "New Chord Document", "Open", "Save", "Save As",
                           "Import MIDI", "Export Lilypond", "Save Selected MIDI Track",
                           "Save All MIDI Tracks", "Print", "Exit"}));
    EXPECT_EQ(menuTexts["Edit"],
              QStringList({"Undo", "Redo", "Cut", "Copy", "Paste", "Delete", "Clear", "Select All"}));
    EXPECT_EQ(menuTexts["Windows"],
              QStringList({"Show Sheet Options", "Show Chord Options", "Show Scale Diagram",
                           "Cascade Windows", "Tile Windows", "Close All"}));
    EXPECT_EQ(menuTexts["Help"], QStringList({"About", "Website"}));

    const QList<QAction*> windowActions = window->actions();
    for (const CommandRow& row : commandTable()) {
        QAction* action = window->action(row.id);
        ASSERT_NE(action, nullptr) << row.id;
        EXPECT_EQ(action->text(), QString::fromUtf8(row.text));
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

    // The sheet's editor answers no selection editing yet: those items are disabled, and a
    // chord document answers neither them nor undo.
    EXPECT_FALSE(window->action(kCmdCut)->isEnabled());
    EXPECT_FALSE(window->command(kCmdCopy));
    window->newChordDocument();
    EXPECT_FALSE(window->command(kCmdUndo));
    EXPECT_FALSE(window->command(kCmdPrint)) << "a chord document has nothing to print";
    EXPECT_FALSE(window->command(kCmdExportLilypond)) << "export needs a sheet";
    EXPECT_TRUE(dialogs.asked.empty());
}

} // namespace
} // namespace tonvela::test
