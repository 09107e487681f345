// The sheet window's context menu on the offscreen platform: a right click opens "F Clef",
// "G Clef" and "Delete Notes" at the pointer, bound to the track under it.

#include "shell_test_support.h"

#include "editor/commands.h"
#include "platform/sheet_lock.h"

#include <QAction>
#include <QMenu>
#include <QTimer>
#include <QWindow>
#include <QtTest/QTest>

namespace tonvela::test {
namespace {

class SheetContextMenuTest : public ShellTest {
  protected:
    SheetContextMenuTest() { window->showAtSavedPlacement(); }

    SheetWindow* open()
    {
        EXPECT_TRUE(window->openFile(example()));
        SheetWindow* w = window->activeSheet();
        EXPECT_TRUE(waitUntil([w] { return w->paintsDone() > 0; }));
        return w;
    }

    // A window point over row r's staff (device pixels).
    static QPoint overRow(SheetWindow* w, int r)
    {
        SheetLockGuard lock(sheetLock());
        const float zoom = w->view().zoom();
        return {static_cast<int>(300 * zoom),
                static_cast<int>(static_cast<float>(w->view().row(r).top + 20) * zoom)};
    }

    // Right-clicks at `at`; while the menu is open, notes its items and triggers the one named
    // `choose` (none: the menu is closed without a choice).
    void rightClick(SheetWindow* w, QPoint at, const QString& choose)
    {
        const ContextMenuSeen seen = rightClickMenu(w, at, choose);
        items = seen.items;
        enabled = seen.enabled;
        shownAt = seen.at;
    }

    QStringList items;
    QList<bool> enabled;
    QPoint shownAt;
};

TEST_F(SheetContextMenuTest, ClefItemsChangeThePointedTrackAndDeleteNotesDeletesTheSelection)
{
    SheetWindow* w = open();
    SheetDocument& sheet = w->sheet();
    ASSERT_GE(sheet.trackCount(), 2);
    Track& second = *sheet.trackAt(1);
    ASSERT_EQ(staffKindOf(second), StaffKind::FClef) << "the example's bass part";
    const int line = second.noteAt(0).line;

    // GIVEN a right click over the second track's staff, WHEN "G Clef" is chosen
    const QPoint at = overRow(w, 1);
    rightClick(w, at, "G Clef");
    EXPECT_EQ(items, (QStringList{"F Clef", "G Clef", "Group As Piano", "Delete Notes"}));
    EXPECT_EQ(enabled, (QList<bool>{true, true, true, true}));
    EXPECT_LE((shownAt - w->mapToGlobal(at)).manhattanLength(), 2) << "the menu opens at the pointer";
    // THEN that track, and only it, is on the G clef with its notes where they sound the same,
    // the sheet is modified and one undo returns it
    EXPECT_EQ(staffKindOf(second), StaffKind::GClef);
    EXPECT_EQ(second.noteAt(0).line, line + 5);
    EXPECT_EQ(staffKindOf(*sheet.trackAt(0)), StaffKind::GClef);
    EXPECT_EQ(sheet.modified, 1);
    EXPECT_TRUE(title(w).endsWith("*")) << title(w).toStdString();
    ASSERT_TRUE(w->command(kCmdUndo));
    EXPECT_EQ(staffKindOf(second), StaffKind::FClef);
    EXPECT_EQ(second.noteAt(0).line, line);
    ASSERT_TRUE(w->command(kCmdRedo));
    EXPECT_EQ(staffKindOf(second), StaffKind::GClef);

    // "F Clef" over the same staff puts it back.
    rightClick(w, at, "F Clef");
    EXPECT_EQ(staffKindOf(second), StaffKind::FClef);
    EXPECT_EQ(second.noteAt(0).line, line);

    // "Delete Notes" deletes the selected notes, wherever the pointer is.
    const int count = sheet.trackAt(0)->count;
    sheet.trackAt(0)->noteAt(0).selected = 1;
    rightClick(w, overRow(w, 1), "Delete Notes");
    EXPECT_EQ(sheet.trackAt(0)->count, count - 1);

    // Away from every staff the clef items have no track to act on.
    rightClick(w, QPoint(300, 5), QString());
    EXPECT_EQ(enabled, (QList<bool>{false, false, false, true}));

    // The window shows the changed sheet.
    const int paints = w->paintsDone();
    rightClick(w, at, "G Clef");
    EXPECT_TRUE(waitUntil([&] { return w->paintsDone() > paints; }));
}

} // namespace
} // namespace tonvela::test
