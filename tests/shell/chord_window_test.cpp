// The chord document window on the offscreen platform: its page of diagrams, the pointer,
// scrolling, the diagram commands (context menu, Edit menu, keys), adding to a sheet, saving,
// opening, printing and the close question.

#include "shell_test_support.h"

#include "editor/commands.h"
#include "harmony/chord_document.h"
#include "score/sheet_document.h"
#include "shell/documents/chord_window.h"

#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>
#include <QtTest/QTest>

#include <fstream>
#include <sstream>

namespace tonvela::test {
namespace {

const char* kAMajor = "11023333243151061X";

class ChordWindowTest : public ShellTest {
  protected:
    ChordWindowTest()
    {
        window->showAtSavedPlacement();
        // Room for a whole chord window beside the panels, so every click lands on its page.
        window->resize(1500, 1100);
    }

    static QMdiSubWindow* sub(ChordWindow* w) { return qobject_cast<QMdiSubWindow*>(w->parentWidget()); }
    static QString caption(ChordWindow* w) { return w->parentWidget()->windowTitle(); }

    // A new chord document with `count` A major diagrams labelled A0, A1, ..., active and
    // focused so that keys reach it as they would from the user.
    ChordWindow* chords(int count)
    {
        ChordWindow* w = window->newChordDocument();
        for (int i = 0; i < count; ++i)
            EXPECT_TRUE(w->document().addDiagram("A", std::to_string(i), kAMajor, 1));
        window->activateWindow();
        EXPECT_TRUE(waitUntil([this] { return window->isActiveWindow(); }));
        w->setFocus();
        EXPECT_TRUE(waitUntil([w] { return w->hasFocus(); }));
        return w;
    }
    // Gives the window a page of the size asked for.
    static void sizePage(ChordWindow* w, int width, int height)
    {
        QMdiSubWindow* s = sub(w);
        s->resize(s->size() + QSize(width - w->width(), height - w->pageHeight()));
        ASSERT_TRUE(waitUntil([&] { return w->width() == width && w->pageHeight() == height; }));
    }
    static QImage picture(ChordWindow* w)
    {
        return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
    static QRgb pixel(const QImage& image, int x, int y) { return image.pixel(x, y); }

    static void wheel(QWidget* widget, int delta)
    {
        const QPointF at(60, 60);
        QWheelEvent event(at, widget->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(widget, &event);
    }

    // Right-clicks at `at` and chooses `choose` in the context menu (none: no choice).
    void rightClick(ChordWindow* w, QPoint at, const QString& choose)
    {
        const ContextMenuSeen seen = rightClickMenu(w, at, choose);
        items = seen.items;
        enabled = seen.enabled;
        // The closed menu hands the keyboard back to the main window, as the platform does.
        window->activateWindow();
        EXPECT_TRUE(waitUntil([this] { return window->isActiveWindow(); }));
    }

    static std::vector<std::string> labels(ChordWindow* w)
    {
        std::vector<std::string> out;
        for (const ChordDiagram& d : w->document().diagrams())
            out.push_back(d.label);
        return out;
    }
    static std::string readAll(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    QStringList items;
    QList<bool> enabled;
};

TEST_F(ChordWindowTest, ChordWindowsOpenAtTheirPlacesUnderTheirNumbers)
{
    ChordWindow* first = window->newChordDocument();
    ChordWindow* second = window->newChordDocument();
    EXPECT_EQ(sub(first)->geometry(), QRect(0, 90, 600, 300));
    EXPECT_EQ(sub(second)->geometry(), QRect(20, 110, 600, 300));
    EXPECT_EQ(caption(first), "Chord 1");
    EXPECT_EQ(caption(second), "Chord 2");
    EXPECT_EQ(window->activeChord(), second);
    // The page is the window above its scroll bar, laid out for its size.
    EXPECT_EQ(first->document().page().width, first->width());
    EXPECT_EQ(first->document().page().height, first->pageHeight());
    EXPECT_EQ(first->scrollBar()->geometry().bottom(), first->height() - 1);
}

TEST_F(ChordWindowTest, ThePageIsLaidOutAgainOnEveryResize)
{
    ChordWindow* w = chords(4);
    sizePage(w, 600, 605);
    EXPECT_EQ(w->document().page().rowsPerColumn, 3);
    EXPECT_EQ(w->document().diagrams()[3].originX, 180);
    EXPECT_EQ(w->document().diagrams()[3].originY, 40);
    sizePage(w, 600, 400);
    EXPECT_EQ(w->document().page().rowsPerColumn, 1);
    EXPECT_EQ(w->document().diagrams()[3].originX, 460);
    EXPECT_EQ(w->document().diagrams()[3].originY, 40);
}

TEST_F(ChordWindowTest, ThePointerFramesTheDiagramUnderItInRed)
{
    ChordWindow* w = chords(3);
    sizePage(w, 600, 400);
    QTest::mouseMove(w, QPoint(60, 60));
    ASSERT_TRUE(waitUntil([w] { return w->document().page().hovered == 0; }));
    QImage image = picture(w);
    // The frame lies one pixel inside the box (20, 20)..(165, 210).
    EXPECT_EQ(pixel(image, 21, 100), qRgb(255, 0, 0));
    EXPECT_EQ(pixel(image, 25, 21), qRgb(255, 0, 0));
    EXPECT_EQ(pixel(image, 20, 100), qRgb(255, 255, 255));
    EXPECT_EQ(pixel(image, 25, 20), qRgb(255, 255, 255));

    QTest::mouseMove(w, QPoint(200, 60));
    ASSERT_TRUE(waitUntil([w] { return w->document().page().hovered == 1; }));
    image = picture(w);
    EXPECT_EQ(pixel(image, 21, 100), qRgb(255, 255, 255)) << "the old frame is gone";
    EXPECT_EQ(pixel(image, 161, 100), qRgb(255, 0, 0));

    QTest::mouseMove(w, QPoint(590, 300)); // beside every diagram
    ASSERT_TRUE(waitUntil([w] { return w->document().page().hovered == -1; }));
}

TEST_F(ChordWindowTest, AClickTogglesADiagramsSelectionAndAClickBesideThemClearsIt)
{
    ChordWindow* w = chords(3);
    sizePage(w, 600, 400);
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(60, 60));
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(330, 100));
    const auto& d = w->document().diagrams();
    EXPECT_TRUE(d[0].selected);
    EXPECT_FALSE(d[1].selected);
    EXPECT_TRUE(d[2].selected);
    EXPECT_EQ(w->chosenDiagram(), 2);

    // The selected diagram stands white on its black box with a red edge.
    QImage image = picture(w);
    EXPECT_EQ(pixel(image, 22, 205), qRgb(0, 0, 0));
    EXPECT_EQ(pixel(image, 20, 100), qRgb(255, 0, 0));
    EXPECT_EQ(pixel(image, 182, 205), qRgb(255, 255, 255)) << "the second is not selected";

    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(60, 60)); // toggles off
    EXPECT_FALSE(d[0].selected);
    EXPECT_TRUE(d[2].selected);
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(590, 380)); // beside them all
    EXPECT_FALSE(d[2].selected);
    image = picture(w);
    EXPECT_EQ(pixel(image, 302, 205), qRgb(255, 255, 255));
}

TEST_F(ChordWindowTest, TheScrollBarMovesByColumnsAndTheWheelByOne)
{
    ChordWindow* w = chords(12); // one diagram a column: 12 columns, four on the page
    sizePage(w, 600, 400);
    QScrollBar* bar = w->scrollBar();
    const ChordPageState& page = w->document().page();
    EXPECT_EQ(page.scrollMax, 8);
    EXPECT_EQ(bar->maximum(), 8);
    EXPECT_TRUE(bar->isEnabled());

    bar->triggerAction(QAbstractSlider::SliderSingleStepSub); // at 0: nothing
    EXPECT_EQ(page.scrollPos, 0);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(page.scrollPos, 1);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(page.scrollPos, 4);
    EXPECT_EQ(bar->value(), 4);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(page.scrollPos, 8) << "kept at the end";
    EXPECT_EQ(bar->value(), 8);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(page.scrollPos, 5);
    // The first visible column is drawn first on the page.
    EXPECT_EQ(w->document().diagrams()[5].originX, 40);

    // The wheel: backward one column to the right, forward one to the left; half notches add up.
    wheel(w, -120);
    EXPECT_EQ(page.scrollPos, 6);
    wheel(w, 120);
    wheel(w, 120);
    EXPECT_EQ(page.scrollPos, 4);
    wheel(w, 60);
    EXPECT_EQ(page.scrollPos, 4);
    wheel(w, 60);
    EXPECT_EQ(page.scrollPos, 3);
    EXPECT_EQ(bar->value(), 3);

    // A dragged thumb moves the page when it is let go.
    bar->setSliderDown(true);
    bar->setSliderPosition(7);
    EXPECT_EQ(page.scrollPos, 3) << "no tracking";
    bar->setSliderDown(false);
    EXPECT_EQ(page.scrollPos, 7);

    // Clearing the page takes the range away.
    window->command(kCmdClear);
    EXPECT_EQ(bar->maximum(), 0);
    EXPECT_FALSE(bar->isEnabled());
}

TEST_F(ChordWindowTest, DiagramsAreRemovedFromTheContextMenuTheEditMenuAndWithDelete)
{
    ChordWindow* w = chords(5);
    sizePage(w, 600, 400);
    ASSERT_TRUE(w->document().modified);

    // The context menu over the second diagram: its own removal is offered; nothing is
    // selected yet.
    rightClick(w, QPoint(200, 100), kRemoveDiagramText);
    EXPECT_EQ(items, (QStringList{"Remove Diagram", "Remove Selected Diagrams", "Add All Diagrams To Sheet",
                                  "Add Selected Diagrams To Sheet"}));
    EXPECT_EQ(enabled, (QList<bool>{true, false, true, false}));
    EXPECT_EQ(labels(w), (std::vector<std::string>{"A0", "A2", "A3", "A4"}));
    // Beside the diagrams there is none to remove.
    rightClick(w, QPoint(590, 380), QString());
    EXPECT_EQ(enabled, (QList<bool>{false, false, true, false}));

    // Delete removes the selected diagrams.
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(60, 60));
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(330, 60));
    QTest::keyClick(w, Qt::Key_Delete);
    EXPECT_EQ(labels(w), (std::vector<std::string>{"A2", "A4"}));

    // The Edit menu has the commands while a chord document is active.
    for (int id : {kCmdRemoveDiagram, kCmdRemoveSelectedDiagrams, kCmdAddAllDiagramsToSheet,
                   kCmdAddSelectedDiagramsToSheet, kCmdClear, kCmdDelete, kCmdSelectAll})
        EXPECT_TRUE(window->action(id)->isEnabled()) << id;
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(200, 60));
    EXPECT_TRUE(window->command(kCmdRemoveSelectedDiagrams));
    EXPECT_EQ(labels(w), (std::vector<std::string>{"A2"}));
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(60, 60));
    EXPECT_TRUE(window->command(kCmdRemoveDiagram)) << "the diagram clicked last";
    EXPECT_TRUE(labels(w).empty());

    // Each removal is undone in turn, and redone.
    QTest::keyClick(w, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(labels(w), (std::vector<std::string>{"A2"}));
    window->command(kCmdUndo);
    window->command(kCmdUndo);
    window->command(kCmdUndo);
    EXPECT_EQ(labels(w), (std::vector<std::string>{"A0", "A1", "A2", "A3", "A4"}));
    window->command(kCmdRedo);
    EXPECT_EQ(labels(w), (std::vector<std::string>{"A0", "A2", "A3", "A4"}));

    // A sheet does not answer them.
    window->newSheet();
    EXPECT_FALSE(window->action(kCmdRemoveSelectedDiagrams)->isEnabled());
    EXPECT_FALSE(window->command(kCmdAddAllDiagramsToSheet));
}

TEST_F(ChordWindowTest, ClearEmptiesThePageAndSelectAllSelectsEveryDiagram)
{
    ChordWindow* w = chords(3);
    const std::string path = file("three.shd");
    dialogs.answers.push_back(FileChoice{path, 0});
    ASSERT_TRUE(window->command(kCmdSave));
    ASSERT_EQ(caption(w), "three.shd");

    QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
    for (const ChordDiagram& d : w->document().diagrams())
        EXPECT_TRUE(d.selected);
    QTest::keyClick(w, Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(w->document().diagramCount(), 0);
    EXPECT_EQ(caption(w), "three.shd*") << "a cleared page is a change to save";
    window->command(kCmdUndo);
    EXPECT_EQ(w->document().diagramCount(), 3);
}

TEST_F(ChordWindowTest, AddToSheetAddsTheDiagramsToTheSheetActiveLast)
{
    // No sheet open: the command says so.
    ChordWindow* lonely = chords(1);
    EXPECT_TRUE(window->command(kCmdAddAllDiagramsToSheet));
    ASSERT_EQ(errorCount(), 1);
    EXPECT_EQ(notifier.messages.back().text, "No document open to add chord");
    notifier.answers = {Notifier::Answer::No};
    sub(lonely)->close();
    ASSERT_TRUE(waitUntil([this] { return window->chordWindows().empty(); }));

    SheetWindow* older = window->newSheet();
    SheetWindow* target = window->newSheet();
    ChordWindow* w = chords(3);
    sizePage(w, 600, 400);
    ASSERT_EQ(window->activeChord(), w);
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(200, 60)); // the second

    // From the context menu: the selected one only.
    rightClick(w, QPoint(590, 380), kAddSelectedDiagramsToSheetText);
    const Track& track = *target->sheet().trackAt(0);
    const int perShape = track.count;
    EXPECT_EQ(perShape, 5) << "A major sounds on five strings";
    // From the Edit menu: all three.
    EXPECT_TRUE(window->command(kCmdAddAllDiagramsToSheet));
    EXPECT_EQ(track.count, 4 * perShape);
    EXPECT_EQ(older->sheet().trackAt(0)->count, 0) << "the sheet active before the last one gets nothing";
    EXPECT_EQ(window->activeChord(), w) << "the chord document stays active";
    EXPECT_TRUE(title(target).endsWith("*"));

    // Each diagram is one edit of the sheet: undo there takes back the last chord.
    window->activate(target);
    window->command(kCmdUndo);
    EXPECT_EQ(track.count, 3 * perShape);
}

TEST_F(ChordWindowTest, SaveAndOpenGoByTheRootElementAndTheCaptionShowsUnsavedChanges)
{
    ChordWindow* w = chords(2);
    EXPECT_EQ(caption(w), "Chord 1*");
    const std::string path = file("lesson.shd");
    dialogs.answers.push_back(FileChoice{path, 0});
    ASSERT_TRUE(window->command(kCmdSave));
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_TRUE(dialogs.asked[0].saving);
    EXPECT_EQ(dialogs.asked[0].filters, (QStringList{"Sheet Document Files(*.shd)", "All Files (*.*)"}));
    EXPECT_EQ(dialogs.asked[0].suffix, "shd");
    EXPECT_EQ(caption(w), "lesson.shd");
    const std::string saved = readAll(path);
    EXPECT_EQ(saved.rfind("<chorddoc>", 0), 0u);
    EXPECT_EQ(saved.substr(saved.size() - 11), "</chorddoc>");

    // Save of a saved document writes to its file without asking; Save As always asks.
    w->document().addDiagram("E", "m", "110210310433532610", 1);
    EXPECT_EQ(caption(w), "lesson.shd*");
    ASSERT_TRUE(window->command(kCmdSave));
    EXPECT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(caption(w), "lesson.shd");
    EXPECT_NE(readAll(path).find("label=\"Em\""), std::string::npos);
    window->command(kCmdSaveAs); // cancelled
    EXPECT_EQ(dialogs.asked.size(), 2u);

    // Closed unmodified: no question. Opened again: a chord document with its diagrams.
    sub(w)->close();
    ASSERT_TRUE(waitUntil([this] { return window->chordWindows().empty(); }));
    EXPECT_TRUE(notifier.messages.empty()) << errorsText();
    ASSERT_TRUE(window->openFile(path)) << errorsText();
    ASSERT_EQ(window->chordWindows().size(), 1u);
    ChordWindow* back = window->chordWindows()[0];
    EXPECT_EQ(labels(back), (std::vector<std::string>{"A0", "A1", "Em"}));
    EXPECT_EQ(caption(back), "lesson.shd");
    EXPECT_EQ(window->activeChord(), back);
    EXPECT_TRUE(window->sheetWindows().empty());
}

TEST_F(ChordWindowTest, ClosingAnUnsavedChordDocumentAsksToSaveIt)
{
    ChordWindow* w = chords(1);
    // Cancel keeps it open; Yes saves it under a chosen name, then it closes.
    notifier.answers = {Notifier::Answer::Cancel};
    sub(w)->close();
    QApplication::processEvents();
    ASSERT_EQ(notifier.messages.size(), 1u);
    EXPECT_TRUE(notifier.messages[0].isQuestion);
    EXPECT_EQ(notifier.messages[0].text, "Save file Chord 1?");
    EXPECT_EQ(notifier.messages[0].caption, "Save");
    ASSERT_EQ(window->chordWindows().size(), 1u);

    const std::string path = file("kept.shd");
    notifier.answers = {Notifier::Answer::Yes};
    dialogs.answers.push_back(FileChoice{path, 0});
    sub(w)->close();
    ASSERT_TRUE(waitUntil([this] { return window->chordWindows().empty(); }));
    EXPECT_NE(readAll(path).find("label=\"A0\""), std::string::npos);
}

TEST_F(ChordWindowTest, PrintPrintsTheActiveChordDocument)
{
    chords(20);
    dialogs.pdfPath = file("chords.pdf");
    EXPECT_TRUE(window->command(kCmdPrint));
    EXPECT_EQ(dialogs.printDocumentNames, std::vector<std::string>{"Chord 1"});
    const std::string pdf = readAll(dialogs.pdfPath);
    ASSERT_EQ(pdf.rfind("%PDF", 0), 0u);
    EXPECT_NE(pdf.find("/Count 2"), std::string::npos) << "20 diagrams take two pages of 16";
    EXPECT_EQ(errorCount(), 0) << errorsText();
}

} // namespace
} // namespace tonvela::test
