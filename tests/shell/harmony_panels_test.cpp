#include "shell_test_support.h"

#include "editor/commands.h"
#include "harmony/chord_document.h"
#include "harmony/chord_entry.h"
#include "platform/sheet_lock.h"
#include "score/sheet_document.h"
#include "score/sounding_pitch.h"
#include "score/track.h"
#include "score/track_type.h"
#include "shell/documents/chord_window.h"
#include "shell/panels/choice_grid.h"
#include "shell/panels/chord_panel.h"
#include "shell/panels/panel_style.h"
#include "shell/panels/scale_panel.h"
#include "theory/scale.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTest>

#include <string>
#include <vector>

namespace tonvela::test {
namespace {

// The staff kinds of the "Track Type:" list a sheet can hold.
struct Kind {
    StaffKind type;
    const char* name;
};
constexpr Kind kKinds[] = {{StaffKind::GClef, "G clef"},
                           {StaffKind::FClef, "F clef"},
                           {StaffKind::G2Clef, "G(2) clef"},
                           {StaffKind::Percussion, "percussion"},
                           {StaffKind::Tablature, "tablature"}};

QStringList items(const QComboBox* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->itemText(i);
    return out;
}

// Chooses an entry by its text, as a click in the open list does; false when there is none.
bool choose(QComboBox* list, const QString& text)
{
    const int index = list->findText(text);
    if (index < 0)
        return false;
    list->setCurrentIndex(index);
    return true;
}

int buttonIndex(const ChoiceGrid* grid, const QString& text)
{
    for (int i = 0; i < grid->count(); ++i)
        if (grid->button(i)->text() == text)
            return i;
    return -1;
}

// Counts the pixels of the picture inside `area` that are nearly white.
int whitePixels(const QImage& image, const QRect& area)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += qGray(image.pixel(x, y)) > 200 ? 1 : 0;
    return n;
}

class HarmonyPanelsTest : public ShellTest {
  protected:
    HarmonyPanelsTest() { window->showAtSavedPlacement(); }

    ChordPanel* chords() const { return window->panels()->chordPanel(); }
    ScalePanel* scale() const { return window->panels()->scalePanel(); }

    // A new active sheet whose first track is of the given kind.
    SheetWindow* sheetOfKind(StaffKind type)
    {
        SheetWindow* w = window->newSheet();
        {
            // The window's painter thread may be drawing the new sheet already.
            const SheetLockGuard lock(sheetLock());
            w->sheet().setTrackType(0, static_cast<int>(type));
        }
        w->refresh();
        return w;
    }
    // Sounding keys of notes from..to-1 of a track.
    static std::vector<int> sounding(const Track& t, int from, int to)
    {
        std::vector<int> keys;
        for (int i = from; i < to && i < t.count; ++i)
            keys.push_back(soundingKey(t.noteAt(i), t));
        return keys;
    }
    static std::vector<int> chordParents(const Track& t)
    {
        std::vector<int> parents;
        for (int i = 0; i < t.count; ++i)
            parents.push_back(t.noteAt(i).chordparent);
        return parents;
    }
    void chooseChord(const char* root, const char* quality)
    {
        chords()
            ->rootButtons()
            ->button(buttonIndex(chords()->rootButtons(), QString::fromLatin1(root)))
            ->click();
        chords()
            ->qualityButtons()
            ->button(buttonIndex(chords()->qualityButtons(), QString::fromLatin1(quality)))
            ->click();
    }
    void chooseShape(const char* root, const char* quality, const char* fret)
    {
        ASSERT_TRUE(choose(chords()->rootNoteList(), QString::fromLatin1(root)));
        ASSERT_TRUE(choose(chords()->qualityList(), QString::fromLatin1(quality)));
        ASSERT_TRUE(choose(chords()->startFretList(), QString::fromLatin1(fret)));
    }
    // Runs one addition on a fresh sheet of every kind and checks the notes it added and that
    // one Undo takes exactly them away again.
    void expectOnEveryKind(const std::function<void()>& add, const std::vector<int>& keys, bool oneChord)
    {
        for (const Kind& kind : kKinds) {
            SCOPED_TRACE(kind.name);
            SheetWindow* w = sheetOfKind(kind.type);
            const Track& t = *w->sheet().trackAt(0);
            add();
            ASSERT_EQ(t.count, static_cast<int>(keys.size()));
            EXPECT_EQ(sounding(t, 0, t.count), keys);
            for (int i = 0; i < t.count; ++i)
                EXPECT_EQ(t.noteAt(i).chordparent, oneChord && i > 0 ? 0 : -1) << "note " << i;
            EXPECT_EQ(w->sheet().trackAt(1)->count, 0) << "only the current track changes";
            EXPECT_EQ(title(w).back(), QLatin1Char('*'));
            ASSERT_TRUE(window->command(kCmdUndo));
            EXPECT_EQ(t.count, 0);
            EXPECT_FALSE(w->sheet().canUndo()) << "the addition was one undo step";
            ASSERT_TRUE(window->command(kCmdRedo));
            EXPECT_EQ(sounding(t, 0, t.count), keys);
        }
        EXPECT_EQ(errorCount(), 0) << errorsText();
    }
};

// ---- chord panel: the generated chord ----------------------------------------------------

TEST_F(HarmonyPanelsTest, RootAndQualityButtonsChooseTheChordAndItsNoteNamesAreDrawnAtTheStrip)
{
    window->showPanel(PanelContainer::Panel::Chord);
    ChordPanel* panel = chords();
    ASSERT_EQ(panel->rootButtons()->count(), 12);
    ASSERT_EQ(panel->qualityButtons()->count(), 23);
    EXPECT_EQ(panel->rootButtons()->button(1)->text(), "A#/Bb");
    EXPECT_EQ(panel->qualityButtons()->button(22)->text(), "add9");
    EXPECT_TRUE(panel->addChordButton()->isVisible());
    EXPECT_FALSE(panel->addArpeggioButton()->isVisible()) << "created hidden";

    // The strip between the two groups is free of controls, and the names come at (10, 160).
    EXPECT_EQ(panel->displayOrigin(), QPoint(kChordDisplayLeft, kChordDisplayTop));
    const QRect strip(0, kChordDisplayTop, panel->width(), 20);
    for (const QWidget* child : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        EXPECT_FALSE(child->isVisible() && child->geometry().intersects(strip))
            << child->objectName().toStdString();
    const QRect text(kChordDisplayLeft, kChordDisplayTop, 120, 18);
    const int hintInk = whitePixels(panel->grab().toImage(), text);

    chooseChord("A#/Bb", "maj");
    EXPECT_EQ(panel->displayText(), "A# D F") << "sharps, no respelling";
    EXPECT_TRUE(panel->rootButtons()->button(1)->isChecked());
    EXPECT_GT(whitePixels(panel->grab().toImage(), text), hintInk + 20) << "the names are drawn white";

    chooseChord("C", "dom7");
    EXPECT_EQ(panel->displayText(), "C E G A#");
    EXPECT_EQ(panel->selection().lyricText(), "C dom7");
    EXPECT_FALSE(panel->rootButtons()->button(1)->isChecked()) << "one root at a time";
    panel->qualityButtons()->button(buttonIndex(panel->qualityButtons(), "dim7"))->click();
    panel->rootButtons()->button(0)->click();
    EXPECT_EQ(panel->displayText(), "A C D# F#");
}

TEST_F(HarmonyPanelsTest, ANewPanelShowsNoChordUntilBothAreChosen)
{
    ChordPanel panel;
    EXPECT_TRUE(panel.displayText().isEmpty());
    panel.rootButtons()->button(3)->click();
    EXPECT_TRUE(panel.displayText().isEmpty());
    EXPECT_FALSE(panel.selection().complete());
    panel.qualityButtons()->button(0)->click();
    EXPECT_EQ(panel.displayText(), "C E G");
}

TEST_F(HarmonyPanelsTest, TabVisitsEachButtonGridOnceAndArrowKeysMoveTheChoice)
{
    window->showPanel(PanelContainer::Panel::Chord);
    window->activateWindow();
    ASSERT_TRUE(waitUntil([this] { return window->isActiveWindow(); }));
    ChordPanel* panel = chords();
    panel->addDiagramButton()->setFocus();
    ASSERT_TRUE(waitUntil([panel] { return panel->addDiagramButton()->hasFocus(); }));

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), panel->rootButtons()->button(0))
        << "the root grid, at its first button";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_EQ(panel->rootButtons()->chosen(), 5) << "A#/Bb, then four further: D";
    EXPECT_EQ(QApplication::focusWidget(), panel->rootButtons()->button(5));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up); // at the top edge: stays
    EXPECT_EQ(panel->rootButtons()->chosen(), 1);

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), panel->qualityButtons()->button(0)) << "one stop per grid";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
    EXPECT_EQ(panel->qualityButtons()->chosen(), 22);
    EXPECT_EQ(panel->displayText(), "A# D F C") << "A#/Bb add9";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), panel->addChordButton());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), panel->qualityButtons()->button(22))
        << "back to the chosen quality";
}

TEST_F(HarmonyPanelsTest, TabWalksEachPanelFromTopToBottom)
{
    window->activateWindow();
    ASSERT_TRUE(waitUntil([this] { return window->isActiveWindow(); }));
    const auto walk = [](QWidget* first, int steps) {
        first->setFocus();
        std::vector<QWidget*> seen{QApplication::focusWidget()};
        for (int i = 0; i < steps; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            seen.push_back(QApplication::focusWidget());
        }
        return seen;
    };
    window->showPanel(PanelContainer::Panel::Chord);
    ChordPanel* c = chords();
    EXPECT_EQ(
        walk(c->rootNoteList(), 7),
        (std::vector<QWidget*>{c->rootNoteList(), c->qualityList(), c->startFretList(), c->addToSheetButton(),
                               c->addDiagramButton(), c->rootButtons()->button(0),
                               c->qualityButtons()->button(0), c->addChordButton()}));
    window->showPanel(PanelContainer::Panel::Scale);
    ScalePanel* s = scale();
    EXPECT_EQ(walk(s->rootList(), 5),
              (std::vector<QWidget*>{s->rootList(), s->scaleList(), s->degreeList(), s->rootOctaveList(),
                                     s->addAsChordButton(), s->addAsMelodyButton()}));
}

// ---- chord panel: the guitar chord library -----------------------------------------------

TEST_F(HarmonyPanelsTest, LibraryListsRefillEachOtherAndChooseTheirFirstEntry)
{
    ChordPanel* panel = chords();
    EXPECT_EQ(items(panel->rootNoteList()),
              QStringList({"Ab", "A", "B", "Bb", "C", "Db", "D", "E", "Eb", "F", "F#", "G"}));
    EXPECT_EQ(items(panel->qualityList()),
              QStringList({"Major", "Minor", "Sus4", "Augmented", "Diminished"}));
    EXPECT_EQ(panel->qualityList()->currentText(), "Major");
    EXPECT_EQ(items(panel->startFretList()), QStringList({"1"}));

    ASSERT_TRUE(choose(panel->rootNoteList(), "Db"));
    EXPECT_EQ(items(panel->qualityList()), QStringList({"Major", "Minor", "Sus4"}));
    EXPECT_EQ(panel->qualityList()->currentIndex(), 0);
    ASSERT_TRUE(choose(panel->qualityList(), "Minor"));
    EXPECT_EQ(items(panel->startFretList()), QStringList({"4"}));
    EXPECT_EQ(panel->picker().qualityName(), "Minor");
    EXPECT_EQ(panel->picker().startFret(), 4);
    ASSERT_NE(panel->picker().chosen(), nullptr);
    EXPECT_EQ(panel->picker().chosen()->fingering, "12123234444352161X");

    // The keyboard: Down in the root list moves to the next root and refills the others.
    ASSERT_TRUE(choose(panel->rootNoteList(), "Ab"));
    panel->rootNoteList()->setFocus();
    QTest::keyClick(panel->rootNoteList(), Qt::Key_Down);
    EXPECT_EQ(panel->rootNoteList()->currentText(), "A");
    EXPECT_EQ(items(panel->qualityList()),
              QStringList({"Major", "Minor", "Augmented", "Diminished", "Sus4", "7"}));
    EXPECT_EQ(panel->picker().root(), "A");
    ASSERT_TRUE(choose(panel->qualityList(), "Diminished"));
    EXPECT_EQ(panel->picker().chosen()->fingering, "11X22333442251061X");
}

TEST_F(HarmonyPanelsTest, AddToSheetPutsTheShapeOnEveryKindOfTrackAsOneUndoableEdit)
{
    chooseShape("E", "Major", "1");
    // Highest string first: E4, B3, G#3, E3, B2, E2.
    expectOnEveryKind([this] { chords()->addToSheetButton()->click(); }, {64, 59, 56, 52, 47, 40}, true);
}

TEST_F(HarmonyPanelsTest, AShapeWithMutedStringsAddsOnlyItsSoundingStrings)
{
    SheetWindow* w = window->newSheet();
    chooseShape("A", "Major", "1"); // the lowest string is muted
    chords()->addToSheetButton()->click();
    EXPECT_EQ(sounding(*w->sheet().trackAt(0), 0, 6), (std::vector<int>{64, 61, 57, 52, 45}));
}

TEST_F(HarmonyPanelsTest, AddChordAndAddArpeggioPutTheChordOnEveryKindOfTrack)
{
    chooseChord("C", "maj");
    expectOnEveryKind([this] { chords()->addChordButton()->click(); }, {60, 64, 67, 48, 52, 55}, true);
    // The hidden arpeggio button: the same notes one after another, lowest first.
    expectOnEveryKind([this] { chords()->addArpeggioButton()->click(); }, {48, 52, 55, 60, 64, 67}, false);

    SheetWindow* w = window->newSheet();
    chooseChord("G#", "sus4");
    chords()->addChordButton()->click();
    const Track& t = *w->sheet().trackAt(0);
    ASSERT_EQ(t.count, 6);
    ASSERT_TRUE(t.noteAt(0).lyrictext());
    EXPECT_EQ(*t.noteAt(0).lyrictext(), "G# sus4");
}

TEST_F(HarmonyPanelsTest, AdditionsGoToTheCurrentTrackAndUndoLeavesTheEarlierNotesAlone)
{
    ASSERT_TRUE(window->openFile(example())) << errorsText();
    SheetWindow* w = window->activeSheet();
    SheetDocument& sheet = w->sheet();
    w->editor().selectTrack(1); // under the sheet lock, as the track list selects it
    const Track& bass = *sheet.trackAt(1);
    const int before = bass.count;
    const std::vector<int> keys = sounding(bass, 0, before);
    const int melody = sheet.trackAt(0)->count;

    ASSERT_TRUE(choose(scale()->scaleList(), "Minor Pentatonic"));
    ASSERT_TRUE(choose(scale()->rootList(), "E "));
    ASSERT_TRUE(choose(scale()->rootOctaveList(), "0"));
    scale()->addAsMelodyButton()->click();
    ASSERT_EQ(bass.count, before + 6);
    EXPECT_EQ(sounding(bass, before, before + 6), (std::vector<int>{40, 43, 45, 47, 50, 52}));
    EXPECT_EQ(sheet.trackAt(0)->count, melody);

    ASSERT_TRUE(window->command(kCmdUndo));
    EXPECT_EQ(bass.count, before);
    EXPECT_EQ(sounding(bass, 0, before), keys);
    EXPECT_EQ(title(w), "ode_to_joy.shd") << "back at the saved state";
}

// ---- scale panel -------------------------------------------------------------------------

TEST_F(HarmonyPanelsTest, ScaleListsSpellTheScaleAndTellTheirListeners)
{
    ScalePanel* panel = scale();
    EXPECT_EQ(items(panel->rootList()).size(), 12);
    EXPECT_EQ(panel->rootList()->itemText(1), "A#");
    EXPECT_EQ(panel->rootList()->itemText(11), "G#");
    EXPECT_EQ(items(panel->scaleList()),
              QStringList({"Major", "Minor", "Major Pentatonic", "Minor Pentatonic", "Blues"}));
    EXPECT_EQ(items(panel->degreeList()), QStringList({"All"}));
    EXPECT_EQ(items(panel->rootOctaveList()), QStringList({"2", "1", "0"}));
    EXPECT_EQ(panel->noteNames(), "A B C# D E F# G# A");
    EXPECT_EQ(scaleSelection().root, 'A');

    int changes = 0;
    panel->onScaleChanged = [&changes] { ++changes; };
    ASSERT_TRUE(choose(panel->rootList(), "F "));
    EXPECT_EQ(panel->noteNames(), "F G A Bb C D E F");
    EXPECT_EQ(scaleSelection().root, 'F');
    ASSERT_TRUE(choose(panel->scaleList(), "Blues"));
    EXPECT_EQ(scaleSelection().pattern, std::string_view("3WHH3W"));
    EXPECT_EQ(changes, 2);
    ASSERT_TRUE(choose(panel->rootOctaveList(), "1"));
    EXPECT_EQ(changes, 2) << "the octave is no part of the scale";
    EXPECT_EQ(panel->rootOctaveEntry(), 1);

    window->showPanel(PanelContainer::Panel::Scale);
    const QRect names(kScaleNamesLeft, kScaleNamesTop, 120, 16);
    EXPECT_GT(whitePixels(panel->grab().toImage(), names), 40) << "the names are drawn at (10, 10)";
    for (const QWidget* child : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        EXPECT_FALSE(child->isVisible() && child->geometry().intersects(names));
}

TEST_F(HarmonyPanelsTest, AddAsChordAndAddAsMelodyPutTheScaleOnEveryKindOfTrack)
{
    ASSERT_TRUE(choose(scale()->rootList(), "C "));
    ASSERT_TRUE(choose(scale()->scaleList(), "Major"));
    expectOnEveryKind([this] { scale()->addAsChordButton()->click(); }, {60, 62, 64, 65, 67, 69, 71, 72},
                      true);
    ASSERT_TRUE(choose(scale()->rootOctaveList(), "1"));
    expectOnEveryKind([this] { scale()->addAsMelodyButton()->click(); }, {48, 50, 52, 53, 55, 57, 59, 60},
                      false);
}

// ---- without the document they need ----------------------------------------------------

TEST_F(HarmonyPanelsTest, SheetButtonsDoNothingWithoutAnActiveSheet)
{
    SheetWindow* w = window->newSheet();
    chooseChord("C", "maj");
    window->newChordDocument(); // now the active document
    chords()->addChordButton()->click();
    chords()->addArpeggioButton()->click();
    chords()->addToSheetButton()->click();
    scale()->addAsChordButton()->click();
    scale()->addAsMelodyButton()->click();
    EXPECT_EQ(w->sheet().trackAt(0)->count, 0) << "the sheet is not the active document";
    EXPECT_TRUE(notifier.messages.empty()) << errorsText();

    ASSERT_TRUE(window->closeAllDocuments());
    chords()->addChordButton()->click();
    scale()->addAsMelodyButton()->click();
    EXPECT_TRUE(notifier.messages.empty()) << errorsText();
}

TEST_F(HarmonyPanelsTest, AddDiagramAddsTheShapeToTheActiveChordDocumentOrSaysThereIsNone)
{
    window->newSheet();
    chords()->addDiagramButton()->click();
    ASSERT_EQ(errorCount(), 1);
    EXPECT_EQ(notifier.messages.back().text, "No document open to add chord");
    EXPECT_EQ(notifier.messages.back().caption, "Error");

    ChordWindow* doc = window->newChordDocument();
    chooseShape("E", "Minor", "1");
    chords()->addDiagramButton()->click();
    chooseShape("Bb", "Diminished", "3");
    chords()->addDiagramButton()->click();
    ASSERT_EQ(doc->document().diagramCount(), 2);
    const ChordDiagram& em = *doc->document().diagramAt(0);
    EXPECT_EQ(em.label, "Em");
    EXPECT_EQ(em.fingering, "110210310433532610");
    EXPECT_EQ(em.startFret, 1);
    EXPECT_EQ(doc->document().diagramAt(1)->label, "Bbdim");
    EXPECT_EQ(doc->document().diagramAt(1)->startFret, 3);
    EXPECT_EQ(doc->parentWidget()->windowTitle(), "Chord 1*");
    EXPECT_EQ(errorCount(), 1);
}

TEST_F(HarmonyPanelsTest, ASheetWithoutTracksRefusesEveryAdditionWithAMessageAndNoUndoStep)
{
    SheetWindow* w = window->newSheet();
    {
        // The painter may be drawing the new sheet: a change made past the editor holds the
        // sheet lock itself.
        SheetLockGuard lock(sheetLock());
        w->sheet().removeAllTracks();
    }
    w->refresh();
    chooseChord("C", "maj");
    chords()->addChordButton()->click();
    chords()->addToSheetButton()->click();
    scale()->addAsChordButton()->click();
    scale()->addAsMelodyButton()->click();
    EXPECT_EQ(w->sheet().trackCount(), 0);
    EXPECT_FALSE(w->sheet().canUndo());
    EXPECT_EQ(title(w), "Sheet 1") << "unchanged";
    ASSERT_EQ(errorCount(), 4);
    EXPECT_EQ(notifier.messages.back().text, kNoTrackMessage);
}

// ---- look and keyboard ---------------------------------------------------------------------

TEST_F(HarmonyPanelsTest, EveryControlExplainsItselfAndNothingIsCutOff)
{
    const int room = kPanelWidth - QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    for (QWidget* panel : {static_cast<QWidget*>(chords()), static_cast<QWidget*>(scale())}) {
        SCOPED_TRACE(panel->metaObject()->className());
        EXPECT_LE(panel->minimumSizeHint().width(), room) << "fits beside the container's scroll bar";
        panel->resize(room, panel->sizeHint().height());
        panel->show();
        QApplication::processEvents();
        for (QComboBox* list : panel->findChildren<QComboBox*>()) {
            EXPECT_FALSE(list->toolTip().isEmpty()) << list->objectName().toStdString();
            EXPECT_EQ(list->focusPolicy() & Qt::TabFocus, Qt::TabFocus);
            expectEntriesFit(list);
        }
        for (QPushButton* button : panel->findChildren<QPushButton*>()) {
            EXPECT_FALSE(button->toolTip().isEmpty()) << button->text().toStdString();
            EXPECT_GE(button->width(), button->fontMetrics().horizontalAdvance(button->text()) + 6)
                << button->text().toStdString();
        }
        for (QLabel* label : panel->findChildren<QLabel*>())
            EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()))
                << label->text().toStdString();
        panel->hide();
    }
    // The widest scale names fit their strip.
    ScalePanel* panel = scale();
    const QFontMetrics names(displayFont(panel->font()));
    for (int root = 0; root < 12; ++root)
        for (int kind = 0; kind < kScaleKindCount; ++kind) {
            panel->rootList()->setCurrentIndex(root);
            panel->scaleList()->setCurrentIndex(kind);
            EXPECT_LE(kScaleNamesLeft + names.horizontalAdvance(panel->noteNames()), room - 12)
                << panel->noteNames().toStdString();
        }
}

} // namespace
} // namespace tonvela::test
