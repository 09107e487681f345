// Home and End: the current note goes to the first or last note of the chosen track and the
// view to the sheet's start or end.

#include "editor/commands.h"
#include "editor/editing/sheet_editor.h"
#include "editor/example_sheets.h"

#include <gtest/gtest.h>

#include <memory>

namespace tonvela {
namespace {

using testing::addNote;
using testing::addQuarters;

class CountingHost : public EditorHost {
  public:
    void layoutChanged() override {}
    void scrolled() override { ++scrolls; }
    void selectionChanged() override { ++selections; }
    int scrolls = 0;
    int selections = 0;
};

class SheetNavigationTest : public ::testing::Test {
  protected:
    // Two tracks: 200 quarters on the first, a bar line and three quarters on the second.
    SheetNavigationTest() : sheet(testing::sheetWithTracks(2))
    {
        addQuarters(*sheet->trackAt(0), 200);
        addNote(*sheet->trackAt(1), kTypeStaffBreak, 0);
        addQuarters(*sheet->trackAt(1), 3);
        addNote(*sheet->trackAt(1), kTypeStaffBreak, 0);
        view = std::make_unique<SheetViewState>(*sheet);
        editor = std::make_unique<SheetEditor>(*view, host);
        editor->resize(800, 600);
    }

    int current(int t) const { return editor->editState().track(t).currentNote; }
    int selectedCount(int t) const
    {
        int n = 0;
        for (int i = 0; i < sheet->trackAt(t)->count; ++i)
            n += sheet->trackAt(t)->noteAt(i).selected ? 1 : 0;
        return n;
    }

    std::unique_ptr<SheetDocument> sheet;
    CountingHost host;
    std::unique_ptr<SheetViewState> view;
    std::unique_ptr<SheetEditor> editor;
};

TEST_F(SheetNavigationTest, EndAndHomeGoToTheLastAndFirstNoteAndScrollThere)
{
    ASSERT_GT(view->scrollRange, 3) << "the sheet is longer than the window";
    EXPECT_TRUE(editor->answers(kCmdGoToStart));
    EXPECT_TRUE(editor->answers(kCmdGoToEnd));

    EXPECT_TRUE(editor->command(kCmdGoToEnd));
    EXPECT_EQ(current(0), 199);
    EXPECT_EQ(selectedCount(0), 1);
    EXPECT_TRUE(sheet->trackAt(0)->noteAt(199).selected);
    EXPECT_EQ(view->firstVisibleRow, view->scrollRange) << "the end of the sheet is in view";

    EXPECT_TRUE(editor->command(kCmdGoToStart));
    EXPECT_EQ(current(0), 0);
    EXPECT_EQ(selectedCount(0), 1);
    EXPECT_EQ(view->firstVisibleRow, 0);
    EXPECT_GT(host.selections, 1);
}

TEST_F(SheetNavigationTest, TheyStopAtNotesOfTheChosenTrackAndSkipWhatIsNeverDrawn)
{
    sheet->selectedTrack = 1;
    EXPECT_TRUE(editor->command(kCmdGoToEnd));
    EXPECT_EQ(current(1), 3) << "the staff break at the end is passed over";
    EXPECT_EQ(current(0), -1);
    EXPECT_TRUE(editor->command(kCmdGoToStart));
    EXPECT_EQ(current(1), 1);
}

TEST_F(SheetNavigationTest, OnAnEmptyTrackTheyOnlyScrollAndWithoutATrackDoNothing)
{
    editor->command(kCmdGoToEnd);
    ASSERT_EQ(current(0), 199);
    sheet->setTrackCount(3);
    sheet->selectedTrack = 2;
    EXPECT_TRUE(editor->command(kCmdGoToStart));
    EXPECT_EQ(view->firstVisibleRow, 0);
    EXPECT_EQ(current(0), 199) << "the current note stays where it was";

    sheet->selectedTrack = -1;
    const int first = view->firstVisibleRow;
    EXPECT_FALSE(editor->command(kCmdGoToEnd));
    EXPECT_EQ(view->firstVisibleRow, first);
}

} // namespace
} // namespace tonvela
