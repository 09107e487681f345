#include "shell_test_support.h"

#include "editor/commands.h"
#include "harmony/chord_document.h"
#include "interchange/musicxml_export.h"
#include "playback/midi_file_writer.h"
#include "score/lilypond_export.h"
#include "score/sheet_document.h"
#include "score/sheet_file.h"
#include "shell/documents/chord_window.h"
#include "shell/frame/about_box.h"
#include "shell/frame/window_placement.h"

#include <thread>

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QToolBar>

#include <fstream>
#include <sstream>

namespace tonvela::test {
namespace {

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The texts the buttons show.
QStringList actionTexts(const QList<QAction*>& actions)
{
    QStringList out;
    for (QAction* a : actions)
        if (!a->isSeparator())
            out << a->iconText();
    return out;
}

class MainWindowTest : public ShellTest {
  protected:
    SheetWindow* startWithEmptySheet()
    {
        window->showAtSavedPlacement();
        SheetWindow* w = window->newSheet();
        EXPECT_TRUE(waitUntil([w] { return w->paintsDone() > 0; }));
        return w;
    }
    SheetWindow* openExample()
    {
        window->showAtSavedPlacement();
        EXPECT_TRUE(window->openFile(example())) << errorsText();
        return window->activeSheet();
    }
};

TEST_F(MainWindowTest, StartsWithOneEmptySheetAtItsPlacementWithPanelsAndToolbars)
{
    SheetWindow* w = startWithEmptySheet();
    ASSERT_EQ(window->sheetWindows().size(), 1u);
    EXPECT_EQ(title(w), "Sheet 1");
    // It opens filling the document area; restored, it stands at its place.
    EXPECT_TRUE(w->parentWidget()->isMaximized());
    static_cast<QMdiSubWindow*>(w->parentWidget())->showNormal();
    EXPECT_EQ(w->parentWidget()->geometry(), QRect(0, 20, 500, 500));
    EXPECT_EQ(window->windowTitle(), "Sheet 1 - Tonvela");
    // Nothing stored: the window fits the screen.
    const QRect fitted = firstStartGeometry(window->screen()->availableGeometry());
    EXPECT_EQ(window->pos(), fitted.topLeft());
    EXPECT_EQ(window->size(), fitted.size());
    EXPECT_TRUE(window->panelDock()->isVisible());
    EXPECT_EQ(window->panelDock()->windowTitle(), "Sheet Document - Sheet 1 - Track 1");
    EXPECT_EQ(actionTexts(window->noteToolBar()->actions()),
              QStringList({"Quarter", "Eighth", "Sixteenth", "Half", "Whole", "32nd", "Rest", "Dot", "Sharp",
                           "Flat", "Natural", "Tie", "Triplet", "Voice 2"}));
    EXPECT_EQ(actionTexts(window->editToolBar()->actions()),
              QStringList({"Bar", "Space", "Staff Break", "Lyrics"}));
    EXPECT_EQ(actionTexts(window->playToolBar()->actions()), QStringList({"Play  ", "Play All", "Stop  "}));
    EXPECT_TRUE(window->action(kToolQuarter)->isChecked());
    EXPECT_EQ(window->lengthBar()->slider()->maximum(), 384);
    EXPECT_EQ(window->lengthBar()->slider()->value(), 0);
    // The device list is filled once the first sheet is on screen.
    EXPECT_TRUE(waitUntil([this] { return window->panels()->sheetPanel()->deviceList()->count() == 2; }));
}

TEST_F(MainWindowTest, MenusCarryTheCommandTextsAndAccelerators)
{
    const auto menus = window->menuBar()->actions();
    ASSERT_GE(menus.size(), 4);
    EXPECT_EQ(menus[3]->text(), "Windows");
    const std::pair<int, const char*> shortcuts[] = {
        {kCmdNewSheet, "Ctrl+N"}, {kCmdNewChordDocument, "Ctrl+D"},
        {kCmdOpen, "Ctrl+O"},     {kCmdPrint, "Ctrl+P"},
        {kCmdSave, "Ctrl+S"},     {kCmdImportMidi, "Ctrl+M"},
        {kCmdExit, "Ctrl+Q"},     {kCmdUndo, "Ctrl+Z"},
        {kCmdRedo, "Ctrl+Y"},     {kCmdTile, "Ctrl+Shift+T"},
        {kCmdQuit, "F4"},         {kCmdEventPlayback, "Ctrl+G"}};
    for (const auto& [id, keys] : shortcuts)
        EXPECT_EQ(window->action(id)->shortcut().toString(), keys) << id;
    EXPECT_EQ(window->action(kCmdSaveAllMidiTracks)->text(), "Save All MIDI Tracks");
    EXPECT_EQ(window->action(kCmdExportLilypond)->text(), "Export Lilypond");
    EXPECT_EQ(window->action(kCmdCascade)->text(), "Cascade Windows");
}

TEST_F(MainWindowTest, PictureShowsStaffLinesOnWhiteBesideTheDarkPanel)
{
    SheetWindow* w = openExample();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(waitUntil([w] { return w->paintsDone() > 0; }));
    QApplication::processEvents();
    const QImage sheet = w->grab().toImage();
    // Count dark pixels in the column x = 200 of the sheet: five staff lines per staff, two
    // staves per system, at least one system visible.
    int darkRows = 0;
    for (int y = 0; y < sheet.height(); ++y)
        if (qGray(sheet.pixel(200, y)) < 80)
            ++darkRows;
    EXPECT_GE(darkRows, 10);
    EXPECT_EQ(sheet.pixel(5, 5), qRgb(255, 255, 255));
    const QImage whole = window->grab().toImage();
    // The panel's left margin: its fields may reach down to the bottom of the dock.
    const QPoint inPanel =
        window->panelDock()->mapTo(window.get(), QPoint(2, window->panelDock()->height() - 20));
    EXPECT_EQ(whole.pixel(inPanel), qRgb(34, 34, 34));
}

TEST_F(MainWindowTest, NewSheetsAndChordDocumentsOpenAtTheirPlacements)
{
    window->showAtSavedPlacement();
    window->command(kCmdNewSheet);
    window->command(kCmdNewSheet);
    SheetWindow* third = window->newSheet();
    EXPECT_EQ(title(third), "Sheet 3");
    EXPECT_TRUE(third->parentWidget()->isMaximized());
    static_cast<QMdiSubWindow*>(third->parentWidget())->showNormal();
    EXPECT_EQ(third->parentWidget()->geometry(), QRect(40, 60, 500, 500));
    window->command(kCmdNewChordDocument);
    ChordWindow* chord = window->activeChord();
    ASSERT_NE(chord, nullptr);
    EXPECT_EQ(chord->parentWidget()->windowTitle(), "Chord 1");
    EXPECT_EQ(chord->parentWidget()->geometry(), QRect(0, 90, 600, 300));
    EXPECT_EQ(window->activeSheet(), nullptr);
}

TEST_F(MainWindowTest, CaptionCarriesAStarWhileModifiedAndSaveClearsIt)
{
    SheetWindow* w = openExample();
    EXPECT_EQ(title(w), "ode_to_joy.shd");
    const std::string copy = file("copy.shd");
    dialogs.answers.push_back(FileChoice{copy, 0});
    ASSERT_TRUE(window->command(kCmdSaveAs));
    EXPECT_EQ(title(w), "copy.shd");
    w->sheet().markModified();
    EXPECT_EQ(title(w), "copy.shd*");
    ASSERT_TRUE(window->command(kCmdSave)); // silent: the sheet has a path
    EXPECT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(title(w), "copy.shd");
    EXPECT_EQ(dialogs.asked[0].filters,
              QStringList({"Sheet Document Files(*.shd)", "MIDI file(*.mid)", "All Files (*.*)"}));
    EXPECT_EQ(dialogs.asked[0].suffix, "shd");
    SheetDocument reread;
    ASSERT_TRUE(loadSheet(reread, "copy.shd", copy).ok());
    EXPECT_EQ(reread.trackCount(), w->sheet().trackCount());
    EXPECT_EQ(sheetToText(reread), sheetToText(w->sheet()));
}

TEST_F(MainWindowTest, SaveAsWithTheMidiEntryWritesOnlyTheFirstTrackAndKeepsTheSheetUnsaved)
{
    SheetWindow* w = openExample();
    w->sheet().markModified();
    const std::string mid = file("first.mid");
    dialogs.answers.push_back(FileChoice{mid, 1});
    ASSERT_TRUE(window->command(kCmdSaveAs));
    const std::string bytes = readAll(mid);
    ASSERT_GE(bytes.size(), 14u);
    EXPECT_EQ(bytes.substr(0, 4), "MThd");
    EXPECT_EQ(static_cast<int>(static_cast<unsigned char>(bytes[11])), 1); // one track chunk
    EXPECT_EQ(title(w), "ode_to_joy.shd*");
}

TEST_F(MainWindowTest, FailedSaveSaysSoAndKeepsTheModifiedMark)
{
    SheetWindow* w = openExample();
    w->sheet().markModified();
    dialogs.answers.push_back(FileChoice{file("no/such/folder/x.shd"), 0});
    EXPECT_FALSE(window->command(kCmdSaveAs));
    EXPECT_EQ(errorCount(), 1) << errorsText();
    EXPECT_EQ(title(w), "ode_to_joy.shd*");
    EXPECT_EQ(w->sheet().path, example());
}

TEST_F(MainWindowTest, OpenTellsFilesApartAndReportsWhatItCannotOpen)
{
    window->showAtSavedPlacement();
    // A sheet through the Open dialog.
    dialogs.answers.push_back(FileChoice{example(), 0});
    window->command(kCmdOpen);
    EXPECT_EQ(dialogs.asked.back().filters,
              QStringList({"Sheet Document Files(*.shd)", "MusicXML Files (*.musicxml *.mxl *.xml)",
                           "All Files (*.*)"}));
    ASSERT_EQ(window->sheetWindows().size(), 1u);

    // Not a document, missing, a folder, a broken MIDI file: each an "Error" and no window.
    const std::string junk = file("junk.shd");
    std::ofstream(junk) << "<something>else</something>";
    const std::string badMidi = file("bad.MID");
    std::ofstream(badMidi) << "not midi at all";
    for (const std::string& path : {junk, file("missing.shd"), dir.path().toStdString(), badMidi})
        EXPECT_FALSE(window->openFile(path)) << path;
    EXPECT_EQ(errorCount(), 4) << errorsText();
    EXPECT_EQ(window->mdiArea()->subWindowList().size(), 1);
    EXPECT_NE(errorsText().find("not a sheet, a chord document, a MIDI file or a MusicXML score"),
              std::string::npos);
}

TEST_F(MainWindowTest, ASheetCutAtALimitOpensWithAWarningNotAnError)
{
    window->showAtSavedPlacement();
    // One track more than a sheet file may load.
    std::string text = "<staffdoc>\r\n";
    for (int t = 0; t <= kMaxLoadedTracks; ++t)
        text += "<track>\r\n<note\r\nmidi=60 type=1028 line=0 >\r\n</note>\r\n</track>\r\n";
    text += "</staffdoc>\r\n";
    const std::string path = file("wide.shd");
    std::ofstream(path, std::ios::binary) << text;
    ASSERT_TRUE(window->openFile(path)) << errorsText();
    ASSERT_EQ(window->sheetWindows().size(), 1u);
    EXPECT_EQ(errorCount(), 0) << errorsText();
    EXPECT_TRUE(notifier.messages.empty());
    ASSERT_EQ(notifier.warnings.size(), 1u);
    EXPECT_EQ(notifier.warnings[0].caption, "Warning");
    EXPECT_EQ(notifier.warnings[0].text, "Some of " + path + " was left out:\n1 tracks beyond the limit of " +
                                             std::to_string(kMaxLoadedTracks) + " were not loaded");
}

TEST_F(MainWindowTest, ChordDocumentsSaveWithTheSheetFilterAndReopenByRootElement)
{
    window->showAtSavedPlacement();
    ChordWindow* chord = window->newChordDocument();
    ASSERT_TRUE(chord->document().addDiagram("A", "m", "x0x2x2x1x0xx", 1));
    const std::string path = file("chords.shd");
    dialogs.answers.push_back(FileChoice{path, 0});
    ASSERT_TRUE(window->command(kCmdSave));
    EXPECT_EQ(dialogs.asked.back().filters, QStringList({"Sheet Document Files(*.shd)", "All Files (*.*)"}));
    EXPECT_EQ(chord->parentWidget()->windowTitle(), "chords.shd");
    // Under another name, so that it opens as a document of its own.
    const std::string copy = file("copy.shd");
    ASSERT_TRUE(QFile::copy(QString::fromStdString(path), QString::fromStdString(copy)));
    ASSERT_TRUE(window->openFile(copy));
    ChordWindow* reopened = window->activeChord();
    ASSERT_NE(reopened, nullptr);
    ASSERT_NE(reopened, chord);
    ASSERT_EQ(reopened->document().diagramCount(), 1);
    EXPECT_EQ(reopened->document().diagramAt(0)->label, "Am");
}

TEST_F(MainWindowTest, ImportAndExportCommandsWriteAndReadRealFiles)
{
    SheetWindow* w = openExample();
    const std::string all = file("all.mid"), one = file("one.mid"), ly = file("song.ly");
    dialogs.answers.push_back(FileChoice{all, 0});
    ASSERT_TRUE(window->command(kCmdSaveAllMidiTracks));
    dialogs.answers.push_back(FileChoice{one, 0});
    ASSERT_TRUE(window->command(kCmdSaveSelectedMidiTrack));
    dialogs.answers.push_back(FileChoice{ly, 0});
    ASSERT_TRUE(window->command(kCmdExportLilypond));
    EXPECT_EQ(dialogs.asked.back().filters, QStringList({"Lilypond File(*.ly)", "All Files (*.*)"}));
    EXPECT_EQ(dialogs.asked.back().suffix, "ly");
    // Each export proposes the sheet's own name with the extension of what it writes.
    const QString folder = QFileInfo(QString::fromStdString(example())).absolutePath();
    ASSERT_EQ(dialogs.asked.size(), 3u);
    EXPECT_EQ(dialogs.asked[0].suggested, folder + "/ode_to_joy.mid");
    EXPECT_EQ(dialogs.asked[1].suggested, folder + "/ode_to_joy.mid");
    EXPECT_EQ(dialogs.asked[2].suggested, folder + "/ode_to_joy.ly");
    EXPECT_EQ(readAll(all).substr(0, 4), "MThd");
    EXPECT_EQ(static_cast<unsigned char>(readAll(all)[11]), w->sheet().trackCount());
    EXPECT_EQ(static_cast<unsigned char>(readAll(one)[11]), 1);
    EXPECT_EQ(readAll(ly), lilypondText(w->sheet()));
    EXPECT_EQ(title(w), "ode_to_joy.shd"); // exports leave the sheet as it was

    dialogs.answers.push_back(FileChoice{all, 0});
    window->command(kCmdImportMidi);
    EXPECT_EQ(dialogs.asked.back().suffix, "mid");
    SheetWindow* imported = window->activeSheet();
    ASSERT_NE(imported, w);
    EXPECT_EQ(title(imported), "all.mid");
    EXPECT_EQ(imported->sheet().trackCount(), w->sheet().trackCount());
    EXPECT_TRUE(imported->sheet().path.empty());
    // An imported sheet has no file yet: its name with the new extension; Save As never
    // proposes to write a sheet over the MIDI file.
    dialogs.answers.push_back(std::nullopt);
    window->command(kCmdExportLilypond);
    EXPECT_EQ(dialogs.asked.back().suggested, "all.ly");
    dialogs.answers.push_back(std::nullopt);
    window->command(kCmdSaveAs);
    EXPECT_EQ(dialogs.asked.back().suggested, "all.shd");

    // An export that cannot be written says so.
    dialogs.answers.push_back(FileChoice{file("missing/x.ly"), 0});
    window->activate(w);
    window->command(kCmdExportLilypond);
    EXPECT_EQ(errorCount(), 1) << errorsText();
}

TEST_F(MainWindowTest, ExportMusicXmlWritesPlainOrCompressedByTheChosenName)
{
    SheetWindow* w = openExample();
    EXPECT_EQ(window->action(kCmdExportMusicXml)->text(), "Export MusicXML...");
    const std::string plain = file("song.musicxml"), packed = file("song.mxl");
    dialogs.answers.push_back(FileChoice{plain, 0});
    ASSERT_TRUE(window->command(kCmdExportMusicXml));
    EXPECT_EQ(
        dialogs.asked.back().filters,
        QStringList({"MusicXML File(*.musicxml)", "Compressed MusicXML File(*.mxl)", "All Files (*.*)"}));
    EXPECT_EQ(dialogs.asked.back().suffix, "musicxml");
    const QString folder = QFileInfo(QString::fromStdString(example())).absolutePath();
    EXPECT_EQ(dialogs.asked.back().suggested, folder + "/ode_to_joy.musicxml");
    std::string expected;
    std::string error;
    ASSERT_TRUE(musicXmlText(w->sheet(), "ode_to_joy", expected, error)) << error;
    EXPECT_EQ(readAll(plain), expected);

    dialogs.answers.push_back(FileChoice{packed, 1});
    ASSERT_TRUE(window->command(kCmdExportMusicXml));
    EXPECT_EQ(readAll(packed).substr(0, 4), std::string("PK\x03\x04", 4));
    EXPECT_EQ(title(w), "ode_to_joy.shd"); // the sheet stays as it was
    EXPECT_EQ(errorCount(), 0) << errorsText();

    // A file that cannot be written says so.
    dialogs.answers.push_back(FileChoice{file("missing/x.mxl"), 1});
    window->command(kCmdExportMusicXml);
    EXPECT_EQ(errorCount(), 1) << errorsText();
}

TEST_F(MainWindowTest, CommandsThatNeedASheetDoNothingWithoutOne)
{
    window->showAtSavedPlacement();
    for (int id :
         {kCmdSave, kCmdSaveAs, kCmdExportLilypond, kCmdExportMusicXml, kCmdSaveSelectedMidiTrack,
          kCmdSaveAllMidiTracks, kCmdPrint, kCmdUndo, kCmdRedo, kCmdPlay, kCmdPlayAll, kCmdEventPlayback})
        EXPECT_FALSE(window->command(id)) << id;
    EXPECT_TRUE(dialogs.asked.empty());
    EXPECT_EQ(player.plays, 0);
    EXPECT_TRUE(notifier.messages.empty());
}

TEST_F(MainWindowTest, ClosingAModifiedSheetAsksAndCancelKeepsIt)
{
    SheetWindow* w = startWithEmptySheet();
    w->sheet().markModified();
    notifier.answers = {Notifier::Answer::Cancel};
    EXPECT_FALSE(w->parentWidget()->close());
    ASSERT_EQ(notifier.messages.size(), 1u);
    EXPECT_EQ(notifier.messages[0].text, "Save file Sheet 1?");
    EXPECT_EQ(notifier.messages[0].caption, "Save");
    // Yes, then a cancelled save dialog: still open.
    notifier.answers = {Notifier::Answer::Yes};
    EXPECT_FALSE(w->parentWidget()->close());
    EXPECT_EQ(dialogs.asked.size(), 1u);
    // Yes and a failed save: still open, the failure said.
    notifier.answers = {Notifier::Answer::Yes};
    dialogs.answers.push_back(FileChoice{file("nowhere/a.shd"), 0});
    EXPECT_FALSE(w->parentWidget()->close());
    EXPECT_EQ(errorCount(), 1);
    ASSERT_EQ(window->sheetWindows().size(), 1u);
    // Yes and a good save: saved and closed.
    notifier.answers = {Notifier::Answer::Yes};
    dialogs.answers.push_back(FileChoice{file("kept.shd"), 0});
    EXPECT_TRUE(w->parentWidget()->close());
    EXPECT_TRUE(waitUntil([this] { return window->sheetWindows().empty(); }));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(file("kept.shd"))));
    EXPECT_FALSE(window->panelDock()->isVisible());
}

TEST_F(MainWindowTest, ClosingWithNoDiscardsAndAnUnmodifiedSheetClosesWithoutAQuestion)
{
    SheetWindow* w = startWithEmptySheet();
    SheetWindow* second = window->newSheet();
    second->sheet().markModified();
    notifier.answers = {Notifier::Answer::No};
    EXPECT_TRUE(second->parentWidget()->close());
    EXPECT_TRUE(w->parentWidget()->close());
    EXPECT_EQ(notifier.messages.size(), 1u);
    EXPECT_TRUE(waitUntil([this] { return window->mdiArea()->subWindowList().isEmpty(); }));
}

TEST_F(MainWindowTest, ExitStopsAtADocumentKeptOpenAndF4QuitsAtOnceOnlyWhenNothingIsModified)
{
    SheetWindow* w = startWithEmptySheet();
    w->sheet().markModified();
    notifier.answers = {Notifier::Answer::Cancel};
    window->command(kCmdExit);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(quitCodes.empty());
    EXPECT_EQ(window->sheetWindows().size(), 1u);

    notifier.answers = {Notifier::Answer::Cancel};
    window->command(kCmdQuit); // modified: F4 asks like Exit
    EXPECT_EQ(notifier.messages.size(), 2u);
    EXPECT_TRUE(quitCodes.empty());

    w->sheet().modified = 0;
    window->command(kCmdQuit);
    EXPECT_EQ(notifier.messages.size(), 2u);
    EXPECT_EQ(quitCodes, std::vector<int>{0});
    EXPECT_EQ(settings.readInt(kKeyMainRight), window->x() + window->width());
    EXPECT_EQ(settings.readInt(kKeyMaximized), 0);
}

TEST_F(MainWindowTest, CloseAllWhilePlayingOnlyStops)
{
    SheetWindow* w = startWithEmptySheet();
    window->newSheet();
    window->activate(w);
    ASSERT_TRUE(window->command(kCmdPlayAll));
    EXPECT_EQ(player.lastMode, PlayMode::All);
    EXPECT_FALSE(window->command(kCmdCloseAll));
    EXPECT_EQ(player.stops, 1);
    EXPECT_FALSE(player.isPlaying(nullptr));
    EXPECT_EQ(window->sheetWindows().size(), 2u);
    EXPECT_TRUE(window->command(kCmdCloseAll));
    EXPECT_TRUE(waitUntil([this] { return window->sheetWindows().empty(); }));
}

TEST_F(MainWindowTest, PlaybackProgressReachesTheLengthBarAndTheSliderSeeks)
{
    startWithEmptySheet();
    ASSERT_NE(player.view, nullptr) << "the window listens to playback reports";
    ASSERT_TRUE(window->command(kCmdPlayAll));
    // Reports come from the playback thread.
    std::thread reporter([this] {
        PlaybackView::Progress p;
        p.elapsedMs = 3'000;
        p.totalMs = 6'000;
        player.view->progress(p, 0);
    });
    reporter.join();
    ASSERT_TRUE(waitUntil([this] { return window->lengthBar()->currentText() == "00:03"; }));
    EXPECT_EQ(window->lengthBar()->totalText(), "00:06");
    EXPECT_EQ(window->lengthBar()->slider()->value(), 192) << "half way";
    EXPECT_TRUE(player.seeks.empty()) << "showing progress is not a seek";

    window->lengthBar()->onPositionChosen(96);
    ASSERT_EQ(player.seeks.size(), 1u);
    EXPECT_DOUBLE_EQ(player.seeks[0], 0.25);
    window->command(kCmdStop);
    window->lengthBar()->onPositionChosen(10);
    EXPECT_EQ(player.seeks.size(), 1u) << "nothing plays, nothing to seek";
}

TEST_F(MainWindowTest, CtrlTAndCtrlRPlayTheirFixedSoundFilesOrSayWhichFileIsMissing)
{
    startWithEmptySheet();
    ASSERT_NE(window->action(kCmdPlayTablaSample), nullptr);
    EXPECT_EQ(window->action(kCmdPlayTablaSample)->shortcut(), QKeySequence(QStringLiteral("Ctrl+T")));
    EXPECT_EQ(window->action(kCmdPlayStartupWave)->shortcut(), QKeySequence(QStringLiteral("Ctrl+R")));
    // The files are looked for one folder up from the working folder.
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("work")));
    ASSERT_TRUE(QDir::setCurrent(dir.path() + QStringLiteral("/work")));
    window->action(kCmdPlayTablaSample)->trigger();
    window->action(kCmdPlayStartupWave)->trigger();
    EXPECT_TRUE(player.soundRequests.empty());
    ASSERT_EQ(errorCount(), 2) << errorsText();
    EXPECT_EQ(notifier.messages[0].text,
              "Could not play the tabla sample: " + file("Tabla.sf2") + " does not exist.");
    EXPECT_EQ(notifier.messages[1].text,
              "Could not play the startup sound: " + file("startup.wav") + " does not exist.");

    std::ofstream(file("Tabla.sf2")) << "RIFF";
    std::ofstream(file("startup.wav")) << "RIFF";
    window->action(kCmdPlayTablaSample)->trigger();
    window->action(kCmdPlayTablaSample)->trigger();
    window->action(kCmdPlayStartupWave)->trigger();
    QDir::setCurrent(before);
    EXPECT_EQ(player.soundRequests,
              (std::vector<std::string>{"bank ../Tabla.sf2", "bank ../Tabla.sf2", "wave ../startup.wav"}));
    EXPECT_EQ(errorCount(), 2);
}

TEST_F(MainWindowTest, PlayUsesTheDeviceChosenInTheSheetPanel)
{
    SheetWindow* w = startWithEmptySheet();
    ASSERT_TRUE(waitUntil([this] { return window->panels()->sheetPanel()->deviceList()->count() == 2; }));
    window->panels()->sheetPanel()->onDeviceChosen(1);
    ASSERT_TRUE(window->command(kCmdPlay));
    EXPECT_EQ(player.lastDevice, 1);
    EXPECT_EQ(player.lastMode, PlayMode::Track);
    EXPECT_EQ(player.playing, &w->sheet());
    ASSERT_TRUE(window->command(kCmdEventPlayback));
    EXPECT_EQ(player.lastMode, PlayMode::Events);
    EXPECT_GE(player.stops, 1);
    window->command(kCmdStop);
    EXPECT_EQ(player.playing, nullptr);

    // Without a sheet the device list says why nothing changed.
    window->command(kCmdCloseAll);
    ASSERT_TRUE(waitUntil([this] { return window->sheetWindows().empty(); }));
    window->panels()->sheetPanel()->onDeviceChosen(0);
    ASSERT_EQ(errorCount(), 1);
    EXPECT_EQ(notifier.messages.back().text, "No document open to change MIDI setting");
}

TEST_F(MainWindowTest, NumberTracksAndScaleFieldsChangeTheActiveSheet)
{
    SheetWindow* w = startWithEmptySheet();
    auto* panel = window->panels()->sheetPanel();
    panel->trackCountField()->setValue(3);
    EXPECT_EQ(w->sheet().trackCount(), 3);
    EXPECT_EQ(title(w), "Sheet 1*");
    EXPECT_EQ(panel->trackCountField()->value(), 3);
    const float zoom = w->editor().zoom();
    panel->zoomField()->stepUp();
    EXPECT_NEAR(w->editor().zoom(), zoom + 0.1f, 1e-4);
    EXPECT_NEAR(panel->zoomField()->value(), 1.0, 1e-6);
    for (int i = 0; i < 10; ++i)
        panel->zoomField()->stepDown();
    EXPECT_NEAR(w->editor().zoom(), 0.4f, 1e-4);
    EXPECT_NEAR(panel->zoomField()->value(), 0.4, 1e-6);
    panel->trackCountField()->stepDown();
    EXPECT_EQ(w->sheet().trackCount(), 2); // one track per step
    panel->trackCountField()->setValue(4);
    EXPECT_EQ(w->sheet().trackCount(), 4) << "a typed count is taken as it is";
}

TEST_F(MainWindowTest, PrintWritesAPdfAndRestoresTheView)
{
    SheetWindow* w = openExample();
    ASSERT_TRUE(waitUntil([w] { return w->paintsDone() > 0; }));
    w->editor().setZoom(1.3f);
    const int rangeBefore = w->view().scrollRange;
    w->editor().scrollTo(1);
    const int rowBefore = w->view().firstVisibleRow;
    const int layoutWidthBefore = w->view().layoutWidth;
    window->command(kCmdPrint); // cancelled dialog prints nothing
    EXPECT_EQ(dialogs.printDocumentNames, std::vector<std::string>{"ode_to_joy.shd"});
    dialogs.pdfPath = file("sheet.pdf");
    ASSERT_TRUE(window->command(kCmdPrint));
    EXPECT_EQ(readAll(dialogs.pdfPath).substr(0, 5), "%PDF-");
    EXPECT_EQ(w->view().firstVisibleRow, rowBefore);
    EXPECT_EQ(w->view().scrollRange, rangeBefore);
    EXPECT_NEAR(w->editor().zoom(), 1.3f, 1e-4);
    EXPECT_EQ(w->view().layoutWidth, layoutWidthBefore);
    EXPECT_EQ(errorCount(), 0) << errorsText();
}

TEST_F(MainWindowTest, WindowsMenuCascadeTileAboutAndWebsite)
{
    window->showAtSavedPlacement();
    SheetWindow* a = window->newSheet();
    SheetWindow* b = window->newSheet();
    window->command(kCmdTile);
    EXPECT_NE(a->parentWidget()->geometry().topLeft(), QPoint(0, 20));
    window->command(kCmdCascade);
    EXPECT_LT(a->parentWidget()->y(), b->parentWidget()->y());
    window->command(kCmdAbout);
    EXPECT_TRUE(window->aboutBox()->isVisible());
    window->command(kCmdWebsite);
    EXPECT_EQ(openedUrls, QStringList{"https://tonvela.org/"});
    window->command(kCmdShowChordOptions);
    EXPECT_EQ(window->panelDock()->windowTitle(), "Chord Diagrammer");
    window->command(kCmdShowSheetOptions);
    EXPECT_EQ(window->panelDock()->windowTitle(), "Sheet Document - Sheet 2 - Track 1");
}

} // namespace
} // namespace tonvela::test
