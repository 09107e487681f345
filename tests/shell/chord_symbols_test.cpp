// Chord symbols in the desktop: the chord panel's "Add Symbol", the chord-symbol box that flows
// from note to note, View > Chord Diagrams and Play > Chord Symbols, through the real window.

#include "shell_test_support.h"

#include "editor/commands.h"
#include "editor/editing/tool_state.h"
#include "score/sheet_document.h"
#include "score/track.h"
#include "shell/documents/chord_symbol_box.h"
#include "shell/panels/choice_grid.h"
#include "shell/panels/chord_panel.h"

#include <QPushButton>
#include <QTest>

namespace tonvela::test {
namespace {

class ChordSymbolsTest : public ShellTest {
  protected:
    ChordSymbolsTest()
    {
        sharedToolGroups() = SharedToolGroups{};
        window->showAtSavedPlacement();
    }
    // A new sheet with four quarters entered from the keyboard, active and with the keyboard.
    SheetWindow* sheetWithNotes()
    {
        SheetWindow* w = window->newSheet();
        window->activateWindow();
        EXPECT_TRUE(waitUntil([this] { return window->isActiveWindow(); }));
        window->activate(w);
        w->setFocus();
        EXPECT_TRUE(waitUntil([w] { return w->hasFocus(); }));
        QTest::keyClicks(w, "zxcv");
        return w;
    }
    static Track& track(SheetWindow* w) { return *w->sheet().trackAt(0); }
    static std::optional<std::string> symbol(SheetWindow* w, int i)
    {
        return track(w).noteAt(i).chordSymbol();
    }
    void choose(int root, int quality)
    {
        ChordPanel* c = window->panels()->chordPanel();
        c->rootButtons()->button(root)->click();
        c->qualityButtons()->button(quality)->click();
    }
};

TEST_F(ChordSymbolsTest, AddSymbolWritesTheGeneratedChordAboveTheCurrentNote)
{
    SheetWindow* w = sheetWithNotes();
    ASSERT_EQ(track(w).count, 4);
    ChordPanel* c = window->panels()->chordPanel();
    ASSERT_TRUE(c->addSymbolButton());
    EXPECT_EQ(c->addSymbolButton()->text(), "Add Symbol");

    // No note current yet: said, nothing changes.
    w->editor().editState().track(0).currentNote = -1;
    choose(1, 17); // A#/Bb minor7flat5
    c->addSymbolButton()->click();
    EXPECT_EQ(errorCount(), 1) << errorsText();
    EXPECT_FALSE(symbol(w, 0));

    w->editor().editState().track(0).currentNote = 2;
    c->addSymbolButton()->click();
    EXPECT_EQ(symbol(w, 2), "Bbm7b5");
    EXPECT_TRUE(w->sheet().modified);
    window->command(kCmdUndo);
    EXPECT_FALSE(symbol(w, 2));
    window->command(kCmdRedo);
    EXPECT_EQ(symbol(w, 2), "Bbm7b5");
}

TEST_F(ChordSymbolsTest, TheBoxTakesTypedSymbolsAndSpaceMovesToTheNextNote)
{
    SheetWindow* w = sheetWithNotes();
    w->editor().editState().track(0).currentNote = 0;
    window->action(kCmdChordSymbolEntry)->trigger();
    EXPECT_TRUE(window->action(kCmdChordSymbolEntry)->isChecked());
    ChordSymbolBox& box = w->chordSymbolBox();
    ASSERT_TRUE(waitUntil([&box] { return box.isVisible(); }));
    EXPECT_TRUE(box.hasFocus());
    const NoteLayout& first = w->view().noteLayout(0, 0);
    EXPECT_LT(box.y(), static_cast<int>(w->view().rowTopInWindow(first.rowIndex) * w->view().zoom()))
        << "above the staff";

    QTest::keyClicks(&box, "am7");
    EXPECT_EQ(symbol(w, 0), "Am7");
    QTest::keyClick(&box, Qt::Key_Space);
    QTest::keyClicks(&box, "D7/F#");
    QTest::keyClick(&box, Qt::Key_Space);
    EXPECT_EQ(symbol(w, 1), "D7/F#");
    QTest::keyClicks(&box, "Gxx");
    QTest::keyClick(&box, Qt::Key_Space); // a text that names no chord stays, and so does the box
    EXPECT_EQ(box.text(), "Gxx");
    EXPECT_EQ(symbol(w, 2), "G") << "the last text that named a chord";
    EXPECT_EQ(track(w).count, 4) << "no note key reached the sheet";

    QTest::keyClick(&box, Qt::Key_Escape);
    EXPECT_FALSE(w->editor().tools().chordSymbolMode);
    EXPECT_FALSE(box.isVisible());
    EXPECT_FALSE(window->action(kCmdChordSymbolEntry)->isChecked()) << "the menu check follows";
}

TEST_F(ChordSymbolsTest, DiagramsAreAViewOfTheSheetAndPlayingSymbolsIsAPlayOption)
{
    SheetWindow* w = sheetWithNotes();
    const int pitch = w->view().rowPitch();
    EXPECT_FALSE(window->action(kCmdChordDiagrams)->isChecked());
    window->action(kCmdChordDiagrams)->trigger();
    EXPECT_TRUE(w->sheet().chordDiagrams);
    EXPECT_TRUE(window->action(kCmdChordDiagrams)->isChecked());
    EXPECT_GT(w->view().rowPitch(), pitch) << "rows part for the diagrams";
    EXPECT_TRUE(w->sheet().modified) << "the setting is kept with the sheet";

    // Off by default; the choice goes to the player for the playbacks that follow.
    EXPECT_FALSE(window->action(kCmdPlayChordSymbols)->isChecked());
    window->action(kCmdPlayChordSymbols)->trigger();
    EXPECT_TRUE(window->action(kCmdPlayChordSymbols)->isChecked());
    EXPECT_TRUE(player.chordSymbols);
}

} // namespace
} // namespace tonvela::test
