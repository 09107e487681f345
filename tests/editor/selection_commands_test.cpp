#include "editor/commands.h"
#include "editor/editing/note_clipboard.h"
#include "editor/editing/sheet_editor.h"
#include "editor/example_sheets.h"
#include "platform/notifier.h"
#include "score/sounding_pitch.h"

#include <gtest/gtest.h>

namespace tonvela {
namespace {

using testing::addNote;

class QuietHost : public EditorHost {
  public:
    void layoutChanged() override { ++layouts; }
    void scrolled() override {}
    int layouts = 0;
};

class SelectionCommandsTest : public ::testing::Test {
  protected:
    SelectionCommandsTest() : sheet(testing::sheetWithTracks(2)), view(*sheet), editor(view, host)
    {
        view.setClientSize(800, 600);
        editor.setNotifier(&notifier);
        noteClipboard() = NoteClipboard{};
    }

    Track& track(int t = 0) { return *sheet->trackAt(t); }
    void select(int t, std::initializer_list<int> indices)
    {
        for (int i : indices)
            track(t).noteAt(i).selected = 1;
    }
    void linkChords(int t = 0) { track(t).rebuildChordLists(); }

    std::unique_ptr<SheetDocument> sheet;
    SheetViewState view;
    QuietHost host;
    SheetEditor editor;
    CollectingNotifier notifier;
};

TEST_F(SelectionCommandsTest, PastingTwiceInsertsTwiceWithChordLinksOnThePastedRoots)
{
    addNote(track(), kTypeQuarter, 1);              // 0
    addNote(track(), kTypeHalf, 3, 0, "la");        // 1: root
    addNote(track(), kTypeQuarter, 5);              // 2
    addNote(track(), kTypeHalf, 1, 0, nullptr, 1);  // 3: member of 1
    addNote(track(), kTypeHalf, -1, 0, nullptr, 1); // 4: member of 1, not selected
    linkChords();
    select(0, {1, 3});
    sheet->selectedTrack = 1;

    editor.command(kCmdCopy);
    ASSERT_EQ(noteClipboard().notes.size(), 2u);
    EXPECT_EQ(noteClipboard().notes[1].chordparent, 0) << "members refer to their root by clipboard position";
    editor.command(kCmdPaste);
    editor.command(kCmdPaste);

    Track& target = track(1);
    ASSERT_EQ(target.count, 4);
    EXPECT_EQ(target.noteAt(0).chordparent, -1);
    EXPECT_EQ(target.noteAt(1).chordparent, 0);
    EXPECT_EQ(target.noteAt(2).chordparent, -1);
    EXPECT_EQ(target.noteAt(3).chordparent, 2) << "the second paste links to its own root";
    EXPECT_EQ(target.noteAt(2).childCount, 1);
    EXPECT_EQ(target.noteAt(2).lyrictext(), std::optional<std::string>("la"));
    EXPECT_EQ(target.noteAt(3).line, 1);
    // Only the last pasted notes stay selected; the source lost its selection.
    EXPECT_FALSE(target.noteAt(0).selected);
    EXPECT_TRUE(target.noteAt(2).selected && target.noteAt(3).selected);
    EXPECT_FALSE(track(0).noteAt(1).selected);
    // Each paste was one undo step.
    editor.command(kCmdUndo);
    EXPECT_EQ(target.count, 2);
    editor.command(kCmdUndo);
    EXPECT_EQ(target.count, 0);
}

TEST_F(SelectionCommandsTest, PasteIntoTheSameTrackShiftsTheLinksOfTheNotesAfterIt)
{
    addNote(track(), kTypeQuarter, 1);
    addNote(track(), kTypeQuarter, 2, 0, nullptr, 0);
    linkChords();
    select(0, {0, 1});
    editor.command(kCmdCopy);
    editor.command(kCmdPaste);
    ASSERT_EQ(track().count, 4);
    EXPECT_EQ(track().noteAt(1).chordparent, 0);
    EXPECT_EQ(track().noteAt(3).chordparent, 2);
}

TEST_F(SelectionCommandsTest, TheClipboardOutlivesItsSheetAndAMemberWithoutItsRootIsNotCopied)
{
    {
        auto source = testing::sheetWithTracks(1);
        addNote(*source->trackAt(0), kTypeQuarter, 1);
        addNote(*source->trackAt(0), kTypeQuarter, 4, 0, nullptr, 0);
        addNote(*source->trackAt(0), kTypeEighth, 2);
        source->trackAt(0)->rebuildChordLists();
        source->trackAt(0)->noteAt(1).selected = 1; // member only
        source->trackAt(0)->noteAt(2).selected = 1;
        SheetViewState otherView(*source);
        QuietHost otherHost;
        SheetEditor other(otherView, otherHost);
        other.command(kCmdCopy);
    } // the source window and sheet are gone
    ASSERT_EQ(noteClipboard().notes.size(), 1u);
    editor.command(kCmdPaste);
    ASSERT_EQ(track().count, 1);
    EXPECT_EQ(track().noteAt(0).type, kTypeEighth);
}

TEST_F(SelectionCommandsTest, DeletingAChordRootHandsTheChordToItsFirstMemberWithTheRootsLyric)
{
    addNote(track(), kTypeQuarter, 0, 0, "first");  // 0
    addNote(track(), kTypeHalf, 3, 0, "root");      // 1: root
    addNote(track(), kTypeQuarter, 6);              // 2
    addNote(track(), kTypeHalf, 1, 0, nullptr, 1);  // 3: first member
    addNote(track(), kTypeHalf, -1, 0, nullptr, 1); // 4: second member
    linkChords();
    select(0, {1});
    editor.command(kCmdDelete);

    ASSERT_EQ(track().count, 4);
    const Note& newRoot = track().noteAt(1);
    EXPECT_EQ(newRoot.line, 1) << "the first member's pitch";
    EXPECT_EQ(newRoot.chordparent, -1);
    EXPECT_EQ(newRoot.lyrictext(), std::optional<std::string>("root"));
    EXPECT_EQ(track().noteAt(3).line, -1);
    EXPECT_EQ(track().noteAt(3).chordparent, 1) << "the other member stays with the slot";
    EXPECT_EQ(newRoot.childCount, 1);
    editor.command(kCmdUndo);
    EXPECT_EQ(track().count, 5);
    EXPECT_EQ(track().noteAt(1).line, 3);
}

TEST_F(SelectionCommandsTest, DeletingARootAndItsFirstMemberHandsTheChordOnToTheNextKeptMember)
{
    addNote(track(), kTypeHalf, 3, 0, "root");
    addNote(track(), kTypeHalf, 1, 0, nullptr, 0);
    addNote(track(), kTypeHalf, -1, 0, nullptr, 0);
    addNote(track(), kTypeQuarter, 2, 0, nullptr, 0);
    linkChords();
    select(0, {0, 1});
    editor.command(kCmdDelete);
    ASSERT_EQ(track().count, 2);
    EXPECT_EQ(track().noteAt(0).line, -1);
    EXPECT_EQ(track().noteAt(0).lyrictext(), std::optional<std::string>("root"));
    EXPECT_EQ(track().noteAt(1).chordparent, 0);
}

TEST_F(SelectionCommandsTest, DeleteMovesLoopTargetsAndTurnsOffLoopsThatLoseTheirTrackEnd)
{
    for (int i = 0; i < 4; ++i)
        addNote(track(), kTypeQuarter, i);
    track().noteAt(3).loopTo = 2;
    track().noteAt(3).loopCount = 2;
    track().noteAt(0).loopTo = 3;
    track().noteAt(0).loopCount = 1;
    select(0, {1, 3});
    editor.command(kCmdDelete);
    ASSERT_EQ(track().count, 2);
    EXPECT_EQ(track().noteAt(0).loopCount, 0) << "its target was the last note and went";
    editor.command(kCmdUndo);
    track().deselectAll();
    select(0, {1});
    editor.command(kCmdDelete);
    EXPECT_EQ(track().noteAt(2).loopTo, 1) << "the loop follows its target note";
}

TEST_F(SelectionCommandsTest, CutCopiesThenDeletesAsOneUndoStep)
{
    addNote(track(), kTypeQuarter, 1);
    addNote(track(), kTypeQuarter, 2);
    select(0, {0});
    editor.command(kCmdCut);
    EXPECT_EQ(track().count, 1);
    ASSERT_EQ(noteClipboard().notes.size(), 1u);
    EXPECT_EQ(noteClipboard().notes[0].line, 1);
    editor.command(kCmdUndo);
    EXPECT_EQ(track().count, 2);
}

TEST_F(SelectionCommandsTest, CommandsWithNothingToActOnChangeNothing)
{
    addNote(track(), kTypeQuarter, 1);
    sheet->modified = 0;
    editor.command(kCmdDelete);
    editor.command(kCmdCursorUp);
    editor.command(kCmdPaste); // empty clipboard
    EXPECT_EQ(sheet->modified, 0);
    EXPECT_FALSE(sheet->canUndo());
    // Select All without a selected track.
    sheet->selectedTrack = -1;
    editor.command(kCmdSelectAll);
    EXPECT_FALSE(track().noteAt(0).selected);
    EXPECT_EQ(host.layouts, 0);
}

TEST_F(SelectionCommandsTest, SelectAllSelectsTheSelectedTrackOnly)
{
    addNote(track(0), kTypeQuarter, 1);
    addNote(track(1), kTypeQuarter, 1);
    addNote(track(1), kTypeQuarter, 2);
    sheet->selectedTrack = 1;
    editor.command(kCmdSelectAll);
    EXPECT_FALSE(track(0).noteAt(0).selected);
    EXPECT_TRUE(track(1).noteAt(0).selected && track(1).noteAt(1).selected);
    EXPECT_FALSE(sheet->canUndo()) << "a selection is not an edit";
}

TEST_F(SelectionCommandsTest, ClearEmptiesEveryTrackAndGoesBackToTheFirstRow)
{
    addNote(track(0), kTypeQuarter, 1, 0, "word");
    addNote(track(1), kTypeQuarter, 1);
    view.firstVisibleRow = 2;
    editor.command(kCmdClear);
    EXPECT_EQ(track(0).count, 0);
    EXPECT_EQ(track(1).count, 0);
    EXPECT_EQ(view.firstVisibleRow, 0);
    editor.command(kCmdUndo);
    EXPECT_EQ(track(0).count, 1);
    EXPECT_EQ(track(0).noteAt(0).lyrictext(), std::optional<std::string>("word"));
}

TEST_F(SelectionCommandsTest, PitchArrowsMoveTheSelectionAndKeepMarks)
{
    addNote(track(), kTypeHalf, 1, kFlagSharp);
    addNote(track(), kTypeHalf, 3, 0, nullptr, 0);
    addNote(track(), kTypeQuarter, 4);
    linkChords();
    select(0, {0, 1});
    editor.command(kCmdCursorUp);
    EXPECT_EQ(track().noteAt(0).line, 0);
    EXPECT_EQ(track().noteAt(0).letter, 'C');
    EXPECT_EQ(track().noteAt(0).midi, 60);
    EXPECT_TRUE(track().noteAt(0).dwFlag & kFlagSharp);
    EXPECT_EQ(track().noteAt(1).line, 2);
    EXPECT_EQ(track().noteAt(2).line, 4) << "unselected notes stay";
    editor.command(kCmdCursorDown);
    editor.command(kCmdCursorDown);
    EXPECT_EQ(track().noteAt(0).line, 2);
    EXPECT_EQ(track().noteAt(0).midi, 57);
    // Two arrows, two undo steps.
    editor.command(kCmdUndo);
    EXPECT_EQ(track().noteAt(0).line, 1);
}

TEST_F(SelectionCommandsTest, PitchArrowsStopAtTheEndsOfTheMidiRangeOnEveryClef)
{
    for (StaffKind kind : {StaffKind::GClef, StaffKind::FClef, StaffKind::G2Clef}) {
        for (bool up : {true, false}) {
            SCOPED_TRACE(::testing::Message() << staffKindInfo(kind).name << (up ? " up" : " down"));
            editor.command(kCmdClear);
            setStaffKind(track(), kind);
            addNote(track(), kTypeQuarter, 1, up ? kFlagSharp : kFlagFlat);
            select(0, {0});
            int last = track().noteAt(0).line;
            for (int step = 0; step < 100; ++step) {
                editor.command(up ? kCmdCursorUp : kCmdCursorDown);
                const Note& note = track().noteAt(0);
                const int pitch = soundingPitch(note, track());
                ASSERT_GE(pitch, 0);
                ASSERT_LE(pitch, 127);
                ASSERT_EQ(note.midi, naturalKeyOfPosition(note.line)) << "the key follows the position";
                last = note.line;
            }
            // At the end: one more step would leave the sounding range or the stored key's.
            const int next = last + (up ? -1 : 1);
            Note beyond = track().noteAt(0);
            beyond.setStaffPosition(next, kind);
            const int beyondPitch = soundingPitch(beyond, track());
            EXPECT_TRUE(beyondPitch < 0 || beyondPitch > 127 || naturalKeyOfPosition(next) > 127 ||
                        naturalKeyOfPosition(next) < -128)
                << beyondPitch;
        }
    }
}

TEST_F(SelectionCommandsTest, APastePastTheNoteLimitIsRefusedWholeWithAMessage)
{
    Track& full = track(1);
    testing::addQuarters(full, Track::kMaxNotes - 1);
    addNote(track(0), kTypeQuarter, 1);
    addNote(track(0), kTypeQuarter, 2);
    select(0, {0, 1});
    editor.command(kCmdCopy);
    sheet->selectedTrack = 1;
    sheet->modified = 0;
    EXPECT_FALSE(editor.paste());
    EXPECT_EQ(full.count, Track::kMaxNotes - 1) << "nothing half-pasted";
    EXPECT_EQ(sheet->modified, 0);
    ASSERT_EQ(notifier.messages.size(), 1u);
    EXPECT_NE(notifier.messages[0].text.find("32000"), std::string::npos) << notifier.messages[0].text;
    // One note still fits.
    track(0).noteAt(1).selected = 0;
    editor.command(kCmdCopy);
    EXPECT_TRUE(editor.paste());
    EXPECT_EQ(full.count, Track::kMaxNotes);
}

} // namespace
} // namespace tonvela
