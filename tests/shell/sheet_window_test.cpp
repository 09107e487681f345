#include "shell_test_support.h"

#include "platform/sheet_lock.h"
#include "score/sheet_document.h"
#include "score/sheet_file.h"
#include "shell/documents/painter_thread.h"

#include <QMdiSubWindow>
#include <QScrollBar>
#include <QWheelEvent>

#include <chrono>
#include <thread>

namespace tonvela::test {
namespace {

void wheel(QWidget* w, int delta, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWheelEvent event(QPointF(100, 100), w->mapToGlobal(QPointF(100, 100)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &event);
}

// A long sheet: eight systems of two tracks at least.
std::unique_ptr<SheetDocument> longSheet()
{
    auto sheet = std::make_unique<SheetDocument>();
    EXPECT_TRUE(
        loadSheet(*sheet, "ode_to_joy.shd", std::string(TONVELA_SOURCE_DIR) + "/examples/ode_to_joy.shd")
            .ok());
    return sheet;
}

class SheetWindowTest : public ShellTest {
  protected:
    SheetWindowTest() { window->showAtSavedPlacement(); }
    SheetWindow* open()
    {
        EXPECT_TRUE(window->openFile(example()));
        SheetWindow* w = window->activeSheet();
        EXPECT_TRUE(waitUntil([w] { return w->paintsDone() > 0; }));
        return w;
    }
};

TEST_F(SheetWindowTest, CtrlWheelZoomsInStepsOfATenthAndNeverBelowPointFour)
{
    SheetWindow* w = open();
    const float start = w->editor().zoom();
    const int measuresBefore = w->view().layout().measuresPerRow;
    wheel(w, 120, Qt::ControlModifier);
    EXPECT_NEAR(w->editor().zoom(), start + 0.1f, 1e-4);
    for (int i = 0; i < 12; ++i)
        wheel(w, -120, Qt::ControlModifier);
    EXPECT_NEAR(w->editor().zoom(), 0.4f, 1e-4);
    // A smaller zoom lays out more measures on a row of the same window.
    EXPECT_GE(w->view().layout().measuresPerRow, measuresBefore);
    // The layout size follows the zoom: client size / zoom.
    EXPECT_EQ(w->view().layoutWidth, static_cast<int>(static_cast<float>(w->view().clientWidth) / 0.4f));
}

TEST_F(SheetWindowTest, WheelAndScrollBarScrollByRowsWithinTheRange)
{
    SheetWindow* w = open();
    w->editor().setZoom(2.0f);
    const int range = w->view().scrollRange;
    ASSERT_GE(range, 3) << "the example must be taller than the window at zoom 2";
    auto* bar = w->findChild<QScrollBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->maximum(), range);

    wheel(w, 120); // up at row 0: nothing
    EXPECT_EQ(w->view().firstVisibleRow, 0);
    wheel(w, -120);
    EXPECT_EQ(w->view().firstVisibleRow, 1);
    EXPECT_EQ(bar->value(), 1);
    // Half notches from a fine wheel add up to one row.
    wheel(w, -60);
    EXPECT_EQ(w->view().firstVisibleRow, 1);
    wheel(w, -60);
    EXPECT_EQ(w->view().firstVisibleRow, 2);

    for (int i = 0; i < range + 5; ++i)
        w->editor().scroll(ScrollAction::PageDown);
    EXPECT_EQ(w->view().firstVisibleRow, range);
    w->editor().scroll(ScrollAction::LineDown);
    EXPECT_EQ(w->view().firstVisibleRow, range);
    bar->setValue(1); // dragging the thumb
    EXPECT_EQ(w->view().firstVisibleRow, 1);
    w->editor().scroll(ScrollAction::PageUp);
    EXPECT_EQ(w->view().firstVisibleRow, 0);
    w->editor().scroll(ScrollAction::PageUp);
    EXPECT_EQ(w->view().firstVisibleRow, 0);
}

TEST_F(SheetWindowTest, ResizingChangesTheMeasuresPerRow)
{
    SheetWindow* w = open();
    w->parentWidget()->resize(500, 500);
    QApplication::processEvents();
    const int narrow = w->view().layout().measuresPerRow;
    w->parentWidget()->resize(1400, 500);
    QApplication::processEvents();
    EXPECT_GT(w->view().layout().measuresPerRow, narrow);
    EXPECT_EQ(w->view().clientWidth, w->width() - w->findChild<QScrollBar*>()->width());
}

TEST_F(SheetWindowTest, PaintRequestsWithinTenMillisecondsGiveOnePaintUnlessTheSheetChanged)
{
    VirtualClock virtualClock(1'000'000);
    PainterThread painter;
    SheetWindow w(longSheet(), painter, virtualClock);
    w.resize(500, 500);
    w.show();
    ASSERT_TRUE(waitUntil([&] { return w.paintsDone() >= 1; }));
    QApplication::processEvents();
    const int before = w.paintsDone();

    virtualClock.advanceMs(20);
    w.requestPaint();
    w.requestPaint();
    w.requestPaint();
    ASSERT_TRUE(waitUntil([&] { return w.paintsDone() == before + 1; }));
    // The two throttled requests are not lost for good, but wait until the time has passed.
    waitUntil([] { return false; }, 60);
    EXPECT_EQ(w.paintsDone(), before + 1);
    virtualClock.advanceMs(10);
    ASSERT_TRUE(waitUntil([&] { return w.paintsDone() == before + 2; }));

    // A changed sheet passes the throttle at once.
    w.requestPaint();
    w.markChanged();
    w.requestPaint();
    EXPECT_TRUE(waitUntil([&] { return w.paintsDone() >= before + 3; }));
}

class CountingTarget : public PaintTarget {
  public:
    explicit CountingTarget(int sleepMs = 0) : m_sleepMs(sleepMs) {}
    void paintOffscreen() override
    {
        EXPECT_FALSE(sheetLock().try_lock() == false) << "paints run under the sheet lock";
        sheetLock().unlock();
        if (m_sleepMs)
            std::this_thread::sleep_for(std::chrono::milliseconds(m_sleepMs));
        ++paints;
    }
    std::atomic<int> paints{0};

  private:
    int m_sleepMs;
};

TEST(PainterThreadTest, PaintsQueuedTargetsOnceEachAndSkipsForgottenOnes)
{
    PainterThread painter;
    CountingTarget a, b, forgotten;
    {
        // Holding the sheet lock keeps the painter from starting, so the queue fills up.
        SheetLockGuard lock(sheetLock());
        painter.enqueue(&a);
        painter.enqueue(&a);
        painter.enqueue(&b);
        painter.enqueue(&forgotten);
        painter.forget(&forgotten);
    }
    ASSERT_TRUE(waitUntil([&] { return a.paints + b.paints == 2; }));
    waitUntil([] { return false; }, 30);
    EXPECT_EQ(a.paints, 1);
    EXPECT_EQ(b.paints, 1);
    EXPECT_EQ(forgotten.paints, 0);
    painter.enqueue(&forgotten); // blocked targets stay skipped
    painter.enqueue(&a);
    ASSERT_TRUE(waitUntil([&] { return a.paints == 2; }));
    EXPECT_EQ(forgotten.paints, 0);
}

TEST(PainterThreadTest, ForgetWaitsForAPaintInProgress)
{
    PainterThread painter;
    CountingTarget slow(80);
    painter.enqueue(&slow);
    ASSERT_TRUE(waitUntil([&] { return slow.painting.load(); }, 2000));
    painter.forget(&slow);
    EXPECT_FALSE(slow.painting.load());
    EXPECT_EQ(slow.paints, 1);
}

TEST(PainterThreadTest, AFullQueueStartsOverAtTheFirstSlot)
{
    PainterThread painter;
    std::vector<std::unique_ptr<CountingTarget>> targets;
    targets.reserve(kPaintQueueSize + 1);
    for (int i = 0; i < kPaintQueueSize + 1; ++i)
        targets.push_back(std::make_unique<CountingTarget>());
    {
        SheetLockGuard lock(sheetLock());
        for (auto& t : targets)
            painter.enqueue(t.get());
    }
    ASSERT_TRUE(waitUntil([&] { return targets.back()->paints == 1; }));
    waitUntil([] { return false; }, 30);
    // The 33rd request took the first slot; the others that were queued are painted.
    EXPECT_EQ(targets[0]->paints, 0);
    for (int i = 1; i < kPaintQueueSize; ++i)
        EXPECT_EQ(targets[static_cast<std::size_t>(i)]->paints, 1) << i;
}

} // namespace
} // namespace tonvela::test
