#include "shell_test_support.h"

#include "editor/commands.h"
#include "harmony/fretboard.h"
#include "render/scale_rendering.h"
#include "shell/documents/scale_diagram_window.h"
#include "shell/frame/scale_diagram_commands.h"
#include "shell/panels/scale_panel.h"

#include <QComboBox>
#include <QDockWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollBar>

namespace tonvela::test {
namespace {

constexpr ScaleSelection kCMajor{'C', "WWHWWWH"};

// Red pixels of the circle of the mark on string s at fret j, with the picture unscrolled.
int redRingPixels(const QImage& buffer, int s, int j)
{
    const int x = markX(j) + kMarkOriginX, y = markY(j, s) + kMarkOriginY;
    int n = 0;
    for (int py = y - 3; py <= y + 18; ++py)
        for (int px = x - 3; px <= x + 18; ++px) {
            const QRgb c = buffer.pixel(px, py);
            n += qRed(c) > 200 && qGreen(c) < 80 && qBlue(c) < 80 ? 1 : 0;
        }
    return n;
}

class ScaleDiagramWindowTest : public ShellTest {
  protected:
    ScaleDiagramWindowTest() { window->showAtSavedPlacement(); }

    // The scale diagram windows in the document area.
    std::vector<ScaleDiagramWindow*> diagrams() const
    {
        std::vector<ScaleDiagramWindow*> out;
        for (DocumentWindow* d : window->documents())
            if (auto* diagram = dynamic_cast<ScaleDiagramWindow*>(d))
                out.push_back(diagram);
        return out;
    }
    ScaleDiagramWindow* openDiagram()
    {
        EXPECT_TRUE(window->command(kCmdShowScaleDiagram));
        ScaleDiagramWindow* d = ScaleDiagramCommands::of(*window).window();
        EXPECT_TRUE(d && waitUntil([d] { return d->paintsDone() > 0; }));
        return d;
    }
    ScalePanel* panel() const { return window->panels()->scalePanel(); }
    static void choose(QComboBox* list, const QString& text) { list->setCurrentIndex(list->findText(text)); }
};

TEST_F(ScaleDiagramWindowTest, ShowScaleDiagramOpensOneWindowAtItsPlaceAndBringsItForward)
{
    ASSERT_TRUE(window->action(kCmdShowScaleDiagram)->isEnabled());
    ScaleDiagramWindow* diagram = openDiagram();
    ASSERT_TRUE(diagram);
    QWidget* sub = diagram->parentWidget();
    EXPECT_EQ(sub->windowTitle(), "Scale Diagram");
    EXPECT_EQ(sub->geometry(), QRect(50, 130, 450, 370));
    EXPECT_EQ(window->activeDocument(), diagram);
    EXPECT_EQ(window->documents().size(), 1u);

    // Another document comes to the front; the command brings the diagram back instead of
    // opening a second one, also out of its minimised state.
    window->newSheet();
    ASSERT_NE(window->activeDocument(), diagram);
    sub->showMinimized();
    ASSERT_TRUE(window->command(kCmdShowScaleDiagram));
    EXPECT_EQ(diagrams().size(), 1u);
    EXPECT_EQ(window->activeDocument(), diagram);
    EXPECT_EQ(window->mdiArea()->activeSubWindow(), sub);
    EXPECT_FALSE(sub->isMinimized());
    EXPECT_EQ(window->documents().size(), 2u);
    // Nothing to save, print or answer while it is active.
    EXPECT_FALSE(window->command(kCmdSave));
    EXPECT_FALSE(window->command(kCmdPrint));
    EXPECT_TRUE(notifier.messages.empty()) << errorsText();
}

TEST_F(ScaleDiagramWindowTest, CloseAllClosesItAndTheCommandOpensANewOne)
{
    openDiagram();
    window->newChordDocument();
    ASSERT_TRUE(window->command(kCmdCloseAll));
    EXPECT_TRUE(window->documents().empty());
    // The window itself goes once the event loop deletes it.
    EXPECT_TRUE(waitUntil([this] { return !ScaleDiagramCommands::of(*window).window(); }));
    EXPECT_FALSE(window->panelDock()->isVisible()) << "no document remains";

    ScaleDiagramWindow* again = openDiagram();
    ASSERT_TRUE(again);
    again->parentWidget()->close();
    EXPECT_TRUE(diagrams().empty());
    EXPECT_TRUE(waitUntil([this] { return !ScaleDiagramCommands::of(*window).window(); }));
}

TEST_F(ScaleDiagramWindowTest, EveryRootOrScaleChosenInThePanelRepaintsTheWindow)
{
    int panelReports = 0;
    panel()->onScaleChanged = [&panelReports] { ++panelReports; };
    ScaleDiagramWindow* diagram = openDiagram();
    ASSERT_TRUE(diagram);
    EXPECT_EQ(diagram->view().selection().root, 'A');
    EXPECT_EQ(redRingPixels(diagram->backBuffer(), 1, 1), 0) << "C is no note of A major";

    const int before = diagram->paintsDone();
    choose(panel()->rootList(), "C ");
    EXPECT_EQ(diagram->view().selection().root, 'C');
    ASSERT_TRUE(waitUntil([&] { return diagram->paintsDone() > before; }));
    EXPECT_GT(redRingPixels(diagram->backBuffer(), 1, 1), 20) << "the root C on the B string's first fret";

    const int afterRoot = diagram->paintsDone();
    choose(panel()->scaleList(), "Blues");
    EXPECT_EQ(diagram->view().selection().pattern, std::string_view("3WHH3W"));
    EXPECT_TRUE(waitUntil([&] { return diagram->paintsDone() > afterRoot; }));
    EXPECT_EQ(panelReports, 2) << "the listener the panel had before still hears of each change";
}

TEST_F(ScaleDiagramWindowTest, ScrollBarsMoveByTenAndFiftyFivePixelsAndStopAtTheEnds)
{
    ScaleDiagramWindow* diagram = openDiagram();
    ASSERT_TRUE(diagram);
    const QSize client = diagram->viewport()->size();
    QScrollBar* bar = diagram->horizontalScrollBar();
    const int maximum = kFretboardWidth - client.width();
    ASSERT_GT(maximum, 100);
    EXPECT_EQ(bar->maximum(), maximum);
    EXPECT_EQ(diagram->view().range(ScrollAxis::Horizontal).maximum, maximum);
    EXPECT_EQ(diagram->view().range(ScrollAxis::Vertical).maximum,
              std::max(0, kFretboardHeight - client.height()));

    const auto position = [diagram] { return diagram->view().range(ScrollAxis::Horizontal).position; };
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(position(), 10);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(position(), 65);
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(position(), maximum);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(position(), maximum);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(position(), maximum - 55);

    // Once the last paint is done, the window shows the picture from that position on.
    ASSERT_TRUE(waitUntil([diagram] {
        const QImage& shown = diagram->backBuffer();
        return shown.pixel(100, 60) == fretboardPicture().image().pixel(
                                           100 + diagram->view().range(ScrollAxis::Horizontal).position, 60);
    }));
    const QImage& shown = diagram->backBuffer();
    const QImage& picture = fretboardPicture().image();
    for (int x = 0; x < client.width(); x += 37)
        EXPECT_EQ(shown.pixel(x, 40), picture.pixel(x + maximum - 55, 40)) << x;
}

TEST_F(ScaleDiagramWindowTest, AWindowLargerThanThePictureHasNoScrollRange)
{
    ScaleDiagramWindow* diagram = openDiagram();
    ASSERT_TRUE(diagram);
    diagram->horizontalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    diagram->parentWidget()->resize(1000, 500);
    ASSERT_TRUE(waitUntil([diagram] { return diagram->viewport()->width() > kFretboardWidth; }));
    EXPECT_EQ(diagram->horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(diagram->verticalScrollBar()->maximum(), 0);
    EXPECT_TRUE(waitUntil([diagram] {
        return !diagram->horizontalScrollBar()->isVisible() && !diagram->verticalScrollBar()->isVisible();
    })) << "no scroll bars";
    EXPECT_EQ(diagram->view().range(ScrollAxis::Horizontal).position, 0);

    // The new buffer is the client's size: the picture at its corner, grey beyond it.
    const QImage& shown = diagram->backBuffer();
    ASSERT_EQ(shown.size(), diagram->viewport()->size());
    EXPECT_EQ(shown.pixel(kFretboardWidth + 20, 100), qRgb(128, 128, 128));
    EXPECT_EQ(shown.pixel(10, 40), fretboardPicture().image().pixel(10, 40));
}

// A standalone window on a clock that moves only when told.
class ScaleDiagramPaintTest : public ::testing::Test {
  protected:
    VirtualClock clock{5'000'000};
};

TEST_F(ScaleDiagramPaintTest, APaintAskedForWithinTheIntervalIsDoneWhenItEnds)
{
    ScaleDiagramWindow diagram(clock, {'A', "WWHWWWH"});
    diagram.resize(600, 400);
    diagram.show();
    ASSERT_TRUE(waitUntil([&] { return diagram.paintsDone() > 0; }));
    // The scroll bar appearing resizes the client area, and a resize paints at once: let that
    // settle first.
    waitUntil([] { return false; }, 50);
    const int first = diagram.paintsDone();

    // Two changes within the interval: neither paints now...
    diagram.setScale({'D', "WWHWWWH"});
    diagram.setScale({'E', "WWHWWWH"});
    waitUntil([] { return false; }, 40);
    EXPECT_EQ(diagram.paintsDone(), first);
    EXPECT_EQ(redRingPixels(diagram.backBuffer(), 0, 0), 0);

    // ...and once the 11 ms have passed the last one is painted, once.
    clock.advanceMs(kScalePaintIntervalMs);
    ASSERT_TRUE(waitUntil([&] { return diagram.paintsDone() > first; }));
    waitUntil([] { return false; }, 30);
    EXPECT_EQ(diagram.paintsDone(), first + 1);
    EXPECT_GT(redRingPixels(diagram.backBuffer(), 0, 0), 20) << "E, the root, on the open high string";
    EXPECT_EQ(redRingPixels(diagram.backBuffer(), 1, 3), 0) << "D is no note of E major";

    // Later changes paint at once again.
    clock.advanceMs(kScalePaintIntervalMs);
    diagram.setScale(kCMajor);
    EXPECT_EQ(diagram.paintsDone(), first + 2);
    EXPECT_GT(redRingPixels(diagram.backBuffer(), 1, 1), 20);
}

} // namespace
} // namespace tonvela::test
