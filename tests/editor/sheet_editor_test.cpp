#include "editor/commands.h"
#include "editor/editing/sheet_editor.h"
#include "editor/example_sheets.h"
#include "platform/sheet_lock.h"

#include <gtest/gtest.h>

#include <thread>

namespace tonvela {
namespace {

// True when another thread could take the sheet lock right now.
bool lockFreeForOtherThreads()
{
    bool taken = false;
    std::thread other([&] {
        taken = sheetLock().try_lock();
        if (taken)
            sheetLock().unlock();
    });
    other.join();
    return taken;
}

// Counts what the editor asks of its window, and checks that it asks with the lock released.
class RecordingHost : public EditorHost {
  public:
    void layoutChanged() override
    {
        ++layouts;
        lockedDuringCall = lockedDuringCall || !lockFreeForOtherThreads();
    }
    void scrolled() override { ++scrolls; }

    int layouts = 0;
    int scrolls = 0;
    bool lockedDuringCall = false;
};

class SheetEditorTest : public ::testing::Test {
  protected:
    SheetEditorTest() : sheet(testing::sheetWithTracks(1)), view(*sheet), editor(view, host)
    {
        view.setClientSize(800, 600);
        sheet->modified = 0;
    }

    Track& track() { return *sheet->trackAt(0); }
    void addQuarter(int line = 1)
    {
        editor.edit(SnapshotKind::Insert, 0, [&] { testing::addNote(track(), kTypeQuarter, line); });
    }

    std::unique_ptr<SheetDocument> sheet;
    SheetViewState view;
    RecordingHost host;
    SheetEditor editor;
};

TEST_F(SheetEditorTest, EachEditTakesExactlyOneUndoSnapshot)
{
    addQuarter(1);
    addQuarter(2);
    ASSERT_EQ(track().count, 2);
    // One undo takes back the second edit only; a second undo the first. With two snapshots
    // per edit the second undo would stop at one note.
    ASSERT_TRUE(editor.command(kCmdUndo));
    EXPECT_EQ(track().count, 1);
    ASSERT_TRUE(editor.command(kCmdUndo));
    EXPECT_EQ(track().count, 0);
    ASSERT_TRUE(editor.command(kCmdRedo));
    EXPECT_EQ(track().count, 1);
}

TEST_F(SheetEditorTest, TheChangeRunsUnderTheSheetLockAndTheHostIsToldAfterItsRelease)
{
    bool lockedInChange = false;
    editor.edit(SnapshotKind::SelectedChange, 0, [&] { lockedInChange = !lockFreeForOtherThreads(); });
    EXPECT_TRUE(lockedInChange);
    EXPECT_EQ(host.layouts, 1);
    EXPECT_FALSE(host.lockedDuringCall) << "the host does window work and must not hold the lock";
    EXPECT_TRUE(lockFreeForOtherThreads());
}

TEST_F(SheetEditorTest, AnEditMarksTheSheetModifiedAndLaysItOutOnce)
{
    EXPECT_EQ(view.laidOutCount(0), 0);
    addQuarter();
    EXPECT_EQ(sheet->modified, 1);
    EXPECT_EQ(sheet->windowText().back(), '*');
    // Laid out before the lock was released: the new note already has its place.
    EXPECT_EQ(view.laidOutCount(0), 1);
    EXPECT_GE(view.rowsInUse(), 1);
    EXPECT_EQ(host.layouts, 1);
}

TEST_F(SheetEditorTest, ChangesTheSheetAnnouncesDuringAnEditBecomeOneLayout)
{
    // setTrackCount tells the sheet's observers, the editor among them, while it changes the
    // tracks.
    editor.stepTrackCount(3);
    EXPECT_EQ(sheet->trackCount(), 2) << "one track per step";
    EXPECT_EQ(host.layouts, 1);
    editor.command(kCmdUndo); // the sheet's undo announces changed notes too
    EXPECT_EQ(host.layouts, 2);
    // Outside an edit a change the sheet announces lays out and tells the host at once.
    sheet->notesChanged();
    EXPECT_EQ(host.layouts, 3);
    sheet->selectTrack(0); // the selected track changes no layout
    EXPECT_EQ(host.layouts, 3);
}

TEST_F(SheetEditorTest, ItAnswersUndoRedoTheSelectionCommandsAndTheToolsOnly)
{
    for (int id : {kCmdUndo, kCmdRedo, kCmdCut, kCmdCopy, kCmdPaste, kCmdDelete, kCmdSelectAll, kCmdClear,
                   kCmdCursorUp, kCmdCursorDown, kCmdCursorLeft, kCmdCursorRight, kToolQuarter, kToolLyrics,
                   kToolMark1743})
        EXPECT_TRUE(editor.answers(id)) << id;
    for (int id : {kCmdSave, kCmdPlay}) {
        EXPECT_FALSE(editor.answers(id)) << id;
        EXPECT_FALSE(editor.command(id)) << id;
    }
    EXPECT_EQ(host.layouts, 0);
}

TEST_F(SheetEditorTest, TrackCountStepsOneTrackTowardsTheFieldAsAnEdit)
{
    editor.stepTrackCount(1); // already there
    EXPECT_EQ(host.layouts, 0);
    EXPECT_EQ(sheet->modified, 0);
    editor.stepTrackCount(15);
    editor.stepTrackCount(15);
    EXPECT_EQ(sheet->trackCount(), 3);
    EXPECT_EQ(sheet->modified, 1);
    editor.stepTrackCount(0);
    EXPECT_EQ(sheet->trackCount(), 2);
}

TEST(EditorKeyTest, KeyRecordsMapLettersAndDigits)
{
    EXPECT_EQ(letterOf(EditorKey::A), 'A');
    EXPECT_EQ(letterOf(EditorKey::Z), 'Z');
    EXPECT_EQ(letterOf(EditorKey::M), 'M');
    EXPECT_EQ(letterOf(EditorKey::Digit3), 0);
    EXPECT_EQ(letterOf(EditorKey::Delete), 0);
    EXPECT_EQ(digitOf(EditorKey::Digit0), 0);
    EXPECT_EQ(digitOf(EditorKey::Digit9), 9);
    EXPECT_EQ(digitOf(EditorKey::Z), -1);
    EXPECT_EQ(digitOf(EditorKey::Up), -1);
    for (char c = 'A'; c <= 'Z'; ++c) {
        EXPECT_EQ(letterOf(keyOfCharacter(c)), c);
        EXPECT_EQ(keyOfCharacter(static_cast<char>(c - 'A' + 'a')), keyOfCharacter(c));
    }
    for (char c = '0'; c <= '9'; ++c)
        EXPECT_EQ(digitOf(keyOfCharacter(c)), c - '0');
    EXPECT_EQ(keyOfCharacter('#'), EditorKey::None);
    EXPECT_EQ(keyOfCharacter(' '), EditorKey::None);
}

TEST_F(SheetEditorTest, DigitsAreConsumedOnATablatureTrackOnly)
{
    const KeyInput seven{EditorKey::Digit7, false, false};
    EXPECT_FALSE(editor.keyPressed(seven)) << "no octave key";
    setStaffKind(track(), StaffKind::Tablature);
    EXPECT_TRUE(editor.keyPressed(seven));
    EXPECT_TRUE(editor.keyPressed({EditorKey::S, false, false})) << "letters stay tool keys";
    sheet->selectedTrack = -1; // no selected track: nothing to type frets into
    EXPECT_FALSE(editor.keyPressed(seven));
}

TEST_F(SheetEditorTest, APressBecomesADragOnlyBeyondTenUnits)
{
    const auto at = [](int x, int y, int64_t ms, PointerButton b = PointerButton::None) {
        return PointerInput{x, y, false, false, ms, b};
    };
    editor.pointerPressed(at(100, 100, 0, PointerButton::Left));
    EXPECT_TRUE(editor.pointer().buttonDown);
    editor.pointerMoved(at(106, 96, 20)); // |dx| + |dy| = 10: still a click
    EXPECT_FALSE(editor.pointer().dragging);
    EXPECT_TRUE(editor.pointerReleased(at(106, 96, 30, PointerButton::Left)));

    editor.pointerPressed(at(100, 100, 40, PointerButton::Left));
    editor.pointerMoved(at(106, 95, 41)); // 11, within the tracking throttle: still a drag
    EXPECT_TRUE(editor.pointer().dragging);
    EXPECT_FALSE(editor.pointerReleased(at(106, 95, 50, PointerButton::Left)));
    EXPECT_FALSE(editor.pointer().buttonDown);
    // The right button opens the context menu; it never starts a click.
    editor.pointerPressed(at(10, 10, 60, PointerButton::Right));
    EXPECT_FALSE(editor.pointer().buttonDown);
}

TEST_F(SheetEditorTest, PointerTrackingIsThrottledToOneMoveInTenMilliseconds)
{
    const auto move = [&](int64_t ms) { return editor.pointerMoved({50, 50, false, false, ms}); };
    EXPECT_TRUE(move(1000));
    EXPECT_FALSE(move(1005));
    EXPECT_FALSE(move(1009));
    EXPECT_TRUE(move(1010));
    EXPECT_TRUE(move(1020));
}

TEST_F(SheetEditorTest, WheelZoomStopsAtItsFloorAndTheScaleFieldLeavesTinyZoomsAlone)
{
    editor.setZoom(1.0f);
    editor.wheelStep(true, true);
    EXPECT_NEAR(editor.zoom(), 1.1f, 1e-5);
    for (int i = 0; i < 12; ++i)
        editor.wheelStep(false, true);
    EXPECT_NEAR(editor.zoom(), kMinZoom, 1e-5);
    EXPECT_EQ(view.layoutWidth, static_cast<int>(800 / kMinZoom));
    EXPECT_EQ(sheet->modified, 0) << "zoom is a view change, not an edit";

    sheet->zoomamount = 0.2f; // a file may hold a zoom below the floor
    const int layouts = host.layouts;
    editor.stepZoom(true);
    EXPECT_FLOAT_EQ(editor.zoom(), 0.2f);
    EXPECT_EQ(host.layouts, layouts);
}

TEST_F(SheetEditorTest, ScrollingMovesByRowsWithinTheRange)
{
    for (int i = 0; i < 40; ++i)
        testing::addNote(track(), kTypeWhole, 1);
    editor.setZoom(2.0f);
    const int range = view.scrollRange;
    ASSERT_GE(range, 4);
    editor.scroll(ScrollAction::LineUp);
    EXPECT_EQ(host.scrolls, 0) << "nothing above row 0";
    editor.scroll(ScrollAction::PageDown);
    EXPECT_EQ(view.firstVisibleRow, kPageRows);
    editor.scrollTo(range + 10);
    EXPECT_EQ(view.firstVisibleRow, range);
    editor.scroll(ScrollAction::LineDown);
    EXPECT_EQ(view.firstVisibleRow, range);
    editor.wheelStep(true, false);
    EXPECT_EQ(view.firstVisibleRow, range - 1);
    EXPECT_EQ(host.scrolls, 3);
}

} // namespace
} // namespace tonvela
