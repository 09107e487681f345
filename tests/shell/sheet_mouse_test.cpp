#include "platform/sheet_lock.h"
#include "shell_test_support.h"

#include <QMdiSubWindow>

#include "editor/commands.h"
#include "editor/editing/tool_state.h"
#include "editor/layout.h"
#include "score/sheet_document.h"
#include "shell/panels/length_bar.h"
#include "shell/panels/sheet_options_panel.h"

#include <QDockWidget>
#include <QLabel>
#include <QTest>

namespace tonvela::test {
namespace {

// The y (sheet units) whose click gives staff step `step` on a row whose top line is at `top`.
int yOfStep(int top, int step)
{
    if (step % 2 == 0)
        return top + ((step + 2) / 2) * kStaffSpacing + 5;
    return top + ((step + 1) / 2) * kStaffSpacing + 9;
}

// Real sheet windows driven by QTest mouse and key events.
class SheetMouseTest : public ShellTest {
  protected:
    SheetMouseTest()
    {
        sharedToolGroups() = SharedToolGroups{};
        window->showAtSavedPlacement();
        w = window->newSheet();
        // Restored from the maximised state a sheet opens in, to a size of its own.
        static_cast<QMdiSubWindow*>(w->parentWidget())->showNormal();
        w->parentWidget()->resize(1000, 700); // three measures a row
        w->editor().setZoom(1.0f);
        window->activateWindow();
        EXPECT_TRUE(waitUntil([this] { return window->isActiveWindow() && w->paintsDone() > 0; }));
    }
    ~SheetMouseTest() override { sharedToolGroups() = SharedToolGroups{}; }

    // Sheet units to the window's pixels.
    QPoint at(int x, int y) const
    {
        const float z = w->view().zoom();
        return {static_cast<int>(static_cast<float>(x) * z), static_cast<int>(static_cast<float>(y) * z)};
    }
    // A move as the window gets it from the system, with the buttons and keys held (QTest's
    // own moves carry no keys).
    void send(int x, int y, Qt::MouseButtons held = Qt::NoButton,
              Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        const QPointF to(at(x, y));
        QMouseEvent move(QEvent::MouseMove, to, w->mapToGlobal(to), Qt::NoButton, held, modifiers);
        QApplication::sendEvent(w, &move);
    }
    // Moves there and waits until the move is tracked (moves come at most every 10 ms).
    void moveTo(int x, int y)
    {
        send(x, y);
        EXPECT_TRUE(waitUntil([this] { return !w->editor().pendingPointerMoveDueMs(); }));
        QTest::qWait(12);
    }
    void click(int x, int y, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        moveTo(x, y);
        QTest::mouseClick(w, Qt::LeftButton, modifiers, at(x, y));
    }
    void drag(int x0, int y0, int x1, int y1, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        moveTo(x0, y0);
        QTest::mousePress(w, Qt::LeftButton, modifiers, at(x0, y0));
        QTest::qWait(12);
        send(x1, y1, Qt::LeftButton, modifiers);
        QTest::qWait(12);
        QTest::mouseRelease(w, Qt::LeftButton, modifiers, at(x1, y1));
    }
    Track& track(int t = 0) { return *w->sheet().trackAt(t); }
    Note& note(int i, int t = 0) { return track(t).noteAt(i); }
    // Where the window's layout put note i of track t.
    const NoteLayout& place(int i, int t = 0) const { return w->view().noteLayout(t, i); }
    int top(int row) const { return w->view().rowTopInWindow(row); }
    int rowEnd(int row = 0) const { return w->view().row(row).lastX + 30; }
    int current(int t = 0) { return w->editor().editState().track(t).currentNote; }
    QString field(const char* name) const
    {
        return window->panels()->sheetPanel()->findChild<QLabel*>(QString::fromLatin1(name))->text();
    }
    // Blue pixels of the last picture in a box (sheet units).
    int bluePixelsIn(int left, int topY, int right, int bottom)
    {
        const QImage picture = w->picture();
        int blue = 0;
        const QPoint a = at(left, topY);
        const QPoint b = at(right, bottom);
        for (int py = a.y(); py <= b.y(); ++py)
            for (int px = a.x(); px <= b.x(); ++px) {
                if (!picture.rect().contains(px, py))
                    continue;
                const QColor color = picture.pixelColor(px, py);
                blue += (color.blue() > 150 && color.red() < 100 && color.green() < 100) ? 1 : 0;
            }
        return blue;
    }

    SheetWindow* w = nullptr;
};

TEST_F(SheetMouseTest, ClicksAddNotesAndAChordWithOneUndoStepEach)
{
    click(rowEnd(), yOfStep(top(0), 1));
    ASSERT_EQ(track().count, 1);
    EXPECT_EQ(note(0).line, 1);
    click(rowEnd(), yOfStep(top(0), -1));
    ASSERT_EQ(track().count, 2);
    EXPECT_EQ(note(1).line, -1);

    // A click on the first note selects it; one above it adds a chord member.
    const int x = place(0).x + 2;
    click(x, yOfStep(top(0), 1));
    EXPECT_TRUE(note(0).selected);
    EXPECT_EQ(current(), 0);
    click(x, yOfStep(top(0), -3));
    ASSERT_EQ(track().count, 3);
    EXPECT_EQ(note(2).chordparent, 0);
    EXPECT_EQ(note(2).line, -3);
    // The root's height again adds nothing.
    click(x, yOfStep(top(0), 1));
    EXPECT_EQ(track().count, 3);

    QTest::keyClick(w, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(track().count, 2);
    QTest::keyClick(w, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(track().count, 1);
    QTest::keyClick(w, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(track().count, 2);
    EXPECT_EQ(note(1).line, -1);
    EXPECT_TRUE(w->sheet().modified);
}

TEST_F(SheetMouseTest, ControlClickAddsNothingAndMovesThePreview)
{
    click(rowEnd(), yOfStep(top(0), 0), Qt::ControlModifier);
    EXPECT_EQ(track().count, 0);
    EXPECT_TRUE(w->view().previewVisible);
    EXPECT_EQ(w->view().previewNote.line, 0);
    EXPECT_FALSE(w->sheet().canUndo());
}

TEST_F(SheetMouseTest, ThePreviewFollowsThePointerInBlueWithTheNoteInTheStatus)
{
    const int x = rowEnd();
    const int y = yOfStep(top(0), -2);
    moveTo(x, y);
    ASSERT_TRUE(w->view().previewVisible);
    EXPECT_EQ(window->lengthBar()->statusText(), QStringLiteral("Note: E 4"));
    const NoteLayout& p = w->view().previewLayout;
    EXPECT_TRUE(waitUntil([&] { return bluePixelsIn(p.x, p.y, p.x + 14, p.y + 32) > 10; }))
        << "the preview's glyph in blue";
    EXPECT_EQ(bluePixelsIn(kStaffLeft + 40, top(1) - 20, kStaffLeft + 400, top(1) + 50), 0)
        << "nothing else blue";

    // Two moves in quick succession: where the pointer stops is what shows.
    send(x, yOfStep(top(0), 0));
    send(x, yOfStep(top(0), 3));
    EXPECT_TRUE(waitUntil([&] { return window->lengthBar()->statusText() == QStringLiteral("Note: G 3"); }))
        << window->lengthBar()->statusText().toStdString();
    EXPECT_EQ(w->view().previewNote.line, 3);

    // Out of the window the preview goes.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(w, &leave);
    EXPECT_FALSE(w->view().previewVisible);
}

TEST_F(SheetMouseTest, TenPixelsIsAClickElevenADragThatSelects)
{
    click(rowEnd(), yOfStep(top(0), 1));
    click(rowEnd(), yOfStep(top(0), 2));
    click(rowEnd(), yOfStep(top(0), 3));
    ASSERT_EQ(track().count, 3);

    // Ten units off the press is still a click: a note goes in.
    const int x = rowEnd();
    const int y = yOfStep(top(0), 0);
    moveTo(x, y);
    QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, at(x, y));
    send(x + 6, y - 4, Qt::LeftButton);
    QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, at(x + 6, y - 4));
    ASSERT_EQ(track().count, 4);

    // A drag around the first two notes selects them and adds nothing.
    drag(place(0).x - 15, top(0) + 70, place(1).x + 12, top(0) - 30);
    EXPECT_EQ(track().count, 4);
    EXPECT_TRUE(note(0).selected);
    EXPECT_TRUE(note(1).selected);
    EXPECT_FALSE(note(2).selected);
    EXPECT_FALSE(w->view().dragRectVisible);
    EXPECT_EQ(field("beatsSelected"), QStringLiteral("2.00"));

    // Shift keeps them while a second rectangle takes the last note.
    drag(place(3).x - 15, top(0) + 70, place(3).x + 12, top(0) - 30, Qt::ShiftModifier);
    EXPECT_TRUE(note(0).selected);
    EXPECT_TRUE(note(3).selected);
    EXPECT_EQ(field("beatsSelected"), QStringLiteral("3.00"));
}

TEST_F(SheetMouseTest, TheClefSelectsItsTrackInThePanelAndTheCaption)
{
    click(kStaffLeft + 12, top(1) + 20);
    EXPECT_EQ(w->sheet().selectedTrack, 1);
    EXPECT_EQ(field("trackSelected"), QStringLiteral("2"));
    EXPECT_EQ(
        window->panelDock()->windowTitle(),
        QStringLiteral("Sheet Document - %1 - Track 2").arg(QString::fromStdString(w->sheet().caption)));
    EXPECT_EQ(track(1).count, 0);
}

TEST_F(SheetMouseTest, ArrowKeysStepTheCurrentNote)
{
    for (int step : {1, 2, 3})
        click(rowEnd(), yOfStep(top(0), step));
    ASSERT_EQ(track().count, 3);
    {
        const SheetLockGuard lock(sheetLock()); // the painter thread draws the sheet
        w->sheet().selectedTrack = 0;
    }
    QTest::keyClick(w, Qt::Key_Right);
    EXPECT_EQ(current(), 0);
    QTest::keyClick(w, Qt::Key_Right);
    QTest::keyClick(w, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(current(), 2);
    EXPECT_FALSE(note(0).selected);
    EXPECT_TRUE(note(1).selected);
    EXPECT_TRUE(note(2).selected);
    QTest::keyClick(w, Qt::Key_Left);
    EXPECT_EQ(current(), 1);
    EXPECT_FALSE(note(2).selected);
}

TEST_F(SheetMouseTest, AClickOnABarLineMarksItsMeasureToRepeat)
{
    for (int k = 0; k < 8; ++k)
        click(rowEnd(), yOfStep(top(0), 1));
    ASSERT_EQ(track().count, 8);
    const int barX = w->view().measures(0)[2].x;
    ASSERT_GT(barX, 0);
    moveTo(barX + 2, top(0) + 20);
    EXPECT_FALSE(w->view().previewVisible);
    QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, at(barX + 2, top(0) + 20));
    EXPECT_TRUE(w->view().barClickPending);
    QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, at(barX + 2, top(0) + 20));
    EXPECT_EQ(track().measureRepeats.measures(), std::vector<int>{1});
    EXPECT_EQ(track().count, 8);
    QTest::keyClick(w, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(track().measureRepeats.measures().empty());
    EXPECT_EQ(track().count, 8);
}

} // namespace
} // namespace tonvela::test
