#include "shell_test_support.h"

#include "editor/commands.h"
#include "score/sheet_document.h"
#include "score/track.h"
#include "shell/documents/chord_window.h"
#include "shell/frame/about_box.h"
#include "shell/frame/recent_files.h"
#include "shell/frame/window_placement.h"
#include "shell/panels/sheet_options_panel.h"

#include <QAction>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <string>
#include <vector>

namespace tonvela::test {
namespace {

// ---- the About box -------------------------------------------------------------------------

class AboutBoxTest : public ShellTest {
  protected:
    AboutBox* about() const { return window->aboutBox(); }
    QString allText() const
    {
        QString all;
        for (const AboutText& t : about()->texts())
            all += t.text + "\n";
        return all;
    }
};

TEST_F(AboutBoxTest, NamesTheProgramItsVersionItsLicenceAndTheKeyboardKeys)
{
    const std::vector<AboutText> texts = about()->texts();
    ASSERT_GE(texts.size(), 5u);
    EXPECT_EQ(texts[0].text, "Tonvela");
    EXPECT_EQ(texts[0].box.left(), 40);
    const QString all = allText();
    EXPECT_TRUE(all.contains("sheet editing, MIDI playing and chord diagrams", Qt::CaseInsensitive));
    EXPECT_EQ(programVersion(), TONVELA_PROJECT_VERSION);
    EXPECT_TRUE(all.contains("Version " + programVersion()));
    EXPECT_FALSE(programLicence().isEmpty());
    EXPECT_TRUE(all.contains("Licence: " + programLicence()));
    EXPECT_TRUE(all.contains(kWebsiteAddress));

    // The keyboard keys on three lines, in a box 400 wide at (220, 150).
    QStringList keyLines;
    QRect keyBox;
    for (const AboutText& t : texts) {
        if (t.box.left() == 220) {
            keyLines += t.text.split('\n');
            keyBox = keyBox.united(t.box);
        }
    }
    EXPECT_EQ(keyLines,
              QStringList({"Keyboard Input:", "W - whole, H - half, Q - quarter, E - eight, Y - sixteenth",
                           "R - rest, S - sharp, F - flat, D - dot, T - tie"}));
    EXPECT_EQ(keyBox.topLeft(), QPoint(220, 150));
    EXPECT_EQ(keyBox.width(), 400);
}

TEST_F(AboutBoxTest, EveryTextFitsTheWhiteBoxWithoutTouchingAnother)
{
    EXPECT_EQ(about()->size(), QSize(600, 500));
    const QRect inside = about()->rect();
    std::vector<QRect> used;
    for (const AboutText& t : about()->texts()) {
        const QRect drawn = QFontMetrics(t.font).boundingRect(t.box, t.flags, t.text);
        EXPECT_TRUE(inside.contains(drawn)) << t.text.toStdString();
        EXPECT_LE(drawn.height(), t.box.height()) << "cut at the bottom: " << t.text.toStdString();
        for (const QRect& other : used)
            EXPECT_FALSE(drawn.intersects(other)) << t.text.toStdString();
        used.push_back(drawn);
    }
    const QRect close = about()->closeButton()->geometry();
    EXPECT_TRUE(inside.contains(close));
    for (const QRect& text : used)
        EXPECT_FALSE(close.intersects(text));

    // The picture: white, with dark text where the keys are.
    const QImage picture = about()->grab().toImage();
    EXPECT_EQ(picture.pixel(5, 5), qRgb(255, 255, 255));
    EXPECT_EQ(picture.pixel(590, 300), qRgb(255, 255, 255));
    int dark = 0;
    for (int y = 150; y < 200; ++y)
        for (int x = 220; x < 500; ++x)
            dark += qGray(picture.pixel(x, y)) < 100 ? 1 : 0;
    EXPECT_GT(dark, 200);
}

TEST_F(AboutBoxTest, OpensFromTheHelpMenuAndCloseHidesIt)
{
    window->showAtSavedPlacement();
    EXPECT_FALSE(about()->isVisible());
    ASSERT_TRUE(window->command(kCmdAbout));
    EXPECT_TRUE(about()->isVisible());
    EXPECT_FALSE(about()->isModal());
    EXPECT_EQ(about()->closeButton()->text(), "Close");
    about()->closeButton()->click();
    EXPECT_FALSE(about()->isVisible());
}

// ---- the View menu -------------------------------------------------------------------------

class ViewMenuTest : public ShellTest {};

TEST_F(ViewMenuTest, ZoomStepsByATenthReturnsTo100PercentAndLeavesTheSheetUnmodified)
{
    window->showAtSavedPlacement();
    SheetWindow* w = window->newSheet();
    SheetEditor& editor = w->editor();
    editor.setZoom(0.93f);
    ASSERT_TRUE(window->command(kCmdZoomIn));
    EXPECT_NEAR(editor.zoom(), 1.0f, 1e-5) << "the first step lands on a tenth";
    window->command(kCmdZoomIn);
    EXPECT_NEAR(editor.zoom(), 1.1f, 1e-5);
    EXPECT_NEAR(window->panels()->sheetPanel()->zoomField()->value(), 1.1, 1e-6)
        << "the Scale: field follows";
    window->command(kCmdZoomActual);
    EXPECT_NEAR(editor.zoom(), 1.0f, 1e-5);
    for (int i = 0; i < 10; ++i)
        window->command(kCmdZoomOut);
    EXPECT_NEAR(editor.zoom(), 0.4f, 1e-5) << "never below what drawing accepts";
    EXPECT_EQ(title(w), "Sheet 1");

    // The keys, as the user presses them in the sheet (where digits and letters enter notes).
    window->activateWindow();
    ASSERT_TRUE(waitUntil([this] { return window->isActiveWindow(); }));
    w->setFocus();
    QTest::keyClick(w, Qt::Key_0, Qt::ControlModifier);
    EXPECT_NEAR(editor.zoom(), 1.0f, 1e-5);
    QTest::keyClick(w, Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_NEAR(editor.zoom(), 1.1f, 1e-5);
    QTest::keyClick(w, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_NEAR(editor.zoom(), 1.0f, 1e-5);
    QTest::keyClick(w, Qt::Key_F9);
    EXPECT_FALSE(window->panelDock()->isVisible());
    QTest::keyClick(w, Qt::Key_F9);
    EXPECT_TRUE(window->panelDock()->isVisible());
    EXPECT_EQ(w->sheet().trackAt(0)->count, 0) << "no key entered a note";

    // A chord document has no zoom: the items are disabled.
    window->newChordDocument();
    EXPECT_FALSE(window->action(kCmdZoomIn)->isEnabled());
    EXPECT_FALSE(window->command(kCmdZoomIn));
    EXPECT_TRUE(window->action(kCmdShowPanels)->isEnabled());
}

// ---- the window title ----------------------------------------------------------------------

TEST_F(ViewMenuTest, TheTitleNamesTheActiveDocumentOnceEvenMaximised)
{
    window->showAtSavedPlacement();
    EXPECT_EQ(window->windowTitle(), "Tonvela");
    SheetWindow* w = window->newSheet();
    EXPECT_EQ(window->windowTitle(), "Sheet 1 - Tonvela");
    w->sheet().markModified();
    EXPECT_EQ(window->windowTitle(), "Sheet 1* - Tonvela");
    w->parentWidget()->showMaximized();
    QApplication::processEvents();
    EXPECT_EQ(window->windowTitle(), "Sheet 1* - Tonvela");
    EXPECT_EQ(window->windowTitle().count("Sheet 1"), 1);
    window->newChordDocument();
    QApplication::processEvents();
    EXPECT_EQ(window->windowTitle(), "Chord 1 - Tonvela");
    window->activate(w);
    QApplication::processEvents();
    EXPECT_EQ(window->windowTitle(), "Sheet 1* - Tonvela");
    w->parentWidget()->showNormal();
    QApplication::processEvents();
    EXPECT_EQ(window->windowTitle(), "Sheet 1* - Tonvela");

    notifier.answers = {Notifier::Answer::No};
    ASSERT_TRUE(window->closeAllDocuments());
    ASSERT_TRUE(waitUntil([this] { return window->documents().empty(); }));
    EXPECT_EQ(window->windowTitle(), "Tonvela");
}

// ---- the first start -----------------------------------------------------------------------

TEST(FirstStartTest, TheWindowFitsTheScreenInsteadOfAFixedSize)
{
    // Four fifths of a large screen, centred, with room for the title bar.
    EXPECT_EQ(firstStartGeometry(QRect(0, 0, 1920, 1080)), QRect(192, 104, 1536, 832));
    // A second screen to the right keeps the window on that screen.
    const QRect right = firstStartGeometry(QRect(1920, 0, 2560, 1440));
    EXPECT_TRUE(QRect(1920, 0, 2560, 1440).contains(right));
    EXPECT_EQ(right.size(), QSize(2048, 1120));
    // A small screen still gets 650 x 550 where it has room for it, and never more than it has.
    EXPECT_EQ(firstStartGeometry(QRect(0, 0, 800, 600)).size(), QSize(650, 550));
    EXPECT_EQ(firstStartGeometry(QRect(0, 0, 640, 480)), QRect(0, 0, 640, 440));
}

TEST(FirstStartTest, OnlyAStoredEdgeCountsAsAStoredPlacement)
{
    MemorySettingsStore store;
    EXPECT_FALSE(hasStoredPlacement(store));
    store.values[kKeyMaximized] = "1";
    EXPECT_FALSE(hasStoredPlacement(store));
    store.values[kKeyMainTop] = "70";
    EXPECT_TRUE(hasStoredPlacement(store));
    store.refuse = true;
    EXPECT_FALSE(hasStoredPlacement(store));
}

// ---- File > Open Recent ---------------------------------------------------------------------

class RecentFilesTest : public ShellTest {
  protected:
    // Copies of the example sheet named `name`.
    std::string sheetFile(const std::string& name)
    {
        std::string path = file(name);
        QFile::remove(QString::fromStdString(path));
        EXPECT_TRUE(QFile::copy(QString::fromStdString(example()), QString::fromStdString(path)));
        return path;
    }
    std::vector<std::string> recent() const { return window->recentFiles()->files().paths(); }
    // The entries of the submenu as it shows.
    QStringList entries() const
    {
        QMenu* menu = window->recentFiles()->menu();
        emit menu->aboutToShow();
        QStringList out;
        for (QAction* a : menu->actions())
            if (!a->isSeparator())
                out << a->text();
        return out;
    }
};

TEST_F(RecentFilesTest, OpenedAndSavedFilesComeFirstAndTheListKeepsTen)
{
    window->showAtSavedPlacement();
    EXPECT_FALSE(window->recentFiles()->menu()->menuAction()->isEnabled()) << "nothing to show yet";
    const std::string a = sheetFile("a.shd"), b = sheetFile("b.shd"), c = sheetFile("c.shd");
    for (const std::string& path : {a, b, c})
        ASSERT_TRUE(window->openFile(path)) << errorsText();
    EXPECT_EQ(recent(), (std::vector<std::string>{c, b, a}));
    EXPECT_TRUE(window->recentFiles()->menu()->menuAction()->isEnabled());
    ASSERT_TRUE(window->openFile(a)); // open already: comes forward, and first in the list
    EXPECT_EQ(recent(), (std::vector<std::string>{a, c, b}));

    // Save As puts the new name first; a sheet written as a MIDI file is no document file.
    const std::string saved = file("saved.shd");
    dialogs.answers.push_back(FileChoice{saved, 0});
    ASSERT_TRUE(window->command(kCmdSaveAs));
    dialogs.answers.push_back(FileChoice{file("track.mid"), 1});
    ASSERT_TRUE(window->command(kCmdSaveAs));
    EXPECT_EQ(recent(), (std::vector<std::string>{saved, a, c, b}));

    // Failed opens leave the list alone.
    EXPECT_FALSE(window->openFile(file("nothing.shd")));
    EXPECT_EQ(recent().size(), 4u);

    for (int i = 0; i < 9; ++i)
        ASSERT_TRUE(window->openFile(sheetFile("more" + std::to_string(i) + ".shd")));
    ASSERT_EQ(recent().size(), 10u);
    EXPECT_EQ(recent().front(), file("more8.shd"));
    EXPECT_EQ(recent().back(), saved) << "a, c and b, the oldest, dropped off";

    const QStringList shown = entries();
    ASSERT_EQ(shown.size(), 11); // ten files and "Clear List"
    EXPECT_TRUE(shown[0].startsWith("&1  more8.shd  (")) << shown[0].toStdString();
    EXPECT_TRUE(shown[9].startsWith("10  saved.shd  (")) << shown[9].toStdString();
    EXPECT_EQ(shown[10], "Clear List");
}

TEST_F(RecentFilesTest, TheListSurvivesARestartAndAnEntryOpensItsFile)
{
    window->showAtSavedPlacement();
    const std::string a = sheetFile("a.shd"), b = sheetFile("b.shd");
    window->openFile(a);
    window->openFile(b);
    ASSERT_TRUE(window->closeAllDocuments());
    makeWindow(); // the next run, on the same settings
    window->showAtSavedPlacement();
    EXPECT_EQ(recent(), (std::vector<std::string>{b, a}));
    EXPECT_EQ(settings.readText("RecentFile1"), b);

    entries();
    window->recentFiles()->menu()->actions()[1]->trigger();
    ASSERT_NE(window->activeSheet(), nullptr);
    EXPECT_EQ(window->activeSheet()->sheet().path, a);
    EXPECT_EQ(recent(), (std::vector<std::string>{a, b}));
    EXPECT_EQ(errorCount(), 0) << errorsText();
}

TEST_F(RecentFilesTest, AFileThatIsGoneSaysSoAndLeavesTheList)
{
    window->showAtSavedPlacement();
    const std::string a = sheetFile("a.shd"), b = sheetFile("b.shd");
    window->openFile(a);
    window->openFile(b);
    ASSERT_TRUE(QFile::remove(QString::fromStdString(a)));
    const size_t windowsBefore = window->documents().size();
    EXPECT_FALSE(window->recentFiles()->open(1));
    ASSERT_EQ(errorCount(), 1);
    EXPECT_EQ(notifier.messages.back().caption, "Error");
    EXPECT_NE(notifier.messages.back().text.find(a + " no longer exists"), std::string::npos)
        << notifier.messages.back().text;
    EXPECT_EQ(recent(), std::vector<std::string>{b});
    EXPECT_EQ(window->documents().size(), windowsBefore);
    makeWindow();
    EXPECT_EQ(recent(), std::vector<std::string>{b}) << "gone for the next run too";

    // Clear List empties it for good.
    entries();
    window->recentFiles()->menu()->actions().back()->trigger();
    EXPECT_TRUE(recent().empty());
    makeWindow();
    EXPECT_TRUE(recent().empty());
}

TEST(RecentFilesStoreTest, AStoreThatCannotBeOpenedKeepsTheListForTheRunOnly)
{
    MemorySettingsStore store;
    store.refuse = true;
    RecentFiles files(store);
    files.add("/tmp/x.shd");
    EXPECT_EQ(files.paths(), std::vector<std::string>{"/tmp/x.shd"});
    EXPECT_EQ(store.writes, 0);

    // Damaged entries: empty ones are skipped and a path stored twice counts once.
    MemorySettingsStore damaged;
    damaged.values = {
        {"RecentFile1", "/a.shd"}, {"RecentFile2", ""}, {"RecentFile3", "/a.shd"}, {"RecentFile4", "/b.shd"}};
    EXPECT_EQ(RecentFiles(damaged).paths(), (std::vector<std::string>{"/a.shd", "/b.shd"}));
}

} // namespace
} // namespace tonvela::test
