// The sheet window's context menu without the toolkit: which track and measure a point lies on,
// and what "F Clef", "G Clef", "Group As Piano", "Delete Notes" and the repeat items do to the
// sheet.

#include "editor/commands.h"
#include "editor/editing/context_menu.h"
#include "editor/editing/sheet_editor.h"
#include "editor/example_sheets.h"
#include "editor/layout.h"

#include <gtest/gtest.h>

namespace tonvela {
namespace {

using testing::addQuarters;

class CountingHost : public EditorHost {
  public:
    void layoutChanged() override { ++layouts; }
    void scrolled() override {}
    int layouts = 0;
};

class ContextMenuTest : public ::testing::Test {
  protected:
    // Three tracks with a few notes each, laid out in a window of 800 x 600.
    ContextMenuTest() : sheet(testing::sheetWithTracks(3)), view(*sheet), editor(view, host)
    {
        for (int t = 0; t < 3; ++t)
            addQuarters(*sheet->trackAt(t), 6 + 4 * t, -t);
        for (int t = 0; t < 3; ++t)
            sheet->trackAt(t)->rebuildChordLists();
        view.setClientSize(800, 600);
        editor.relayout();
        sheet->modified = 0;
    }
    // Row r's top line in the window.
    int top(int r) const { return view.rowTopInWindow(r); }

    CountingHost host;
    std::unique_ptr<SheetDocument> sheet;
    SheetViewState view;
    SheetEditor editor;
};

TEST_F(ContextMenuTest, ThePointerFindsTheTrackOfTheLastRowWhoseBandHoldsIt)
{
    // The band of a row runs from 35 above its top to 75 below it; rows are 110 apart, so
    // the bands of neighbouring rows overlap and the later row wins.
    const int x = 300;
    EXPECT_EQ(trackAtPoint(view, x, top(0) + 20), 0);
    EXPECT_EQ(trackAtPoint(view, x, top(1) + 20), 1);
    EXPECT_EQ(trackAtPoint(view, x, top(2) - 30), 2) << "above row 2, below row 1: row 2 holds it";
    EXPECT_EQ(trackAtPoint(view, x, top(1) + 74), 1) << "just above row 2's band";
    EXPECT_EQ(trackAtPoint(view, x, top(1) + 75), 2) << "the last unit of row 1's band is row 2's first";
    EXPECT_EQ(trackAtPoint(view, x, top(3) + 10), 0) << "the second system starts with track 0";
    EXPECT_EQ(trackAtPoint(view, x, top(0) - 36), -1) << "above every band";
    EXPECT_EQ(trackAtPoint(view, x, 100000), -1);

    // The clef box counts as its row's, and finding it leaves the hovered track alone.
    view.hoveredTrack = 2;
    EXPECT_EQ(trackAtPoint(view, kStaffLeft + 5, top(1) + 5), 1);
    EXPECT_EQ(view.hoveredTrack, 2);

    // Rows scrolled out of the window are not found.
    editor.scrollTo(1);
    ASSERT_EQ(view.firstVisibleRow, 1);
    EXPECT_EQ(trackAtPoint(view, x, top(1) + 20), 1);
    EXPECT_EQ(trackAtPoint(view, x, top(0) + 20), -1);
}

TEST_F(ContextMenuTest, TheClefItemsChangeTheStaffOfThePointedTrackAsOneUndoableEdit)
{
    Track& t = *sheet->trackAt(1);
    const Note before = t.noteAt(0);
    const int layouts = host.layouts;

    // "F Clef" over track 1
    EXPECT_TRUE(runContextMenuItem(editor, ContextMenuItem::FClef, trackAtPoint(view, 300, top(1) + 20)));
    EXPECT_EQ(staffKindOf(t), StaffKind::FClef);
    EXPECT_EQ(t.noteAt(0).line, before.line - 5) << "the notes keep sounding where they sounded";
    EXPECT_EQ(staffKindOf(*sheet->trackAt(0)), StaffKind::GClef);
    EXPECT_EQ(sheet->modified, 1);
    EXPECT_EQ(host.layouts, layouts + 1);
    EXPECT_TRUE(sheet->canUndo());

    // Again: nothing to change, no step to undo.
    sheet->modified = 0;
    EXPECT_FALSE(runContextMenuItem(editor, ContextMenuItem::FClef, 1));
    EXPECT_EQ(sheet->modified, 0);

    // Undo gives the G clef back with the notes where they were; redo the F clef again.
    ASSERT_TRUE(editor.command(kCmdUndo));
    EXPECT_EQ(staffKindOf(t), StaffKind::GClef);
    EXPECT_EQ(t.noteAt(0).line, before.line);
    EXPECT_EQ(t.noteAt(0).midi, before.midi);
    EXPECT_FALSE(sheet->canUndo()) << "one change, one step";
    ASSERT_TRUE(editor.command(kCmdRedo));
    EXPECT_EQ(staffKindOf(t), StaffKind::FClef);

    // "G Clef" brings it back, and turns a percussion track into a melodic one.
    EXPECT_TRUE(runContextMenuItem(editor, ContextMenuItem::GClef, 1));
    EXPECT_EQ(staffKindOf(t), StaffKind::GClef);
    EXPECT_EQ(t.noteAt(0).line, before.line);
    sheet->trackAt(2)->percussive = 1;
    EXPECT_TRUE(runContextMenuItem(editor, ContextMenuItem::GClef, 2));
    EXPECT_EQ(sheet->trackAt(2)->percussive, 0);

    // No track under the pointer: nothing happens.
    sheet->modified = 0;
    EXPECT_FALSE(runContextMenuItem(editor, ContextMenuItem::FClef, -1));
    EXPECT_FALSE(runContextMenuItem(editor, ContextMenuItem::GClef, 3));
    EXPECT_EQ(sheet->modified, 0);
}

TEST_F(ContextMenuTest, GroupAsPianoBracesATrackWithTheNextAsOneUndoableEdit)
{
    ASSERT_EQ(sheet->trackCount(), 3);
    // The last track has no next one to join.
    EXPECT_FALSE(runContextMenuItem(editor, ContextMenuItem::GroupAsPiano, 2));
    // Over track 1: tracks 1 and 2 become one piano part.
    EXPECT_TRUE(runContextMenuItem(editor, ContextMenuItem::GroupAsPiano, 1));
    EXPECT_EQ(sheet->trackAt(1)->braceWithNext, 1);
    // Over track 0: 0 and 1 become the pair, and 1 leaves the pair it opened.
    EXPECT_TRUE(runContextMenuItem(editor, ContextMenuItem::GroupAsPiano, 0));
    EXPECT_EQ(sheet->trackAt(0)->braceWithNext, 1);
    EXPECT_EQ(sheet->trackAt(1)->braceWithNext, 0);
    // Over either staff of a pair: it parts.
    EXPECT_TRUE(runContextMenuItem(editor, ContextMenuItem::GroupAsPiano, 1));
    EXPECT_EQ(sheet->trackAt(0)->braceWithNext, 0);
    // Each was one step of undo.
    ASSERT_TRUE(editor.command(kCmdUndo));
    EXPECT_EQ(sheet->trackAt(0)->braceWithNext, 1);
    ASSERT_TRUE(editor.command(kCmdUndo));
    EXPECT_EQ(sheet->trackAt(0)->braceWithNext, 0);
    EXPECT_EQ(sheet->trackAt(1)->braceWithNext, 1);
    // Over the lower staff of that pair: it parts.
    EXPECT_TRUE(runContextMenuItem(editor, ContextMenuItem::GroupAsPiano, 2));
    EXPECT_EQ(sheet->trackAt(1)->braceWithNext, 0);
}

TEST_F(ContextMenuTest, DeleteNotesDeletesTheSelectionWhereverThePointerIs)
{
    EXPECT_FALSE(runContextMenuItem(editor, ContextMenuItem::DeleteNotes, 0)) << "nothing selected";
    EXPECT_FALSE(sheet->canUndo());
    sheet->trackAt(2)->noteAt(1).selected = 1;
    sheet->trackAt(2)->noteAt(3).selected = 1;
    const int count = sheet->trackAt(2)->count;
    EXPECT_TRUE(runContextMenuItem(editor, ContextMenuItem::DeleteNotes, 0));
    EXPECT_EQ(sheet->trackAt(2)->count, count - 2);
    ASSERT_TRUE(editor.command(kCmdUndo));
    EXPECT_EQ(sheet->trackAt(2)->count, count);
}

TEST_F(ContextMenuTest, ThePointerFindsTheMeasureWhoseBarLineLiesLastBeforeIt)
{
    const std::vector<MeasureRecord>& records = view.measures(0);
    ASSERT_GE(view.measuresInUse(0), 2);
    ASSERT_EQ(records[2].rowIndex, 0);
    ASSERT_GT(records[2].x, kStaffLeft + 40);
    const int y = top(0) + 20;
    EXPECT_EQ(measureAtPoint(view, records[2].x + 2, y), 2);
    EXPECT_EQ(measureAtPoint(view, records[2].x - 2, y), 1);
    EXPECT_EQ(measureAtPoint(view, kStaffLeft + 5, y), 1) << "left of every bar line: the row's first";
    EXPECT_EQ(measureAtPoint(view, records[2].x + 2, top(2) + 20), 2) << "track 2's own measures";
    EXPECT_EQ(measureAtPoint(view, 300, top(0) - 36), 0) << "on no row";
}

TEST_F(ContextMenuTest, TheRepeatItemsBuildAPassageWithEndingsForTheWholeSystemOneUndoStepEach)
{
    using Ranges = std::vector<RepeatRange>;
    auto run = [&](ContextMenuItem item, int measure) {
        return runContextMenuItem(editor, item, 1, measure);
    };
    const int layouts = host.layouts;
    EXPECT_TRUE(run(ContextMenuItem::StartRepeat, 2));
    EXPECT_EQ(sheet->repeatRanges, (Ranges{{2, 2, 0, 0}}));
    EXPECT_EQ(sheet->trackAt(0)->repeatRanges, sheet->repeatRanges) << "every track";
    EXPECT_EQ(sheet->trackAt(2)->repeatRanges, sheet->repeatRanges);
    EXPECT_EQ(sheet->modified, 1);
    EXPECT_EQ(host.layouts, layouts + 1);

    // Steps that cannot be made change nothing and leave no undo step.
    sheet->modified = 0;
    EXPECT_FALSE(run(ContextMenuItem::StartRepeat, 2)) << "a range holds it";
    EXPECT_FALSE(run(ContextMenuItem::EndRepeat, 1)) << "no range starts at or before it";
    EXPECT_FALSE(run(ContextMenuItem::FirstEnding, 2)) << "a range of one measure has no room";
    EXPECT_FALSE(run(ContextMenuItem::StartRepeat, 0));
    EXPECT_FALSE(run(ContextMenuItem::RemoveRepeat, 1));
    EXPECT_EQ(sheet->modified, 0);

    EXPECT_TRUE(run(ContextMenuItem::EndRepeat, 5));
    EXPECT_EQ(sheet->repeatRanges, (Ranges{{2, 5, 0, 0}}));
    EXPECT_FALSE(run(ContextMenuItem::FirstEnding, 2)) << "the whole range cannot be the first ending";
    EXPECT_FALSE(run(ContextMenuItem::FirstEnding, 6)) << "outside the range";
    EXPECT_TRUE(run(ContextMenuItem::FirstEnding, 4));
    EXPECT_EQ(sheet->repeatRanges, (Ranges{{2, 5, 2, 0}}));
    EXPECT_FALSE(run(ContextMenuItem::SecondEnding, 5)) << "only the measure after the range";
    EXPECT_TRUE(run(ContextMenuItem::SecondEnding, 6));
    EXPECT_EQ(sheet->repeatRanges, (Ranges{{2, 5, 2, 1}}));
    EXPECT_FALSE(run(ContextMenuItem::StartRepeat, 6)) << "the second ending belongs to the range";
    EXPECT_TRUE(run(ContextMenuItem::StartRepeat, 7));
    EXPECT_TRUE(run(ContextMenuItem::EndRepeat, 8));
    EXPECT_EQ(sheet->repeatRanges, (Ranges{{2, 5, 2, 1}, {7, 8, 0, 0}}));
    // Ending a range shorter drops a first ending that no longer fits.
    EXPECT_TRUE(run(ContextMenuItem::EndRepeat, 3));
    EXPECT_EQ(sheet->repeatRanges, (Ranges{{2, 3, 0, 1}, {7, 8, 0, 0}}));

    // Each item was one undo step.
    ASSERT_TRUE(editor.command(kCmdUndo));
    EXPECT_EQ(sheet->repeatRanges, (Ranges{{2, 5, 2, 1}, {7, 8, 0, 0}}));
    EXPECT_EQ(sheet->trackAt(2)->repeatRanges, sheet->repeatRanges);
    ASSERT_TRUE(editor.command(kCmdUndo));
    EXPECT_EQ(sheet->repeatRanges, (Ranges{{2, 5, 2, 1}, {7, 7, 0, 0}}));

    // Remove Repeat takes the range holding the measure, its second ending included.
    EXPECT_TRUE(run(ContextMenuItem::RemoveRepeat, 6));
    EXPECT_EQ(sheet->repeatRanges, (Ranges{{7, 7, 0, 0}}));
    EXPECT_TRUE(run(ContextMenuItem::RemoveRepeat, 7));
    EXPECT_TRUE(sheet->repeatRanges.empty());
    EXPECT_TRUE(sheet->trackAt(1)->repeatRanges.empty());
    ASSERT_TRUE(editor.command(kCmdUndo));
    EXPECT_EQ(sheet->repeatRanges, (Ranges{{7, 7, 0, 0}}));
}

} // namespace
} // namespace tonvela
