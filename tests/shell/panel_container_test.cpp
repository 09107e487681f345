#include "shell_test_support.h"

#include "editor/commands.h"
#include "shell/documents/chord_window.h"
#include "shell/frame/dock_caption.h"
#include "shell/frame/panel_dock.h"
#include "shell/panels/chord_panel.h"
#include "shell/panels/length_bar.h"
#include "shell/panels/panel_style.h"

#include <QAction>
#include <QComboBox>
#include <QDockWidget>
#include <QLabel>
#include <QMdiArea>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

namespace tonvela::test {
namespace {

using Panel = PanelContainer::Panel;

void turnWheel(QWidget* over, int angle)
{
    const QPointF at(over->width() / 2.0, over->height() / 2.0);
    QWheelEvent wheel(at, over->mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(over, &wheel);
}

class PanelContainerTest : public ShellTest {
  protected:
    PanelContainer* container() const { return window->panels(); }
    QScrollBar* bar() const { return container()->scrollBar(); }

    // A window whose container has `room` pixels below its tabs.
    void giveRoom(int room)
    {
        QApplication::processEvents();
        const int now = container()->room();
        window->resize(900, window->height() + room - now);
        ASSERT_TRUE(waitUntil([this, room] { return container()->room() == room; }))
            << "room " << container()->room() << " instead of " << room;
    }
};

// ---- the width rule ------------------------------------------------------------------------

TEST_F(PanelContainerTest, AShortWindowScrollsThePanelBesideA283PixelContainer)
{
    window->showAtSavedPlacement();
    window->newSheet();
    window->command(kCmdShowChordOptions);
    const int needed = container()->panelHeight();
    ASSERT_GT(needed, 300) << "the chord panel is the tall one";
    giveRoom(needed - 120);

    EXPECT_EQ(container()->width(), 283);
    EXPECT_EQ(window->panelDock()->widget()->width(), 283);
    EXPECT_TRUE(bar()->isVisible());
    EXPECT_EQ(bar()->geometry(), QRect(268, 22, 15, container()->room()));
    EXPECT_EQ(bar()->minimum(), 0);
    EXPECT_EQ(bar()->maximum(), 120) << "the range is the height the panel lacks";
    EXPECT_EQ(bar()->singleStep(), 10);
    EXPECT_EQ(bar()->pageStep(), 55);
    // The panel keeps its width beside the bar.
    EXPECT_EQ(container()->panelWidget(Panel::Chord)->width(), 268);
    // The document area takes the rest of the window's width.
    const QRect area = window->mdiArea()->geometry();
    EXPECT_GE(area.left(), window->panelDock()->geometry().right());
    EXPECT_EQ(area.right(), window->rect().right());
}

TEST_F(PanelContainerTest, ATallWindowShowsThePanelWholeIn268PixelsAndAHiddenContainerLeavesTheFullWidth)
{
    window->showAtSavedPlacement();
    window->newSheet();
    window->command(kCmdShowChordOptions);
    giveRoom(container()->panelHeight());
    EXPECT_EQ(container()->width(), 268);
    EXPECT_FALSE(bar()->isVisible());
    EXPECT_EQ(container()->scrollPosition(), 0);
    EXPECT_EQ(container()->panelWidget(Panel::Chord)->geometry().top(), 0);

    // One pixel less and the bar comes back; the tabs always span the container.
    giveRoom(container()->panelHeight() - 1);
    EXPECT_EQ(container()->width(), 283);
    EXPECT_EQ(bar()->maximum(), 1);
    EXPECT_EQ(container()->tabButton(Panel::Scale)->geometry().right(), 282);

    window->command(kCmdShowPanels);
    ASSERT_TRUE(waitUntil([this] { return window->mdiArea()->x() == 0; }));
    EXPECT_EQ(window->mdiArea()->width(), window->width());
}

TEST_F(PanelContainerTest, AShorterPanelDropsTheScrollBarAndStartsAtItsTop)
{
    window->showAtSavedPlacement();
    window->newSheet();
    window->command(kCmdShowChordOptions);
    giveRoom(container()->panelHeight() - 100);
    bar()->setValue(60);
    container()->tabButton(Panel::Scale)->click();
    ASSERT_LE(container()->panelHeight(), container()->room()) << "the scale panel is the short one";
    EXPECT_EQ(container()->width(), 268);
    EXPECT_FALSE(bar()->isVisible());
    container()->tabButton(Panel::Chord)->click();
    EXPECT_EQ(container()->width(), 283);
    EXPECT_EQ(bar()->value(), 0) << "another panel starts at its top";
}

// ---- scrolling -----------------------------------------------------------------------------

TEST_F(PanelContainerTest, TheBarStepsTenALineAndFiftyFiveAPageAndTheWheelTwentyANotch)
{
    window->showAtSavedPlacement();
    window->newSheet();
    window->command(kCmdShowChordOptions);
    giveRoom(container()->panelHeight() - 200);
    QWidget* panel = container()->panelWidget(Panel::Chord);

    bar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(container()->scrollPosition(), 10);
    EXPECT_EQ(panel->y(), -10);
    bar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(container()->scrollPosition(), 65);
    turnWheel(container(), -120); // one notch towards the user
    EXPECT_EQ(container()->scrollPosition(), 85);
    EXPECT_EQ(panel->y(), -85);
    turnWheel(container(), 60); // half a notch does nothing yet
    EXPECT_EQ(container()->scrollPosition(), 85);
    turnWheel(container(), 60);
    EXPECT_EQ(container()->scrollPosition(), 65);
    for (int i = 0; i < 20; ++i)
        turnWheel(container(), -120);
    EXPECT_EQ(container()->scrollPosition(), 200) << "never beyond the panel's end";

    // A wheel over a list without the focus scrolls, and leaves the list's choice alone.
    QComboBox* list = container()->chordPanel()->findChild<QComboBox*>();
    ASSERT_NE(list, nullptr);
    const int chosen = list->currentIndex();
    turnWheel(list, 120);
    EXPECT_EQ(container()->scrollPosition(), 180);
    EXPECT_EQ(list->currentIndex(), chosen);
}

TEST_F(PanelContainerTest, AControlReachedWithTheKeyboardIsScrolledIntoView)
{
    window->showAtSavedPlacement();
    window->newSheet();
    window->command(kCmdShowChordOptions);
    giveRoom(container()->panelHeight() - 150);
    window->activateWindow();
    ASSERT_TRUE(waitUntil([this] { return window->isActiveWindow(); }));
    QPushButton* last = container()->chordPanel()->addChordButton();
    last->setFocus();
    ASSERT_TRUE(waitUntil([last] { return last->hasFocus(); }));
    const int top = last->mapTo(container(), QPoint(0, 0)).y();
    EXPECT_GE(top, PanelContainer::kTabHeight);
    EXPECT_LE(top + last->height(), container()->height());
    EXPECT_GT(container()->scrollPosition(), 0);
}

// ---- tabs, captions, showing and hiding ----------------------------------------------------

TEST_F(PanelContainerTest, TabsShowTheirPanelsAndTheCaptionNamesThePanelAndTheSheet)
{
    window->showAtSavedPlacement();
    window->newSheet();
    QDockWidget* dock = window->panelDock();
    EXPECT_EQ(container()->tabButton(Panel::Chord)->text(), "Chords");
    container()->tabButton(Panel::Scale)->click();
    EXPECT_EQ(dock->windowTitle(), "Scale Diagram");
    EXPECT_TRUE(container()->panelWidget(Panel::Scale)->isVisible());
    EXPECT_FALSE(container()->panelWidget(Panel::Chord)->isVisible());
    container()->tabButton(Panel::Chord)->click();
    EXPECT_EQ(dock->windowTitle(), "Chord Diagrammer");
    container()->tabButton(Panel::Sheet)->click();
    EXPECT_EQ(dock->windowTitle(), "Sheet Document - Sheet 1 - Track 1");

    // A chord document is no sheet: the sheet options say so and the times read "00:00".
    window->newChordDocument();
    container()->tabButton(Panel::Sheet)->click();
    EXPECT_EQ(dock->windowTitle(), "Sheet Document");
    EXPECT_EQ(window->lengthBar()->currentText(), "00:00");
    EXPECT_EQ(window->lengthBar()->totalText(), "00:00");
    EXPECT_EQ(window->lengthBar()->statusText(), "");

    // Dark grey panels with white text.
    const QImage picture = container()->grab().toImage();
    // The left margin: the right edge holds the scroll bar when the panel is taller than the room.
    EXPECT_EQ(picture.pixelColor(2, container()->height() - 4), QColor(34, 34, 34));
    EXPECT_EQ(container()->panelWidget(Panel::Sheet)->palette().color(QPalette::WindowText),
              QColor(Qt::white));
}

TEST_F(PanelContainerTest, ALongCaptionIsShortenedInTheMiddleKeepingTheTrack)
{
    window->showAtSavedPlacement();
    SheetWindow* w = window->newSheet();
    w->sheet().setPathAndCaption("a_sheet_with_a_name_far_too_long_for_the_panel_caption.shd", "");
    window->updatePanels();
    QApplication::processEvents();
    DockCaption* caption = window->panelDockControl().caption();
    const QString whole =
        "Sheet Document - a_sheet_with_a_name_far_too_long_for_the_panel_caption.shd - Track 1";
    EXPECT_EQ(window->panelDock()->windowTitle(), whole);
    const QString shown = caption->shownText();
    EXPECT_NE(shown, whole);
    EXPECT_TRUE(shown.startsWith("Sheet Document")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(".shd - Track 1")) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026)));
    EXPECT_LE(caption->fontMetrics().horizontalAdvance(shown), caption->width());
    EXPECT_EQ(caption->toolTip(), whole);
    EXPECT_EQ(caption->width(), window->panelDock()->width());
    // Short captions show whole.
    container()->tabButton(Panel::Scale)->click();
    EXPECT_EQ(caption->shownText(), "Scale Diagram");
}

TEST_F(PanelContainerTest, PanelsHiddenByTheUserStayHiddenUntilAskedFor)
{
    window->showAtSavedPlacement();
    window->newSheet();
    QDockWidget* dock = window->panelDock();
    QAction* show = window->action(kCmdShowPanels);
    ASSERT_TRUE(show->isCheckable());
    EXPECT_TRUE(show->isChecked());

    show->trigger();
    EXPECT_FALSE(dock->isVisible());
    EXPECT_FALSE(show->isChecked());
    EXPECT_TRUE(window->lengthBar()->isVisible()) << "only the panels go";
    window->newSheet(); // a new document does not bring them back
    EXPECT_FALSE(dock->isVisible());
    show->trigger();
    EXPECT_TRUE(dock->isVisible());
    EXPECT_TRUE(show->isChecked());

    // The caption's close button hides them too; asking for a panel shows them.
    window->panelDockControl().caption()->closeButton()->click();
    EXPECT_FALSE(dock->isVisible());
    EXPECT_FALSE(show->isChecked());
    window->command(kCmdShowChordOptions);
    EXPECT_TRUE(dock->isVisible());
    EXPECT_TRUE(show->isChecked());
    // So does unticking the panels in the main window's context menu.
    dock->toggleViewAction()->trigger();
    EXPECT_FALSE(dock->isVisible());
    EXPECT_FALSE(show->isChecked());
    window->newSheet();
    EXPECT_FALSE(dock->isVisible());
    show->trigger();

    // Without documents the panels go away, and come back with the next document.
    ASSERT_TRUE(window->closeAllDocuments());
    ASSERT_TRUE(waitUntil([this] { return window->documents().empty(); }));
    EXPECT_FALSE(dock->isVisible());
    EXPECT_FALSE(show->isChecked());
    window->newSheet();
    EXPECT_TRUE(dock->isVisible());
}

// ---- the length bar's status ---------------------------------------------------------------

TEST(LengthBarStatusTest, ThePointerComesFirstThenTheSelectionThenThePlayingState)
{
    EXPECT_EQ(lengthBarStatus("Note: C 4", 3, 1.5, true), "Note: C 4, 3 notes selected");
    EXPECT_EQ(lengthBarStatus("Note: C 4", 0, 0.0, true), "Note: C 4");
    EXPECT_EQ(lengthBarStatus("", 3, 1.5, true), "3 notes selected, 1.50 beats");
    EXPECT_EQ(lengthBarStatus("", 1, 0.25, false), "1 note selected, 0.25 beats");
    EXPECT_EQ(lengthBarStatus("", 0, 0.0, true), "Playing");
    EXPECT_EQ(lengthBarStatus("", 0, 0.0, false), "Stopped");
}

TEST_F(PanelContainerTest, TheLengthBarSaysWhatIsSelectedAndShortensWhatDoesNotFit)
{
    window->showAtSavedPlacement();
    ASSERT_TRUE(window->openFile(example())) << errorsText();
    LengthBar* bar = window->lengthBar();
    EXPECT_EQ(bar->statusText(), "Stopped");
    ASSERT_TRUE(window->command(kCmdSelectAll));
    EXPECT_TRUE(bar->statusText().endsWith("beats")) << bar->statusText().toStdString();
    EXPECT_TRUE(bar->statusText().contains("notes selected"));

    const QString longText = QString("Note: ") + QString(80, 'x');
    bar->showStatus(longText);
    EXPECT_EQ(bar->statusText(), longText);
    auto* label = bar->findChild<QLabel*>("status");
    ASSERT_NE(label, nullptr);
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width());
    EXPECT_EQ(label->toolTip(), longText);
}

} // namespace
} // namespace tonvela::test
