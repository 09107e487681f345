// The sheet window's context menu on the offscreen platform: a right click opens the clef,
// piano and delete items at the pointer, bound to the track under it, and the repeat items,
// bound to the measure under it.

#include "shell_test_support.h"

#include "editor/commands.h"
#include "platform/sheet_lock.h"
#include "score/repeat_range.h"

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

    // A window point inside measure m (from 1) of track t (device pixels): a little right of its
    // opening bar line, over the staff of the row it lies on.
    static QPoint overMeasure(SheetWindow* w, int t, int m)
    {
        SheetLockGuard lock(sheetLock());
        const float zoom = w->view().zoom();
        const MeasureRecord& rec = w->view().measures(t).at(static_cast<std::size_t>(m));
        return {static_cast<int>(static_cast<float>(rec.x + 12) * zoom),
                static_cast<int>(static_cast<float>(w->view().rowTopInWindow(rec.rowIndex) + 20) * zoom)};
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
    EXPECT_EQ(items, (QStringList{"F Clef", "G Clef", "Group As Piano", "Delete Notes", "Start Repeat",
                                  "End Repeat", "First Ending", "Second Ending", "Remove Repeat"}));
    // The pointer is over a measure outside every passage: nothing to remove there.
    EXPECT_EQ(enabled, (QList<bool>{true, true, true, true, true, true, true, true, false}));
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
    EXPECT_EQ(enabled, (QList<bool>{false, false, false, true, false, false, false, false, false}))
        << "away from every staff neither a track nor a measure is under the pointer";

    // The window shows the changed sheet.
    const int paints = w->paintsDone();
    rightClick(w, at, "G Clef");
    EXPECT_TRUE(waitUntil([&] { return w->paintsDone() > paints; }));
}

TEST_F(SheetContextMenuTest, RepeatItemsMarkAPassageForTheWholeSystemAtTheMeasureUnderThePointer)
{
    SheetWindow* w = open();
    SheetDocument& sheet = w->sheet();
    ASSERT_GE(sheet.trackCount(), 2);
    ASSERT_TRUE(sheet.repeatRanges.empty());
    {
        SheetLockGuard lock(sheetLock());
        ASSERT_GE(w->view().measuresInUse(0), 2) << "the example holds two measures at least";
    }

    // GIVEN "Start Repeat" over measure 1 of the first staff, where no passage is yet to remove,
    // and "End Repeat" over measure 2 of the second staff
    rightClick(w, overMeasure(w, 0, 1), "Start Repeat");
    ASSERT_EQ(enabled.size(), 9);
    EXPECT_FALSE(enabled[8]) << "no passage holds measure 1 yet";
    rightClick(w, overMeasure(w, 1, 2), "End Repeat");
    // THEN the sheet and every track hold the passage 1..2, and one undo step reopens it
    EXPECT_EQ(sheet.repeatRanges, (std::vector<RepeatRange>{{1, 2, 0, 0}}));
    for (int t = 0; t < sheet.trackCount(); ++t)
        EXPECT_EQ(sheet.trackAt(t)->repeatRanges, sheet.repeatRanges) << "track " << t;
    EXPECT_EQ(sheet.modified, 1);
    ASSERT_TRUE(w->command(kCmdUndo));
    EXPECT_EQ(sheet.repeatRanges, (std::vector<RepeatRange>{{1, 1, 0, 0}})) << "the passage opened at 1";
    ASSERT_TRUE(w->command(kCmdRedo));
    EXPECT_EQ(sheet.repeatRanges, (std::vector<RepeatRange>{{1, 2, 0, 0}}));

    // Inside the passage "Remove Repeat" is offered and removes it from every track.
    rightClick(w, overMeasure(w, 1, 2), "Remove Repeat");
    ASSERT_EQ(enabled.size(), 9);
    EXPECT_TRUE(enabled[8]);
    EXPECT_TRUE(sheet.repeatRanges.empty());
    EXPECT_TRUE(sheet.trackAt(1)->repeatRanges.empty());
}

} // namespace
} // namespace tonvela::test
