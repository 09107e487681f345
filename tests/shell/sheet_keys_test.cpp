// The keys musicians reach for in a sheet window (Space, Home, End), and sheet windows that
// open filling the document area.

#include "shell_test_support.h"

#include "editor/commands.h"
#include "editor/editing/tool_state.h"
#include "platform/sheet_lock.h"
#include "score/play_time.h"
#include "score/sheet_document.h"
#include "shell/documents/lyric_box.h"

#include <QAction>
#include <QDockWidget>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>

namespace tonvela::test {
namespace {

class SheetKeysTest : public ShellTest {
  protected:
    SheetKeysTest()
    {
        sharedToolGroups() = SharedToolGroups{};
        window->showAtSavedPlacement();
    }

    void focus(SheetWindow* w)
    {
        window->activateWindow();
        EXPECT_TRUE(waitUntil([this] { return window->isActiveWindow(); }));
        window->activate(w);
        w->setFocus();
        EXPECT_TRUE(waitUntil([w] { return w->hasFocus(); }));
    }
    SheetWindow* focusedExample()
    {
        EXPECT_TRUE(window->openFile(example())) << errorsText();
        SheetWindow* w = window->activeSheet();
        if (w)
            focus(w);
        return w;
    }
    static int current(SheetWindow* w, int t = 0) { return w->editor().editState().track(t).currentNote; }
};

TEST_F(SheetKeysTest, SpacePlaysEveryTrackFromTheCurrentNoteAndStopsAgain)
{
    SheetWindow* w = focusedExample();
    ASSERT_NE(w, nullptr);
    for (int k = 0; k < 5; ++k)
        QTest::keyClick(w, Qt::Key_Right);
    const int note = current(w);
    ASSERT_GT(note, 0);
    const std::optional<double> from = playAllFractionAt(w->sheet(), 0, note);
    ASSERT_TRUE(from);
    ASSERT_GT(*from, 0.0);

    QTest::keyClick(w, Qt::Key_Space);
    EXPECT_EQ(player.plays, 1);
    EXPECT_EQ(player.playing, &w->sheet());
    EXPECT_EQ(player.lastMode, PlayMode::All);
    EXPECT_DOUBLE_EQ(player.lastFrom, *from);
    EXPECT_TRUE(window->action(kCmdPlayAll)->isChecked()) << "the Play All button shows what runs";

    QTest::keyClick(w, Qt::Key_Space);
    EXPECT_EQ(player.stops, 1);
    EXPECT_EQ(player.playing, nullptr);
    EXPECT_FALSE(window->action(kCmdPlayAll)->isChecked());
    EXPECT_EQ(current(w), note) << "the current note stays for the next Space";

    // Without a current note Space plays from where the length bar stands.
    QTest::keyClick(w, Qt::Key_Home);
    w->editor().editState().setCurrentNote(0, -1);
    QTest::keyClick(w, Qt::Key_Space);
    EXPECT_EQ(player.plays, 2);
    EXPECT_DOUBLE_EQ(player.lastFrom, 0.0);
}

TEST_F(SheetKeysTest, HomeAndEndGoToTheSheetsStartAndEnd)
{
    SheetWindow* w = focusedExample();
    ASSERT_NE(w, nullptr);
    QTest::keyClick(w, Qt::Key_End);
    const Track& track = *w->sheet().trackAt(0);
    ASSERT_GT(current(w), 0);
    int lastDrawn = track.count - 1;
    while (lastDrawn > 0 &&
           (track.rootOf(lastDrawn) != -1 || track.noteAt(lastDrawn).type == kTypeStaffBreak))
        --lastDrawn;
    EXPECT_EQ(current(w), lastDrawn);
    EXPECT_EQ(w->view().firstVisibleRow, w->view().scrollRange);
    QTest::keyClick(w, Qt::Key_Home);
    EXPECT_EQ(current(w), 0);
    EXPECT_EQ(w->view().firstVisibleRow, 0);
}

TEST_F(SheetKeysTest, TheKeysStayWithTheFieldThatHasTheKeyboard)
{
    SheetWindow* w = focusedExample();
    ASSERT_NE(w, nullptr);
    QTest::keyClick(w, Qt::Key_Right);
    QTest::keyClick(w, Qt::Key_Right);
    ASSERT_EQ(current(w), 1);
    // The lyric box moves its own text cursor.
    window->action(kToolLyrics)->trigger();
    QLineEdit& box = w->lyricBox();
    ASSERT_TRUE(box.isVisible());
    box.setFocus();
    ASSERT_TRUE(waitUntil([&box] { return box.hasFocus(); }));
    box.setText(QStringLiteral("la"));
    QTest::keyClick(&box, Qt::Key_Home);
    EXPECT_EQ(box.cursorPosition(), 0);
    QTest::keyClick(&box, Qt::Key_End);
    EXPECT_EQ(box.cursorPosition(), 2);
    EXPECT_EQ(current(w), 1) << "Home and End stayed in the box";

    // A field of the panels types its blank.
    auto* field = window->panelDock()->findChild<QLineEdit*>();
    ASSERT_NE(field, nullptr);
    field->setFocus();
    ASSERT_TRUE(waitUntil([field] { return field->hasFocus(); }));
    QTest::keyClick(field, Qt::Key_Space);
    EXPECT_EQ(player.plays, 0);
    // The sheet takes the keyboard back before the window goes (a panel field that loses it
    // while the main window is destroyed reports to a panel already gone).
    focus(w);
}

TEST_F(SheetKeysTest, TheMenusNameTheKeys)
{
    EXPECT_EQ(window->action(kCmdPlayOrStop)->shortcut().toString(), "Space");
    EXPECT_EQ(window->action(kCmdGoToStart)->shortcut().toString(), "Home");
    EXPECT_EQ(window->action(kCmdGoToEnd)->shortcut().toString(), "End");
    EXPECT_FALSE(window->action(kCmdPlayOrStop)->autoRepeat()) << "a held Space does not start and stop";
}

TEST_F(SheetKeysTest, SheetWindowsOpenFillingTheAreaAndTheWindowsMenuStillArranges)
{
    SheetWindow* a = window->newSheet();
    QMdiSubWindow* subA = window->mdiArea()->subWindowList().front();
    EXPECT_TRUE(subA->isMaximized());
    EXPECT_EQ(subA->geometry(), window->mdiArea()->viewport()->rect());
    EXPECT_EQ(window->windowTitle(), "Sheet 1 - Tonvela");
    SheetWindow* b = window->newSheet();
    EXPECT_TRUE(b->parentWidget()->isMaximized());
    EXPECT_EQ(b->parentWidget()->geometry(), window->mdiArea()->viewport()->rect());

    window->command(kCmdTile);
    EXPECT_FALSE(a->parentWidget()->isMaximized());
    EXPECT_FALSE(b->parentWidget()->isMaximized());
    EXPECT_FALSE(a->parentWidget()->geometry().intersects(b->parentWidget()->geometry()));
    window->command(kCmdCascade);
    EXPECT_LT(a->parentWidget()->y(), b->parentWidget()->y());
    // Restored, a window keeps the place a new window of its number has.
    window->newSheet();
    QMdiSubWindow* third = window->mdiArea()->currentSubWindow();
    third->showNormal();
    EXPECT_EQ(third->geometry(), QRect(40, 60, 500, 500));
}

} // namespace
} // namespace tonvela::test
