// Play > MIDI Input: step entry from a keyboard into the active sheet, played through the
// recorded input.

#include "shell_test_support.h"

#include "platform/sheet_lock.h"

#include "editor/commands.h"
#include "editor/editing/tool_state.h"
#include "score/sheet_document.h"
#include "score/sounding_pitch.h"
#include "score/staff_kind.h"
#include "shell/frame/midi_input_menu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace tonvela::test {
namespace {

class MidiInputTest : public ShellTest {
  protected:
    MidiInputTest()
    {
        sharedToolGroups() = SharedToolGroups{};
        window->showAtSavedPlacement();
    }
    ~MidiInputTest() override { sharedToolGroups() = SharedToolGroups{}; }

    MidiInputMenu& menu() { return *window->midiInputMenu(); }
    QStringList entries()
    {
        emit menu().menu()->aboutToShow();
        QStringList texts;
        for (QAction* a : menu().menu()->actions())
            texts << a->text() + (a->isChecked() ? "*" : "");
        return texts;
    }
    QAction* entry(const QString& text)
    {
        emit menu().menu()->aboutToShow();
        for (QAction* a : menu().menu()->actions())
            if (a->text() == text)
                return a;
        return nullptr;
    }
};

TEST_F(MidiInputTest, ThePlayMenuListsTheInputsWithNoneChosenFirst)
{
    QMenu* play = nullptr;
    for (QAction* top : window->menuBar()->actions())
        if (top->text() == "Play")
            play = top->menu();
    ASSERT_NE(play, nullptr);
    EXPECT_TRUE(play->actions().contains(menu().menu()->menuAction()));
    EXPECT_EQ(menu().menu()->title(), "MIDI Input");
    EXPECT_EQ(entries(), QStringList({"None*", "Recorded Keyboard", "Second Keyboard"}));
    EXPECT_FALSE(midiInput.isOpen());
    EXPECT_GT(midiInput.refreshes, 0) << "the list is read afresh when the menu opens";
}

TEST_F(MidiInputTest, KeysPlayedOnTheChosenInputEnterNotesAndChordsIntoTheChosenTrack)
{
    SheetWindow* w = window->newSheet();
    {
        const SheetLockGuard lock(sheetLock()); // the painter thread draws the sheet
        w->sheet().setTrackCount(2);
        setStaffKind(*w->sheet().trackAt(1), StaffKind::FClef);
        w->sheet().selectedTrack = 1;
    }
    window->action(kToolHalf)->trigger();

    entry("Second Keyboard")->trigger();
    EXPECT_EQ(midiInput.openPort, 1);
    EXPECT_EQ(entries(), QStringList({"None", "Recorded Keyboard", "Second Keyboard*"}));
    // C major struck together, then a low G alone; note offs enter nothing.
    midiInput.replay({noteOnAt(48, 1'000'000), noteOnAt(52, 1'010'000), noteOnAt(55, 1'030'000),
                      noteOffAt(48, 1'400'000), noteOnAt(43, 1'500'000, 70)});
    const Track& track = *w->sheet().trackAt(1);
    ASSERT_TRUE(waitUntil([&track] { return track.count == 4; }));
    EXPECT_EQ(w->sheet().trackAt(0)->count, 0);
    const int expected[] = {48, 52, 55, 43};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(soundingPitch(track.noteAt(i), track), expected[i]) << i;
        EXPECT_EQ(track.noteAt(i).type, kTypeHalf);
    }
    EXPECT_EQ(track.rootOf(1), 0);
    EXPECT_EQ(track.rootOf(2), 0);
    EXPECT_EQ(track.rootOf(3), -1);
    EXPECT_EQ(title(w), "Sheet 1*");

    // None closes the port: what the keyboard plays goes nowhere.
    entry("None")->trigger();
    EXPECT_FALSE(midiInput.isOpen());
    midiInput.replay({noteOnAt(60, 3'000'000)});
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(track.count, 4);
}

TEST_F(MidiInputTest, AnInputThatCannotOpenSaysSoAndNoneStaysChosen)
{
    midiInput.failOpen = true;
    entry("Recorded Keyboard")->trigger();
    EXPECT_EQ(errorCount(), 1);
    EXPECT_NE(errorsText().find("Recorded Keyboard"), std::string::npos) << errorsText();
    EXPECT_EQ(entries(), QStringList({"None*", "Recorded Keyboard", "Second Keyboard"}));
    // Without a sheet the keys enter nothing and nothing fails.
    midiInput.failOpen = false;
    menu().choose(0);
    midiInput.replay({noteOnAt(60, 0)});
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(errorCount(), 1);
}

} // namespace
} // namespace tonvela::test
