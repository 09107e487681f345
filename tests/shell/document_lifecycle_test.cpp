#include "shell_test_support.h"

#include "editor/commands.h"
#include "harmony/chord_document.h"
#include "playback/midi_file_writer.h"
#include "score/sheet_document.h"
#include "shell/documents/chord_window.h"
#include "shell/frame/recent_files.h"
#include "shell/panels/sheet_options_panel.h"

#include <QDir>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSpinBox>
#include <QWheelEvent>

#include <fstream>

namespace tonvela::test {
namespace {

Note quarterAt(int line)
{
    Note n;
    n.type = kTypeQuarter;
    n.setStaffPosition(line);
    return n;
}

// One wheel notch over the middle of `widget`, through the application as the platform
// delivers it (focus by wheel included).
void wheel(QWidget* widget, int delta)
{
    const QPointF at = QRectF(widget->rect()).center();
    QWheelEvent event(at, widget->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

class DocumentLifecycleTest : public ShellTest {
  protected:
    SheetWindow* start()
    {
        window->showAtSavedPlacement();
        return window->newSheet();
    }
    // One note inserted the way every edit goes: one snapshot, then the change.
    static void addNote(SheetWindow* w, int track, int line)
    {
        Track& t = *w->sheet().trackAt(track);
        w->editor().edit(SnapshotKind::Insert, track, [&] { t.insertNote(quarterAt(line), t.count); });
    }
};

TEST_F(DocumentLifecycleTest, LoweringNumberTracksIsOneEditThatUndoBringsBackWithItsNotes)
{
    SheetWindow* w = start();
    auto* panel = window->panels()->sheetPanel();
    panel->trackCountField()->setValue(3);
    addNote(w, 2, 0);
    addNote(w, 2, 2);
    ASSERT_EQ(w->sheet().trackAt(2)->count, 2);

    panel->trackCountField()->setValue(2);
    ASSERT_EQ(w->sheet().trackCount(), 2);
    EXPECT_EQ(title(w), "Sheet 1*");
    ASSERT_TRUE(window->command(kCmdUndo));
    ASSERT_EQ(w->sheet().trackCount(), 3);
    EXPECT_EQ(w->sheet().trackAt(2)->count, 2) << "the removed track's notes come back";
    EXPECT_EQ(panel->trackCountField()->value(), 3) << "the field follows the undo";
    ASSERT_TRUE(window->command(kCmdRedo));
    EXPECT_EQ(w->sheet().trackCount(), 2);
    EXPECT_EQ(panel->trackCountField()->value(), 2);
    // Undo walks back through the raise too, to the first two tracks.
    for (int i = 0; i < 4; ++i)
        window->command(kCmdUndo);
    EXPECT_EQ(w->sheet().trackCount(), 2);
    EXPECT_EQ(w->sheet().trackAt(0)->count, 0);
}

TEST_F(DocumentLifecycleTest, TheNumberTracksFieldTakesWheelStepsOnlyWithTheKeyboardFocus)
{
    SheetWindow* w = start();
    QSpinBox* field = window->panels()->sheetPanel()->trackCountField();
    window->activateWindow();
    ASSERT_TRUE(waitUntil([this] { return window->isActiveWindow(); }));
    w->setFocus();
    ASSERT_TRUE(waitUntil([w] { return w->hasFocus(); }));
    // A wheel turned over the panel to scroll it: a step down would remove track 2.
    wheel(field, -120);
    EXPECT_EQ(field->value(), 2);
    EXPECT_EQ(w->sheet().trackCount(), 2);
    EXPECT_FALSE(field->hasFocus()) << "the wheel does not take the focus either";
    EXPECT_FALSE(w->sheet().modified);

    field->setFocus();
    ASSERT_TRUE(waitUntil([field] { return field->hasFocus(); }));
    wheel(field, 120);
    EXPECT_EQ(field->value(), 3);
    EXPECT_EQ(w->sheet().trackCount(), 3);
}

TEST_F(DocumentLifecycleTest, UndoAfterASaveMarksTheSheetAndClosingAsksAgain)
{
    SheetWindow* w = start();
    addNote(w, 0, 0);
    addNote(w, 0, 1);
    const std::string path = file("song.shd");
    dialogs.answers.push_back(FileChoice{path, 0});
    ASSERT_TRUE(window->command(kCmdSave));
    EXPECT_EQ(title(w), "song.shd");

    ASSERT_TRUE(window->command(kCmdUndo));
    EXPECT_EQ(title(w), "song.shd*") << "the sheet is no longer what was saved";
    ASSERT_TRUE(window->command(kCmdRedo));
    EXPECT_EQ(title(w), "song.shd") << "redo returned exactly to the saved state";
    ASSERT_TRUE(window->command(kCmdUndo));
    // Closing now asks; Cancel keeps the undone work open.
    notifier.answers = {Notifier::Answer::Cancel};
    EXPECT_FALSE(w->parentWidget()->close());
    ASSERT_EQ(notifier.messages.size(), 1u);
    EXPECT_EQ(notifier.messages[0].text, "Save file song.shd?");
}

TEST_F(DocumentLifecycleTest, ExitCancelledAtAQuestionLeavesEveryWindowAsItWas)
{
    SheetWindow* plain = start();
    SheetWindow* edited = window->newSheet();
    addNote(edited, 0, 0);
    ChordWindow* chord = window->newChordDocument();
    ASSERT_TRUE(chord->document().addDiagram("A", "m", "x0x2x2x1x0xx", 1));
    chord->document().modified = 1;
    // The sheet's question is answered No (discard), the chord document's Cancel.
    notifier.answers = {Notifier::Answer::No, Notifier::Answer::Cancel};
    window->command(kCmdExit);
    QApplication::processEvents();
    EXPECT_EQ(notifier.messages.size(), 2u);
    EXPECT_TRUE(quitCodes.empty());
    EXPECT_EQ(window->sheetWindows().size(), 2u) << "the unmodified sheet is still open";
    EXPECT_EQ(window->chordWindows().size(), 1u);
    EXPECT_EQ(window->mdiArea()->subWindowList().size(), 3);
    EXPECT_TRUE(plain->isVisible());
    EXPECT_EQ(title(edited), "Sheet 2*") << "the sheet answered No keeps its changes while nothing closed";

    // All answered: everything closes, then the program ends.
    notifier.answers = {Notifier::Answer::No, Notifier::Answer::No};
    window->command(kCmdExit);
    EXPECT_EQ(quitCodes, std::vector<int>{0});
    EXPECT_TRUE(waitUntil([this] { return window->mdiArea()->subWindowList().isEmpty(); }));
    EXPECT_EQ(notifier.messages.size(), 4u) << "each question once";
}

TEST_F(DocumentLifecycleTest, OpeningAFileThatIsOpenBringsItsWindowForward)
{
    window->showAtSavedPlacement();
    ASSERT_TRUE(window->openFile(example())) << errorsText();
    SheetWindow* first = window->activeSheet();
    window->newSheet();
    ASSERT_NE(window->activeSheet(), first);
    // The same file by another spelling of its path.
    const std::string other = std::string(TONVELA_SOURCE_DIR) + "/examples/../examples/./ode_to_joy.shd";
    ASSERT_TRUE(window->openFile(other));
    EXPECT_EQ(window->sheetWindows().size(), 2u) << "no second copy";
    EXPECT_EQ(window->activeSheet(), first);
    // Through a link, too.
    const std::string link = file("link.shd");
    ASSERT_TRUE(QFile::link(QString::fromStdString(example()), QString::fromStdString(link)));
    ChordWindow* chord = window->newChordDocument();
    ASSERT_TRUE(window->openFile(link));
    EXPECT_EQ(window->sheetWindows().size(), 2u);
    EXPECT_EQ(window->activeSheet(), first);
    EXPECT_EQ(errorCount(), 0) << errorsText();

    // A chord document saved under a name opens once as well.
    window->activate(chord);
    const std::string chords = file("chords.shd");
    dialogs.answers.push_back(FileChoice{chords, 0});
    ASSERT_TRUE(window->command(kCmdSave));
    window->activate(first);
    ASSERT_TRUE(window->openFile(chords));
    EXPECT_EQ(window->chordWindows().size(), 1u);
    EXPECT_EQ(window->activeChord(), chord);
}

TEST_F(DocumentLifecycleTest, EveryPathADocumentHoldsIsAbsoluteAndCanonical)
{
    // GIVEN songs/song.shd, a link to its folder and a link to the file itself.
    QDir(dir.path()).mkpath(QStringLiteral("songs"));
    const std::string song = file("songs/song.shd");
    ASSERT_TRUE(QFile::copy(QString::fromStdString(example()), QString::fromStdString(song)));
    ASSERT_TRUE(QFile::link(QString::fromStdString(file("songs")), QString::fromStdString(file("linked"))));
    ASSERT_TRUE(QFile::link(QString::fromStdString(song), QString::fromStdString(file("alias.shd"))));
    window->showAtSavedPlacement();

    // A relative name with "..", from the folder it names.
    const QString before = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(file("linked")));
    const bool opened = window->openFile("../linked/./song.shd");
    QDir::setCurrent(before);
    ASSERT_TRUE(opened) << errorsText();
    SheetWindow* w = window->activeSheet();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->path(), song);
    EXPECT_EQ(title(w), "song.shd");
    ASSERT_FALSE(window->recentFiles()->files().paths().empty());
    EXPECT_EQ(window->recentFiles()->files().paths().front(), song);

    // Another name of the same file is the same document.
    window->newSheet();
    ASSERT_TRUE(window->openFile(file("alias.shd")));
    EXPECT_EQ(window->activeSheet(), w);
    EXPECT_EQ(window->sheetWindows().size(), 2u);

    // Save As through the linked folder keeps the file's real path.
    SheetWindow* other =
        window->sheetWindows()[1] == w ? window->sheetWindows()[0] : window->sheetWindows()[1];
    window->activate(other);
    dialogs.answers.push_back(FileChoice{file("linked/new.shd"), 0});
    ASSERT_TRUE(window->command(kCmdSave));
    EXPECT_EQ(other->path(), file("songs/new.shd"));
    EXPECT_EQ(window->recentFiles()->files().paths().front(), file("songs/new.shd"));
}

TEST_F(DocumentLifecycleTest, OpenKnowsAMidiFileByItsContentWhateverItsName)
{
    window->showAtSavedPlacement();
    SheetDocument source;
    source.trackAt(0)->insertNote(quarterAt(0), 0);
    source.trackAt(0)->insertNote(quarterAt(1), 1);
    for (const char* name : {"song.midi", "song.SMF", "song.MiDi", "song.dat", "no_extension"}) {
        const std::string path = file(name);
        ASSERT_TRUE(writeMidiFile(source, path));
        const std::size_t before = window->sheetWindows().size();
        EXPECT_TRUE(window->openFile(path)) << name << "\n" << errorsText();
        ASSERT_EQ(window->sheetWindows().size(), before + 1) << name;
        EXPECT_EQ(title(window->activeSheet()), QString::fromUtf8(name));
        EXPECT_GE(window->activeSheet()->sheet().trackAt(0)->count, 2) << name;
    }
    // A sheet named .mid is still a sheet.
    const std::string sheetNamedMid = file("really_a_sheet.mid");
    ASSERT_TRUE(QFile::copy(QString::fromStdString(example()), QString::fromStdString(sheetNamedMid)));
    EXPECT_TRUE(window->openFile(sheetNamedMid)) << errorsText();
    EXPECT_EQ(title(window->activeSheet()), "really_a_sheet.mid");
    EXPECT_FALSE(window->activeSheet()->sheet().path.empty()) << "opened as a sheet, with its path";
    EXPECT_EQ(errorCount(), 0) << errorsText();
}

} // namespace
} // namespace tonvela::test
