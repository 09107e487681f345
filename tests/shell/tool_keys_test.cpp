#include "platform/sheet_lock.h"
#include "shell_test_support.h"

#include "editor/commands.h"
#include "editor/editing/tool_state.h"
#include "score/sheet_document.h"
#include "shell/documents/lyric_box.h"

#include <QAction>
#include <QTest>

namespace tonvela::test {
namespace {

class ToolKeysTest : public ShellTest {
  protected:
    ToolKeysTest()
    {
        sharedToolGroups() = SharedToolGroups{};
        window->showAtSavedPlacement();
    }

    // A new sheet, active, with the keyboard.
    SheetWindow* focusedSheet()
    {
        SheetWindow* w = window->newSheet();
        focus(w);
        return w;
    }
    void focus(SheetWindow* w)
    {
        window->activateWindow();
        EXPECT_TRUE(waitUntil([this] { return window->isActiveWindow(); }));
        window->activate(w);
        w->setFocus();
        EXPECT_TRUE(waitUntil([w] { return w->hasFocus(); }));
    }
    bool down(int id) const { return window->action(id)->isChecked(); }
    static Track& track(SheetWindow* w, int t = 0) { return *w->sheet().trackAt(t); }
};

TEST_F(ToolKeysTest, KeysEnterAMelodyWithRestsAndDotsAndTheButtonsFollow)
{
    SheetWindow* w = focusedSheet();
    QTest::keyClicks(w, "2zxc"); // octave key 2: A, B, C at octave 3
    ASSERT_EQ(track(w).count, 3);
    EXPECT_EQ(track(w).noteAt(2).midi, 60) << "middle C";

    QTest::keyClicks(w, "h");
    EXPECT_TRUE(down(kToolHalf));
    EXPECT_FALSE(down(kToolQuarter));
    QTest::keyClicks(w, "v");
    EXPECT_EQ(track(w).noteAt(3).type, kTypeHalf);

    // Rest and Dot apply to the selected note; the buttons show the toggles.
    track(w).noteAt(3).selected = 1;
    QTest::keyClicks(w, "d");
    EXPECT_TRUE(down(kToolDot));
    EXPECT_EQ(track(w).noteAt(3).dwFlag & kFlagDot, kFlagDot);
    QTest::keyClicks(w, "r");
    EXPECT_TRUE(down(kToolRest));
    EXPECT_TRUE(track(w).noteAt(3).isRest());
    QTest::keyClicks(w, "s");
    EXPECT_TRUE(down(kToolSharp));
    EXPECT_FALSE(down(kToolRest)) << "a sharp ends the rest toggle";
    QTest::keyClicks(w, "f");
    EXPECT_TRUE(down(kToolFlat));
    EXPECT_FALSE(down(kToolSharp));
    window->action(kToolNatural)->trigger(); // the button goes the same way as a key
    EXPECT_TRUE(down(kToolNatural));
    EXPECT_FALSE(down(kToolFlat) || down(kToolSharp));

    QTest::keyClicks(w, "e"); // a duration: every toggle off, the note becomes an eighth
    EXPECT_TRUE(down(kToolEighth));
    for (int id : {kToolHalf, kToolDot, kToolNatural, kToolRest})
        EXPECT_FALSE(down(id)) << id;
    EXPECT_EQ(track(w).noteAt(3).type, kTypeEighth);

    // Accidentals stay off a rest.
    EXPECT_EQ(track(w).noteAt(3).dwFlag & ~kFlagBeamed, kFlagDot | kFlagRest);

    // Each change was one undo step: undo walks back to the plain half note.
    QTest::keyClick(w, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(track(w).noteAt(3).type, kTypeHalf);
    QTest::keyClick(w, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(w, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(track(w).noteAt(3).dwFlag, 0);
    EXPECT_EQ(track(w).count, 4) << "Ctrl+Z is undo, not the note key Z";
    EXPECT_TRUE(notifier.messages.empty()) << errorsText();
}

TEST_F(ToolKeysTest, ToolbarButtonsGoToTheActiveSheetAndShowTheLastSheetThatChangedThem)
{
    SheetWindow* first = focusedSheet();
    QTest::keyClicks(first, "s");
    ASSERT_TRUE(first->editor().tools().sharp);
    EXPECT_TRUE(down(kToolSharp));

    SheetWindow* second = focusedSheet();
    EXPECT_TRUE(down(kToolSharp)) << "activating a sheet leaves the last sheet's look";
    QTest::keyClicks(second, "f");
    EXPECT_TRUE(down(kToolFlat));
    EXPECT_FALSE(down(kToolSharp)) << "the second sheet has no sharp";
    EXPECT_TRUE(first->editor().tools().sharp) << "toggles are per sheet";

    focus(first);
    QTest::keyClicks(first, "d");
    EXPECT_TRUE(down(kToolSharp));
    EXPECT_TRUE(down(kToolDot));
    EXPECT_FALSE(down(kToolFlat));

    // A button goes to the active sheet only; the note tool is shared.
    window->action(kToolBar)->trigger();
    EXPECT_TRUE(down(kToolBar));
    EXPECT_FALSE(down(kToolQuarter));
    EXPECT_FALSE(first->editor().tools().sharp);
    EXPECT_FALSE(second->editor().tools().dot);
    EXPECT_EQ(sharedToolGroups().notes.currentId, kToolBar);
    window->action(kToolSixteenth)->trigger();
    EXPECT_TRUE(down(kToolSixteenth));
    EXPECT_FALSE(down(kToolBar));
    focus(second);
    QTest::keyClicks(second, "z");
    EXPECT_EQ(track(second).noteAt(0).type, kTypeSixteenth);
}

TEST_F(ToolKeysTest, AButtonNoSheetTakesKeepsItsLook)
{
    focusedSheet();
    notifier.fallback = Notifier::Answer::No;
    window->command(kCmdCloseAll);
    ASSERT_TRUE(waitUntil([this] { return window->activeSheet() == nullptr; }));
    window->action(kToolTie)->trigger();
    EXPECT_FALSE(down(kToolTie));
    window->action(kToolHalf)->trigger();
    EXPECT_FALSE(down(kToolHalf));
    EXPECT_TRUE(down(kToolQuarter));
}

TEST_F(ToolKeysTest, DigitsOnATablatureTrackAndKeysWithoutATrackChangeNothing)
{
    SheetWindow* w = focusedSheet();
    setStaffKind(track(w), StaffKind::Tablature);
    QTest::keyClicks(w, "1");
    EXPECT_EQ(w->editor().tools().keyboardOctave, 3);
    {
        const SheetLockGuard lock(sheetLock()); // the painter thread draws the sheet
        w->sheet().selectedTrack = -1;
    }
    QTest::keyClicks(w, "1zxcvbnm");
    EXPECT_EQ(w->editor().tools().keyboardOctave, 1);
    EXPECT_EQ(track(w).count, 0);
    EXPECT_FALSE(w->sheet().canUndo());
}

class LyricBoxTest : public ToolKeysTest {
  protected:
    // A sheet with three notes, the second carrying "old" and current, in lyric mode.
    SheetWindow* sheetInLyricMode()
    {
        SheetWindow* w = focusedSheet();
        QTest::keyClicks(w, "zxc");
        w->editor().edit(SnapshotKind::Lyric, 0, [&] { track(w).noteAt(1).setLyric("old"); });
        w->editor().editState().track(0).currentNote = 1;
        window->action(kToolLyrics)->trigger();
        return w;
    }
};

TEST_F(LyricBoxTest, TheBoxStandsAtTheLyricLineOfTheCurrentNoteAndTypingSetsItsLyric)
{
    SheetWindow* w = sheetInLyricMode();
    LyricBox& box = w->lyricBox();
    ASSERT_TRUE(box.isVisible());
    EXPECT_TRUE(down(kToolLyrics));
    EXPECT_EQ(box.size(), QSize(150, 24));
    EXPECT_EQ(box.font().pixelSize(), 14);
    EXPECT_EQ(box.maxLength(), 127);
    const Note& note = track(w).noteAt(1);
    const NoteLayout& place = w->view().noteLayout(0, 1);
    const float z = w->view().zoom();
    EXPECT_EQ(box.pos(),
              QPoint(static_cast<int>(place.x * z),
                     static_cast<int>((w->view().row(place.rowIndex).top + 7 * kStaffSpacing) * z)));
    EXPECT_EQ(box.text(), "old");
    EXPECT_TRUE(box.hasFocus()) << "the box takes the keyboard from the sheet";
    EXPECT_FALSE(box.isReadOnly());

    box.clear();
    QTest::keyClicks(&box, "sun");
    EXPECT_EQ(note.lyrictext(), std::optional<std::string>("sun"));
    EXPECT_FALSE(w->editor().tools().sharp) << "S typed in the box is text";
    EXPECT_EQ(track(w).count, 3) << "no note key reached the sheet";
    track(w).noteAt(0).selected = 1;
    QTest::keyClick(&box, Qt::Key_Delete); // at the end of the text: nothing to delete, and no note goes
    EXPECT_EQ(track(w).count, 3);
    const int line = track(w).noteAt(0).line;
    QTest::keyClick(&box, Qt::Key_Up); // the line has no use for it; the sheet must not get it
    EXPECT_EQ(track(w).noteAt(0).line, line);

    // One undo step per change of the text: "sun" -> "su".
    window->command(kCmdUndo);
    EXPECT_EQ(note.lyrictext(), std::optional<std::string>("su"));
    EXPECT_EQ(box.text(), "su") << "the box shows the lyric undo brought back";
    window->command(kCmdUndo);
    window->command(kCmdUndo); // the first letter replaced "old" (clearing the box wrote nothing)
    EXPECT_EQ(note.lyrictext(), std::optional<std::string>("old"));
    EXPECT_EQ(box.text(), "old");

    // Erasing the text removes the lyric.
    box.selectAll();
    QTest::keyClick(&box, Qt::Key_Backspace);
    EXPECT_FALSE(note.lyrictext().has_value());
    EXPECT_TRUE(notifier.messages.empty()) << errorsText();
}

TEST_F(LyricBoxTest, LongTextIsCutAt127Characters)
{
    SheetWindow* w = sheetInLyricMode();
    LyricBox& box = w->lyricBox();
    box.clear();
    QTest::keyClicks(&box, QString(130, QLatin1Char('a')));
    EXPECT_EQ(box.text().size(), 127);
    ASSERT_TRUE(track(w).noteAt(1).lyrictext().has_value());
    EXPECT_EQ(track(w).noteAt(1).lyrictext()->size(), 127u);
}

TEST_F(LyricBoxTest, TheBoxFollowsTheCurrentNoteAndHidesWithLyricModeOrADuration)
{
    SheetWindow* w = sheetInLyricMode();
    LyricBox& box = w->lyricBox();
    const QPoint before = box.pos();
    w->editor().editState().track(0).currentNote = 2;
    w->refresh();
    EXPECT_NE(box.pos(), before);
    EXPECT_EQ(box.text(), "");
    QTest::keyClicks(&box, "end");
    EXPECT_EQ(track(w).noteAt(2).lyrictext(), std::optional<std::string>("end"));
    EXPECT_EQ(track(w).noteAt(1).lyrictext(), std::optional<std::string>("old"));

    // No current note: the start of the track's row, empty.
    w->editor().editState().track(0).currentNote = -1;
    w->refresh();
    EXPECT_EQ(box.pos(),
              QPoint(static_cast<int>(35 * w->view().zoom()),
                     static_cast<int>((w->view().row(0).top + 7 * kStaffSpacing) * w->view().zoom())));
    EXPECT_EQ(box.text(), "");
    EXPECT_TRUE(box.isReadOnly()) << "text typed here would be stored nowhere";
    w->setFocus();
    QTest::keyClicks(w, "z");
    EXPECT_EQ(track(w).count, 4) << "the note keys stay with the sheet";

    window->action(kToolLyrics)->trigger();
    EXPECT_FALSE(box.isVisible());
    EXPECT_FALSE(down(kToolLyrics));
    window->action(kToolLyrics)->trigger();
    EXPECT_TRUE(box.isVisible());
    w->setFocus();
    QTest::keyClicks(w, "w");
    EXPECT_FALSE(box.isVisible()) << "a duration ends lyric mode";
    EXPECT_FALSE(down(kToolLyrics));
}

TEST_F(LyricBoxTest, LyricsAreTypedInOneFlowWithSpaceHyphenTabAndShift)
{
    SheetWindow* w = focusedSheet();
    QTest::keyClicks(w, "ccmm"); // C C G G
    ASSERT_EQ(track(w).count, 4);
    track(w).noteAt(0).selected = 1;
    w->editor().editState().track(0).currentNote = 0;
    window->action(kToolLyrics)->trigger();
    LyricBox& box = w->lyricBox();
    ASSERT_TRUE(box.hasFocus());

    QTest::keyClicks(&box, "Twin-kle twin-kle");
    const char* sung[] = {"Twin-", "kle", "twin-", "kle"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(track(w).noteAt(i).lyrictext(), std::optional<std::string>(sung[i])) << i;
    EXPECT_TRUE(box.hasFocus()) << "the flow keeps the keyboard in the box";
    EXPECT_EQ(track(w).count, 4) << "no key reached the sheet";

    // Shift+Tab and Shift+Space go back, Tab forward; the next text typed replaces the lyric.
    QTest::keyClick(&box, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(box.text(), "twin-");
    QTest::keyClick(&box, Qt::Key_Space, Qt::ShiftModifier);
    EXPECT_EQ(box.text(), "kle");
    QTest::keyClick(&box, Qt::Key_Tab);
    QTest::keyClicks(&box, "star");
    EXPECT_EQ(track(w).noteAt(2).lyrictext(), std::optional<std::string>("star"));
    EXPECT_TRUE(box.hasFocus());

    // Escape ends the lyric tool and gives the keyboard back to the sheet.
    QTest::keyClick(&box, Qt::Key_Escape);
    EXPECT_FALSE(box.isVisible());
    EXPECT_FALSE(down(kToolLyrics));
    EXPECT_FALSE(w->editor().tools().lyricMode);
    EXPECT_TRUE(waitUntil([w] { return w->hasFocus(); }));
    EXPECT_TRUE(notifier.messages.empty()) << errorsText();
}

} // namespace
} // namespace tonvela::test
