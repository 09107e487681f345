#include "shell_test_support.h"

#include "audio/sound_font_builder.h"
#include "editor/commands.h"
#include "platform/sheet_lock.h"
#include "score/sheet_document.h"
#include "score/sheet_file.h"
#include "score/time_signature.h"
#include "score/track.h"
#include "score/track_type.h"
#include "shell/frame/sheet_panel_commands.h"
#include "shell/frame/soundfont_preview.h"
#include "shell/panels/panel_fields.h"
#include "shell/panels/panel_style.h"
#include "shell/panels/sheet_options_panel.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QTest>
#include <QWheelEvent>

#include <fstream>
#include <string>
#include <vector>

namespace tonvela::test {
namespace {

using NoteField = SheetOptionsPanel::NoteField;

// The real main window with one sheet of two tracks, the first holding four quarters and the
// second three.
class SheetOptionsPanelTest : public ShellTest {
  protected:
    SheetOptionsPanelTest()
    {
        window->showAtSavedPlacement();
        w = window->newSheet();
        addQuarters(0, 4);
        addQuarters(1, 3);
        w->sheet().markUnmodified();
        window->activateWindow();
        EXPECT_TRUE(waitUntil([this] { return window->isActiveWindow(); }));
    }

    SheetOptionsPanel* panel() { return window->panels()->sheetPanel(); }
    Track& track(int t = 0) { return *w->sheet().trackAt(t); }
    Note& note(int i, int t = 0) { return track(t).noteAt(i); }
    void addQuarters(int t, int n)
    {
        w->editor().edit(SnapshotKind::Insert, t, [&] {
            for (int i = 0; i < n; ++i) {
                Note q;
                q.type = kTypeQuarter;
                q.setStaffPosition(1);
                track(t).insertNote(q, track(t).count);
            }
        });
    }
    void select(int t, std::initializer_list<int> notes)
    {
        for (const int i : notes)
            note(i, t).selected = 1;
        window->updatePanels();
    }
    std::vector<int> programs(int t)
    {
        std::vector<int> out;
        out.reserve(static_cast<std::size_t>(track(t).count));
        for (int i = 0; i < track(t).count; ++i)
            out.push_back(note(i, t).iid);
        return out;
    }
    // Undo steps the sheet can take now (redone again afterwards). A new edit after this walk
    // leaves an extra step that changes nothing (the undo ring's record of the present).
    int undoSteps()
    {
        int n = 0;
        while (w->sheet().canUndo()) {
            window->command(kCmdUndo);
            ++n;
        }
        for (int i = 0; i < n; ++i)
            window->command(kCmdRedo);
        return n;
    }
    // The steps beyond the two edits that filled the tracks.
    int newUndoSteps() { return undoSteps() - 2; }
    // Chooses a list entry by its text, as a click in the open list does.
    static bool choose(QComboBox* list, const QString& text)
    {
        const int index = list->findText(text);
        if (index < 0)
            return false;
        list->setCurrentIndex(index);
        return true;
    }
    // Types a text over what a field holds, as the user does; Return finishes it.
    static void type(QWidget* field, const QString& text, bool finish = true)
    {
        field->setFocus();
        EXPECT_TRUE(waitUntil([field] { return field->hasFocus(); }));
        if (auto* edit = qobject_cast<QLineEdit*>(field))
            edit->selectAll();
        if (auto* spin = qobject_cast<QAbstractSpinBox*>(field))
            spin->selectAll();
        if (text.isEmpty())
            QTest::keyClick(field, Qt::Key_Backspace);
        else
            QTest::keyClicks(field, text);
        if (finish)
            QTest::keyClick(field, Qt::Key_Return);
    }
    void leave(QWidget* field)
    {
        w->setFocus();
        EXPECT_TRUE(waitUntil([field] { return !field->hasFocus(); }));
    }
    std::string lastError() const { return notifier.messages.empty() ? "" : notifier.messages.back().text; }

    SheetWindow* w = nullptr;
};

// ---- track settings ------------------------------------------------------------------------

TEST_F(SheetOptionsPanelTest, InstrumentAndGroupGoToTheSelectedNotesOrToAllNotesOfTheCurrentTrack)
{
    select(0, {1, 2});
    ASSERT_TRUE(choose(panel()->groupList(), "Guitar"));
    EXPECT_EQ(panel()->instrumentList()->itemText(0), "Acoustic Guitar(nylon)") << "the list refills";
    EXPECT_EQ(panel()->instrumentList()->currentIndex(), 0);
    EXPECT_EQ(programs(0), (std::vector<int>{0, 24, 24, 0}));
    ASSERT_TRUE(choose(panel()->instrumentList(), "Distortion Guitar"));
    EXPECT_EQ(programs(0), (std::vector<int>{0, 30, 30, 0}));
    EXPECT_EQ(track(0).iid, 30);
    EXPECT_EQ(track(0).groupid, 3);
    EXPECT_EQ(programs(1), (std::vector<int>{0, 0, 0})) << "the current track only";
    EXPECT_EQ(title(w), "Sheet 1*");

    // Without a selection all notes of the current track take it.
    track(0).deselectAll();
    w->editor().selectTrack(1); // under the sheet lock, as the track list selects it
    ASSERT_TRUE(waitUntil([this] { return panel()->selectedTrackField()->text() == "2"; }));
    EXPECT_EQ(panel()->groupList()->currentText(), "Piano") << "the second track's own group";
    ASSERT_TRUE(choose(panel()->groupList(), "Brass"));
    ASSERT_TRUE(choose(panel()->instrumentList(), "Tuba"));
    EXPECT_EQ(programs(1), (std::vector<int>{58, 58, 58}));
    EXPECT_EQ(newUndoSteps(), 4) << "one edit per choice";

    window->command(kCmdUndo);
    window->command(kCmdUndo);
    EXPECT_EQ(programs(1), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(panel()->groupList()->currentText(), "Piano") << "the panel follows the undo";
    window->command(kCmdUndo);
    window->command(kCmdUndo);
    EXPECT_EQ(programs(0), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(track(0).groupid, 0);
}

TEST_F(SheetOptionsPanelTest, PercussionSwapsTheInstrumentListsForTheDrumListWhoseDrumsReachTheNotes)
{
    EXPECT_TRUE(panel()->showsInstrumentRows());
    ASSERT_TRUE(choose(panel()->trackTypeList(), "Percussion"));
    EXPECT_EQ(track(0).percussive, 1);
    EXPECT_FALSE(panel()->showsInstrumentRows());
    EXPECT_FALSE(panel()->groupList()->isVisibleTo(panel()));
    EXPECT_TRUE(panel()->drumList()->isVisibleTo(panel()));

    select(0, {3});
    ASSERT_TRUE(choose(panel()->drumList(), "Acoustic Snare"));
    EXPECT_EQ(track(0).drumKey, 38);
    EXPECT_EQ(note(3).midi, 38);
    EXPECT_NE(note(0).midi, 38);
    track(0).deselectAll();
    ASSERT_TRUE(choose(panel()->drumList(), "Open Triangle"));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(note(i).midi, 81) << i;

    ASSERT_TRUE(choose(panel()->trackTypeList(), "F Clef"));
    EXPECT_EQ(staffKindOf(track(0)), StaffKind::FClef);
    EXPECT_TRUE(panel()->showsInstrumentRows());
    EXPECT_FALSE(panel()->drumList()->isVisibleTo(panel()));
    EXPECT_EQ(newUndoSteps(), 4);
    window->command(kCmdUndo);
    EXPECT_EQ(track(0).percussive, 1);
    EXPECT_FALSE(panel()->showsInstrumentRows()) << "the lists follow the undo";
    EXPECT_EQ(panel()->drumList()->currentText(), "Open Triangle");
}

TEST_F(SheetOptionsPanelTest, KeyAndTimeSignatureChangeTheSheetAndUndoBringsThemBack)
{
    ASSERT_TRUE(choose(panel()->keyList(), "Bb major, G minor"));
    EXPECT_EQ(track(0).keyindex, 9);
    EXPECT_EQ(track(1).keyindex, 7);
    ASSERT_TRUE(choose(panel()->timeSignatureList(), "3/8"));
    EXPECT_EQ(w->sheet().timesig, kTimeSig38);
    EXPECT_EQ(track(1).timeSig, kTimeSig38);
    EXPECT_EQ(newUndoSteps(), 2);
    window->command(kCmdUndo);
    EXPECT_EQ(w->sheet().timesig, kTimeSig44);
    EXPECT_EQ(panel()->timeSignatureList()->currentText(), "4/4");
    window->command(kCmdUndo);
    EXPECT_EQ(track(0).keyindex, 7);
    EXPECT_EQ(panel()->keyList()->currentText(), "C major, A minor");
}

TEST_F(SheetOptionsPanelTest, TempoTakesWholeNumbersFromOneToAThousandAndShowsTheSheetsTempoOtherwise)
{
    CheckedField* tempo = panel()->tempoField();
    EXPECT_EQ(tempo->text(), "120");
    type(tempo, "90");
    EXPECT_EQ(track(0).tempo, 90);
    EXPECT_EQ(track(1).tempo, 90);
    EXPECT_EQ(newUndoSteps(), 1);

    for (const char* bad : {"0", "1001", "12.5", "fast", "-60"}) {
        type(tempo, QString::fromLatin1(bad));
        EXPECT_TRUE(tempo->invalid()) << bad;
        EXPECT_TRUE(tempo->toolTip().contains("1 to 1000")) << tempo->toolTip().toStdString();
        EXPECT_EQ(track(0).tempo, 90) << bad << " is not applied";
    }
    EXPECT_EQ(tempo->text(), "-60") << "the text stays while the field has the focus";
    leave(tempo);
    EXPECT_EQ(tempo->text(), "90") << "the sheet's tempo again";
    EXPECT_FALSE(tempo->invalid());
    EXPECT_EQ(newUndoSteps(), 1);
    EXPECT_EQ(errorCount(), 0) << "no message box while typing";

    type(tempo, "1000", false);
    leave(tempo); // the focus leaving finishes a good text too
    EXPECT_EQ(track(0).tempo, 1000);
    window->command(kCmdUndo);
    EXPECT_EQ(track(0).tempo, 90);
    EXPECT_EQ(tempo->text(), "90");
}

TEST_F(SheetOptionsPanelTest, AFieldHoldingTheKeyboardWithATypedValueLetsTheWindowClose)
{
    // The field's text is finished when it loses the keyboard, which happens while the window
    // takes its children down: the sheet's value must not reach panels already gone.
    type(panel()->tempoField(), "90", false);
    ASSERT_TRUE(panel()->tempoField()->hasFocus());
    window.reset();
    EXPECT_EQ(window, nullptr);
    makeWindow(); // the next window starts as usual
    EXPECT_NE(window->newSheet(), nullptr);
}

TEST_F(SheetOptionsPanelTest, ThePanelsFollowTheActiveSheetsOwnChangesWhoeverMakesThem)
{
    // Changes made on the document itself, with the window passing nothing on. Each is made
    // under the sheet lock, as every caller must: the window's painter thread draws meanwhile.
    auto setTrackCount = [](SheetWindow* on, int count) {
        const SheetLockGuard lock(sheetLock());
        on->sheet().setTrackCount(count);
    };
    w->onStateChanged = nullptr;
    {
        const SheetLockGuard lock(sheetLock());
        w->sheet().setTimeSignatureCode(kTimeSig34);
    }
    EXPECT_EQ(panel()->timeSignatureList()->currentText(), "3/4");
    setTrackCount(w, 5);
    EXPECT_EQ(panel()->trackCountField()->value(), 5);

    // Another sheet active: the first one's changes no longer reach the panels.
    SheetWindow* other = window->newSheet();
    ASSERT_TRUE(waitUntil([&] { return window->activeDocument() == other; }));
    const int shown = panel()->trackCountField()->value();
    EXPECT_EQ(shown, other->sheet().trackCount());
    setTrackCount(w, 7);
    EXPECT_EQ(panel()->trackCountField()->value(), shown);
    setTrackCount(other, shown + 1);
    EXPECT_EQ(panel()->trackCountField()->value(), shown + 1);

    // A closed sheet leaves no observer behind (the sanitizer run would see it told).
    other->sheet().markUnmodified();
    other->parentWidget()->close();
    ASSERT_TRUE(waitUntil([&] { return window->activeDocument() == w; }));
    setTrackCount(w, 2);
    EXPECT_EQ(panel()->trackCountField()->value(), 2);
}

TEST_F(SheetOptionsPanelTest, TablatureCommandTogglesTheCurrentTracksStaffAndRepaints)
{
    ASSERT_TRUE(waitUntil([this] { return w->paintsDone() > 0; }));
    const int paints = w->paintsDone();
    ASSERT_TRUE(window->command(kCmdToggleTablature));
    EXPECT_EQ(staffKindOf(track(0)), StaffKind::Tablature);
    EXPECT_EQ(panel()->trackTypeList()->currentText(), "Tablature");
    EXPECT_TRUE(waitUntil([&] { return w->paintsDone() > paints; }));
    ASSERT_TRUE(window->command(kCmdToggleTablature));
    EXPECT_EQ(staffKindOf(track(0)), StaffKind::GClef);
    window->command(kCmdUndo);
    EXPECT_EQ(staffKindOf(track(0)), StaffKind::Tablature);
    EXPECT_EQ(staffKindOf(track(1)), StaffKind::GClef);
}

// ---- note properties -----------------------------------------------------------------------

TEST_F(SheetOptionsPanelTest, LoopFieldsTakeOnlyNotesOfTheTrackAndCountsUpToAThousand)
{
    select(0, {3});
    type(panel()->loopToField(), "4");
    EXPECT_TRUE(panel()->loopToField()->invalid()) << "the track has notes 0 to 3";
    EXPECT_TRUE(panel()->loopToField()->toolTip().contains("0 to 3"));
    EXPECT_EQ(note(3).loopTo, 0);
    type(panel()->loopToField(), "1");
    EXPECT_FALSE(panel()->loopToField()->invalid());
    EXPECT_EQ(note(3).loopTo, 1);

    type(panel()->loopCountField(), "1001");
    EXPECT_TRUE(panel()->loopCountField()->invalid());
    EXPECT_EQ(note(3).loopCount, 0);
    type(panel()->loopCountField(), "2");
    EXPECT_EQ(note(3).loopCount, 2);
    EXPECT_EQ(note(3).loopTo, 1) << "left as it was";
    EXPECT_EQ(note(2).loopCount, 0) << "not selected";

    // A selection on a shorter track narrows what Loop To may name.
    select(1, {0});
    type(panel()->loopToField(), "3");
    EXPECT_TRUE(panel()->loopToField()->invalid());
    EXPECT_EQ(newUndoSteps(), 2);
    EXPECT_EQ(errorCount(), 0);
}

TEST_F(SheetOptionsPanelTest, LegatoTakesDecimalBeatsThatTheFileKeepsAndEmptyGivesZero)
{
    select(0, {0, 1});
    type(panel()->legatoField(), "0.5");
    EXPECT_EQ(note(0).dwStopOffset, 250);
    EXPECT_EQ(note(1).dwStopOffset, 250);
    type(panel()->legatoField(), "nan");
    EXPECT_TRUE(panel()->legatoField()->invalid());
    type(panel()->legatoField(), "1e9");
    EXPECT_TRUE(panel()->legatoField()->invalid());
    EXPECT_EQ(note(0).dwStopOffset, 250);
    type(panel()->legatoField(), "");
    EXPECT_FALSE(panel()->legatoField()->invalid());
    EXPECT_EQ(note(0).dwStopOffset, 0) << "an empty field applies 0";
    type(panel()->legatoField(), "-0,25");
    EXPECT_EQ(note(1).dwStopOffset, -125);
    EXPECT_EQ(newUndoSteps(), 3);

    // What went in comes back from the file.
    dialogs.answers.push_back(FileChoice{file("legato.shd"), 0});
    ASSERT_TRUE(window->command(kCmdSaveAs));
    SheetDocument reread;
    ASSERT_TRUE(loadSheet(reread, "legato.shd", file("legato.shd")).ok());
    EXPECT_EQ(reread.trackAt(0)->noteAt(1).dwStopOffset, -125);
}

TEST_F(SheetOptionsPanelTest, SlidersGiveTheirValueToTheSelectedNotesAndLeaveTheOtherPropertiesAlone)
{
    note(1).pan = 20;
    select(0, {1});
    select(1, {2});
    panel()->volumeSlider()->setValue(100);
    EXPECT_EQ(note(1).volume, 100);
    EXPECT_EQ(note(2, 1).volume, 100);
    EXPECT_EQ(note(1).pan, 20);
    EXPECT_EQ(note(0).volume, 127);
    panel()->panSlider()->setFocus();
    ASSERT_TRUE(waitUntil([this] { return panel()->panSlider()->hasFocus(); }));
    const int pan = panel()->panSlider()->value();
    QTest::keyClick(panel()->panSlider(), Qt::Key_Right);
    EXPECT_EQ(note(1).pan, pan + 1) << "a key step applies at once";
    panel()->velocitySlider()->setValue(30);
    EXPECT_EQ(note(2, 1).velocity, 30);
    EXPECT_EQ(note(2, 1).volume, 100);
    EXPECT_EQ(newUndoSteps(), 3);
    window->command(kCmdUndo);
    EXPECT_EQ(note(2, 1).velocity, 127);
}

TEST_F(SheetOptionsPanelTest, NoteFieldsShowTheHoveredNoteElseTheCurrentOneElseTheSelection)
{
    note(0).volume = 11;
    note(3).volume = 33;
    note(3).setLabel("intro");
    note(3).loopCount = 4;
    note(3).dwStopOffset = 125;
    note(1).volume = 55;
    // Notes 1 and 2 form a chord: note 3 is the third chord root.
    note(2).chordparent = 1;
    track(0).rebuildChordLists();
    w->refresh();
    EXPECT_TRUE(panel()->indexField()->text().isEmpty()) << "no note shown";
    EXPECT_EQ(panel()->volumeSlider()->value(), 127);
    select(0, {1});
    EXPECT_EQ(panel()->volumeSlider()->value(), 55) << "the first selected note";
    w->editor().editState().setCurrentNote(0, 3);
    window->updatePanels();
    EXPECT_EQ(panel()->indexField()->text(), "2");
    EXPECT_EQ(panel()->labelField()->text(), "intro");
    EXPECT_EQ(panel()->volumeSlider()->value(), 33);
    EXPECT_EQ(panel()->loopCountField()->text(), "4");
    EXPECT_EQ(panel()->legatoField()->text(), "0.25");

    // The pointer over note 0 shows it instead.
    const NoteLayout& first = w->view().noteLayout(0, 0);
    const float z = w->view().zoom();
    const QPoint over(static_cast<int>(static_cast<float>(first.x + 5) * z),
                      static_cast<int>(static_cast<float>(first.y + 20) * z));
    QMouseEvent move(QEvent::MouseMove, QPointF(over), w->mapToGlobal(QPointF(over)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &move);
    ASSERT_TRUE(waitUntil([this] { return panel()->volumeSlider()->value() == 11; }))
        << panel()->volumeSlider()->value();
    EXPECT_EQ(panel()->indexField()->text(), "0");
    // Leaving the window shows the current note again.
    QEvent leaveEvent(QEvent::Leave);
    QApplication::sendEvent(w, &leaveEvent);
    EXPECT_TRUE(waitUntil([this] { return panel()->volumeSlider()->value() == 33; }));
    EXPECT_EQ(newUndoSteps(), 0) << "showing changes nothing";
}

// ---- sheet fields --------------------------------------------------------------------------

TEST_F(SheetOptionsPanelTest, TrackCountStepsByOneAndTakesATypedCountAsOneEditEach)
{
    QSpinBox* count = panel()->trackCountField();
    count->stepUp();
    EXPECT_EQ(w->sheet().trackCount(), 3);
    type(count, "6");
    EXPECT_EQ(w->sheet().trackCount(), 6);
    count->stepDown();
    EXPECT_EQ(w->sheet().trackCount(), 5);
    type(count, "1");
    EXPECT_EQ(w->sheet().trackCount(), 1);
    EXPECT_EQ(count->value(), 1);
    EXPECT_EQ(newUndoSteps(), 4);
    window->command(kCmdUndo);
    EXPECT_EQ(w->sheet().trackCount(), 5);
    EXPECT_EQ(track(1).count, 3) << "the removed track comes back with its notes";
    EXPECT_EQ(count->value(), 5);
}

TEST_F(SheetOptionsPanelTest, UndoAndRedoKeysInAFieldWithNothingOfItsOwnToUndoReachTheSheet)
{
    // A click on the up arrow of "Number Tracks:" gives the field the focus and a track more.
    QSpinBox* count = panel()->trackCountField();
    QTest::mouseClick(count, Qt::LeftButton, Qt::NoModifier, QPoint(count->width() - 4, count->height() / 4));
    ASSERT_EQ(w->sheet().trackCount(), 3);
    ASSERT_TRUE(waitUntil([count] { return count->hasFocus(); }));
    QTest::keyClick(count, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(w->sheet().trackCount(), 2) << "Ctrl+Z undid the arrow's track";
    EXPECT_EQ(count->value(), 2);
    QTest::keyClick(count, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(w->sheet().trackCount(), 3) << "Ctrl+Y redid it";

    // A text field hands the keys on too while it has nothing typed to undo, and keeps Ctrl+Z
    // for its own typing.
    CheckedField* legato = panel()->legatoField();
    type(legato, "0.5", false);
    QTest::keyClick(legato, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(w->sheet().trackCount(), 3) << "the field undid its own typing";
    EXPECT_NE(legato->text(), QStringLiteral("0.5"));
    while (legato->isUndoAvailable())
        legato->undo();
    QTest::keyClick(legato, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(w->sheet().trackCount(), 2);
    EXPECT_TRUE(legato->hasFocus());
}

TEST_F(SheetOptionsPanelTest, ScaleStepsByATenthWithinItsLimitsAndTakesATypedZoom)
{
    QDoubleSpinBox* zoom = panel()->zoomField();
    type(zoom, "2.5");
    EXPECT_NEAR(w->editor().zoom(), 2.5f, 1e-4) << "one typed value, not a step per keystroke";
    zoom->stepUp();
    EXPECT_NEAR(w->editor().zoom(), 2.6f, 1e-4);
    type(zoom, "10");
    zoom->stepUp();
    EXPECT_NEAR(w->editor().zoom(), 10.0f, 1e-4) << "never above 10";
    EXPECT_NEAR(zoom->value(), 10.0, 1e-6);
    type(zoom, "0.2"); // below the field's range: not taken
    leave(zoom);
    EXPECT_NEAR(w->editor().zoom(), 10.0f, 1e-4);
    EXPECT_NEAR(zoom->value(), 10.0, 1e-6);
    type(zoom, "0.4");
    for (int i = 0; i < 3; ++i)
        zoom->stepDown();
    EXPECT_NEAR(w->editor().zoom(), 0.4f, 1e-4) << "never below 0.4";
    EXPECT_EQ(newUndoSteps(), 0) << "the zoom is a view, no edit";
}

// ---- without a sheet -----------------------------------------------------------------------

TEST_F(SheetOptionsPanelTest, WithoutASheetTheFieldsKeepNoValuesAndEachListSaysWhy)
{
    choose(panel()->keyList(), "D major, B minor");
    type(panel()->tempoField(), "80");
    window->newChordDocument();
    // A chord document active: nothing of the sheet shows.
    EXPECT_EQ(panel()->keyList()->currentIndex(), -1);
    EXPECT_EQ(panel()->tempoField()->text(), "");
    EXPECT_FALSE(panel()->tempoField()->isEnabled());
    EXPECT_EQ(panel()->trackCountField()->text(), "");
    EXPECT_FALSE(panel()->trackCountField()->isEnabled());
    EXPECT_FALSE(panel()->volumeSlider()->isEnabled());
    EXPECT_FALSE(panel()->browseButton()->isEnabled());
    EXPECT_EQ(panel()->selectedTrackField()->text(), "");
    EXPECT_EQ(panel()->groupList()->currentIndex(), -1);

    const struct {
        QComboBox* list;
        const char* message;
    } lists[] = {{panel()->deviceList(), kNoDocumentForMidiMessage},
                 {panel()->groupList(), kNoDocumentForMidiMessage},
                 {panel()->instrumentList(), kNoSheetForMidiMessage},
                 {panel()->drumList(), kNoSheetForMidiMessage}};
    // The device list is filled once the first sheet has been shown.
    ASSERT_TRUE(waitUntil([this] { return panel()->deviceList()->count() == 2; }));
    notifier.fallback = Notifier::Answer::No; // the sheet closes unsaved
    window->command(kCmdCloseAll);
    ASSERT_TRUE(waitUntil([this] { return window->documents().empty(); }));
    int errors = errorCount();
    for (const auto& [list, message] : lists) {
        SCOPED_TRACE(list->objectName().toStdString());
        EXPECT_EQ(list->currentIndex(), -1);
        list->setCurrentIndex(1);
        ASSERT_EQ(errorCount(), ++errors);
        EXPECT_EQ(notifier.messages.back().caption, "Error");
        EXPECT_EQ(lastError(), message);
        EXPECT_EQ(list->currentIndex(), -1) << "the refused choice does not stay";
    }
    // The others do nothing.
    panel()->keyList()->setCurrentIndex(3);
    panel()->trackTypeList()->setCurrentIndex(2);
    EXPECT_EQ(errorCount(), errors);

    // The next sheet shows its own values.
    SheetWindow* fresh = window->newSheet();
    EXPECT_EQ(panel()->tempoField()->text(), "120");
    EXPECT_EQ(panel()->keyList()->currentText(), "C major, A minor");
    EXPECT_EQ(panel()->trackCountField()->value(), fresh->sheet().trackCount());
    EXPECT_TRUE(panel()->volumeSlider()->isEnabled());
}

// ---- Browse --------------------------------------------------------------------------------

TEST_F(SheetOptionsPanelTest, BrowsePlaysTheFourthSampleOffTheWindowOrSaysWhyItCannot)
{
    using tonvela::testing::sineSample;
    using tonvela::testing::SoundFontBuilder;
    const auto write = [this](const std::string& name, const std::string& bytes) {
        std::ofstream(file(name), std::ios::binary) << bytes;
        return file(name);
    };
    const std::string five = write(
        "five.sf2", SoundFontBuilder::build({sineSample("a", 100), sineSample("b", 100), sineSample("c", 100),
                                             sineSample("d", 100), sineSample("e", 100)}));
    const std::string three =
        write("three.sf2",
              SoundFontBuilder::build({sineSample("a", 100), sineSample("b", 100), sineSample("c", 100)}));
    const std::string text = write("notes.sf2", "these are not samples");
    auto* commands = window->findChild<QObject*>(QStringLiteral("sheetPanelCommands"));
    ASSERT_NE(commands, nullptr);
    SoundFontPreview& preview = static_cast<SheetPanelCommands*>(commands)->preview();

    dialogs.answers.push_back(FileChoice{five, 0});
    panel()->browseButton()->click();
    ASSERT_FALSE(dialogs.asked.empty());
    EXPECT_EQ(dialogs.asked.back().filters, (QStringList{"Sf2 File(*.sf2)", "All Files (*.*)"}));
    EXPECT_TRUE(player.soundRequests.empty()) << "the bank loads off the window's thread";
    ASSERT_TRUE(waitUntil([&] { return preview.pending() == 0; }));
    EXPECT_EQ(player.soundRequests, std::vector<std::string>{"sample 3 of 6"}) << "five samples and the end";
    EXPECT_EQ(errorCount(), 0) << errorsText();

    for (const auto& [path, why] :
         {std::pair{three, "fewer than four samples"}, std::pair{text, "not a SoundFont"}}) {
        dialogs.answers.push_back(FileChoice{path, 0});
        panel()->browseButton()->click();
        ASSERT_TRUE(waitUntil([&] { return preview.pending() == 0; }));
        EXPECT_EQ(notifier.messages.back().caption, "Error");
        EXPECT_NE(lastError().find(why), std::string::npos) << lastError();
    }
    EXPECT_EQ(errorCount(), 2);
    EXPECT_EQ(player.soundRequests.size(), 1u);
    panel()->browseButton()->click(); // cancelled: nothing
    EXPECT_EQ(preview.pending(), 0);
    EXPECT_EQ(newUndoSteps(), 0);
}

// ---- keyboard and look ---------------------------------------------------------------------

TEST_F(SheetOptionsPanelTest, EveryControlWorksFromTheKeyboardExplainsItselfAndIsNotCutOff)
{
    // Arrows in a list choose and apply.
    QComboBox* key = panel()->keyList();
    key->setFocus();
    ASSERT_TRUE(waitUntil([key] { return key->hasFocus(); }));
    QTest::keyClick(key, Qt::Key_Down);
    EXPECT_EQ(track(0).keyindex, 8);
    // A wheel turned to scroll the panel changes no list or slider it passes over.
    w->setFocus();
    ASSERT_TRUE(waitUntil([this] { return w->hasFocus(); }));
    for (QWidget* control :
         std::initializer_list<QWidget*>{key, panel()->instrumentList(), panel()->volumeSlider()}) {
        const QPointF at = QRectF(control->rect()).center();
        QWheelEvent notch(at, control->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(control, &notch);
    }
    EXPECT_EQ(track(0).keyindex, 8);
    EXPECT_EQ(track(0).iid, 0);
    EXPECT_EQ(newUndoSteps(), 1);
    // Tab walks the panel from top to bottom.
    panel()->deviceList()->setFocus();
    ASSERT_TRUE(waitUntil([this] { return panel()->deviceList()->hasFocus(); }));
    std::vector<QWidget*> visited;
    for (int i = 0; i < 17 && QApplication::focusWidget(); ++i) {
        visited.push_back(QApplication::focusWidget());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    const std::vector<QWidget*> order = {
        panel()->deviceList(),        panel()->trackCountField(), panel()->zoomField(),
        panel()->timeSignatureList(), panel()->tempoField(),      panel()->trackTypeList(),
        panel()->groupList(),         panel()->instrumentList(),  panel()->keyList(),
        panel()->volumeSlider(),      panel()->panSlider(),       panel()->velocitySlider(),
        panel()->loopToField(),       panel()->loopCountField(),  panel()->legatoField(),
        panel()->browseButton()};
    ASSERT_GE(visited.size(), order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        QWidget* focused = visited[i];
        // A spin box's focus sits in its line edit.
        if (focused && !order[i]->isAncestorOf(focused) && focused != order[i])
            ADD_FAILURE() << i << ": " << focused->objectName().toStdString() << " instead of "
                          << order[i]->objectName().toStdString();
    }

    const int room = kPanelWidth - QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    EXPECT_LE(panel()->minimumSizeHint().width(), room);
    panel()->resize(room, panel()->height());
    QApplication::processEvents();
    for (QWidget* control : order)
        EXPECT_FALSE(control->toolTip().isEmpty()) << control->objectName().toStdString();
    EXPECT_FALSE(panel()->drumList()->toolTip().isEmpty());
    // Every entry of every list fits its field, the widest device name included.
    for (QComboBox* list : panel()->findChildren<QComboBox*>()) {
        if (list->isVisibleTo(panel()))
            expectEntriesFit(list);
    }
    // The drum list, shown for a percussion track.
    ASSERT_TRUE(choose(panel()->trackTypeList(), "Percussion"));
    QApplication::processEvents();
    ASSERT_TRUE(panel()->drumList()->isVisibleTo(panel()));
    EXPECT_GT(panel()->drumList()->width(), room / 2);
    expectEntriesFit(panel()->drumList());
    for (QLabel* label : panel()->findChildren<QLabel*>()) {
        if (label->isVisibleTo(panel())) {
            EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()))
                << label->text().toStdString();
        }
    }
}

} // namespace
} // namespace tonvela::test
