#include "editor/commands.h"
#include "editor/editing/note_clipboard.h"
#include "editor/editing/sheet_editor.h"
#include "editor/editing/tool_editing.h"
#include "editor/engraving_marks.h"
#include "editor/example_sheets.h"
#include "editor/glyphs.h"
#include "editor/layout.h"
#include "editor/sheet_invariants.h"
#include "platform/notifier.h"
#include "score/sounding_pitch.h"
#include "score/staff_kind.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace tonvela {
namespace {

using testing::addNote;
using testing::addQuarters;

// Counts what the editor asks of its window.
class PointerHost : public EditorHost {
  public:
    void layoutChanged() override { ++layouts; }
    void scrolled() override { ++scrolls; }
    void pointerViewChanged() override { ++repaints; }
    void selectionChanged() override { ++selections; }
    void statusTextChanged(const std::string& text) override { statuses.push_back(text); }

    int layouts = 0;
    int scrolls = 0;
    int repaints = 0;
    int selections = 0;
    std::vector<std::string> statuses;
};

// The y (sheet units) whose click gives staff step `step` on a row with top `top`: the middle
// of the part of its band that gives that step.
int yOfStep(int top, int step)
{
    const int d = kStaffSpacing;
    if (step % 2 == 0)
        return top + ((step + 2) / 2) * d + 3 + 2; // 1 to 3 units into the band
    return top + ((step + 1) / 2) * d + 3 + 6;     // 4 to 8 units into the band
}

class PointerEditingTest : public ::testing::Test {
  protected:
    PointerEditingTest()
    {
        sharedToolGroups() = SharedToolGroups{};
        noteClipboard() = NoteClipboard{};
    }
    ~PointerEditingTest() override { sharedToolGroups() = SharedToolGroups{}; }

    // A sheet of `tracks` tracks in an 800 x 600 window at zoom 1; fill() adds notes before
    // the first layout.
    void make(int tracks, const std::function<void(SheetDocument&)>& fill = {})
    {
        editor.reset();
        view.reset();
        sheet = testing::sheetWithTracks(tracks);
        if (fill)
            fill(*sheet);
        view = std::make_unique<SheetViewState>(*sheet);
        editor = std::make_unique<SheetEditor>(*view, host);
        editor->setNotifier(&notifier);
        editor->resize(800, 600);
    }

    PointerInput input(int x, int y, PointerButton button = PointerButton::None, bool shift = false,
                       bool ctrl = false)
    {
        ms += 20;
        return PointerInput{x, y, shift, ctrl, ms, button};
    }
    void moveTo(int x, int y, bool shift = false)
    {
        editor->pointerMoved(input(x, y, PointerButton::None, shift));
    }
    bool click(int x, int y, bool shift = false, bool ctrl = false)
    {
        moveTo(x, y, shift);
        editor->pointerPressed(input(x, y, PointerButton::Left, shift, ctrl));
        return editor->pointerReleased(input(x, y, PointerButton::Left, shift, ctrl));
    }
    // A press at one point, moves to another and a release there.
    bool dragFromTo(int x0, int y0, int x1, int y1, bool shift = false)
    {
        moveTo(x0, y0, shift);
        editor->pointerPressed(input(x0, y0, PointerButton::Left, shift));
        moveTo((x0 + x1) / 2, (y0 + y1) / 2, shift);
        moveTo(x1, y1, shift);
        return editor->pointerReleased(input(x1, y1, PointerButton::Left, shift));
    }

    Track& track(int t = 0) { return *sheet->trackAt(t); }
    Note& note(int i, int t = 0) { return track(t).noteAt(i); }
    // Where the view's layout put note i of track t.
    const NoteLayout& at(int i, int t = 0) const { return view->noteLayout(t, i); }
    // Row r's top line in the window.
    int top(int row) const { return view->rowTopInWindow(row); }
    int selectedCount(int t = 0)
    {
        int n = 0;
        for (int i = 0; i < track(t).count; ++i)
            n += note(i, t).selected;
        return n;
    }
    TrackEditState& state(int t = 0) { return editor->editState().track(t); }
    // A point between notes i - 1 and i of track 0 (on row 0).
    int between(int i) { return (at(i - 1).x + at(i).x) / 2 + 6; }
    int rowEndX(int row = 0) { return view->row(row).lastX + 30; }

    std::unique_ptr<SheetDocument> sheet;
    std::unique_ptr<SheetViewState> view;
    PointerHost host;
    CollectingNotifier notifier;
    std::unique_ptr<SheetEditor> editor;
    int64_t ms = 1000;
};

TEST_F(PointerEditingTest, TenUnitsFromThePressIsAClickAndElevenADrag)
{
    make(1, [](SheetDocument& s) { addQuarters(*s.trackAt(0), 2); });
    const int x = rowEndX();
    const int y = yOfStep(top(0), 1);
    moveTo(x, y);
    editor->pointerPressed(input(x, y, PointerButton::Left));
    moveTo(x + 6, y - 4); // |dx| + |dy| = 10
    EXPECT_FALSE(editor->pointer().dragging);
    EXPECT_TRUE(editor->pointerReleased(input(x + 6, y - 4, PointerButton::Left)));
    EXPECT_EQ(track().count, 3) << "a click at the row end adds a note";

    const int endX = rowEndX();
    moveTo(endX, y);
    editor->pointerPressed(input(endX, y, PointerButton::Left));
    moveTo(endX + 6, y - 5); // 11
    EXPECT_TRUE(editor->pointer().dragging);
    EXPECT_TRUE(view->dragRectVisible) << "a drag that did not start on a note shows its rectangle";
    EXPECT_EQ(view->dragLeft, endX);
    EXPECT_EQ(view->dragBottom, y);
    EXPECT_FALSE(editor->pointerReleased(input(endX + 6, y - 5, PointerButton::Left)));
    EXPECT_EQ(track().count, 3) << "a drag never adds a note";
    EXPECT_FALSE(view->dragRectVisible);
}

TEST_F(PointerEditingTest, TrackingShowsThePreviewTheInsertionPointAndTheStatus)
{
    make(1, [](SheetDocument& s) { addQuarters(*s.trackAt(0), 3); });
    editor->tools().sharp = true;
    // Between the first two notes: the insertion point is the second note.
    moveTo(between(1), yOfStep(top(0), 0));
    EXPECT_EQ(state().insertionPoint, 1);
    ASSERT_TRUE(view->previewVisible);
    EXPECT_EQ(view->previewLayout.x, at(1).x - 13);
    EXPECT_EQ(view->previewNote.type, kTypeQuarter);
    EXPECT_EQ(view->previewNote.line, 0);
    EXPECT_TRUE(view->previewNote.dwFlag & kFlagSharp);
    EXPECT_EQ(editor->statusText(), "Note: C # 4");
    ASSERT_FALSE(host.statuses.empty());
    EXPECT_EQ(host.statuses.back(), "Note: C # 4");

    // Past the row's last note: the end of the track, the preview 35 after the last note.
    editor->tools().sharp = false;
    editor->tools().flat = true;
    moveTo(rowEndX(), yOfStep(top(0), -3));
    EXPECT_EQ(state().insertionPoint, 3);
    EXPECT_EQ(view->previewLayout.x, view->row(0).lastX + 35);
    EXPECT_EQ(editor->statusText(), "Note: F b 4");

    // Over a note: it is highlighted and there is no insertion point.
    moveTo(at(1).x + 3, at(1).y + 20);
    EXPECT_EQ(state().insertionPoint, -1);
    EXPECT_TRUE(view->isHoveredNote(0, 1));
    EXPECT_EQ(state().hoverNote, 1);

    // Far above the staff the hover guides follow; far away from every row nothing shows.
    moveTo(rowEndX(), top(0) - 20);
    EXPECT_EQ(view->guide.row, 0);
    EXPECT_EQ(view->guide.aboveX, rowEndX());
    moveTo(rowEndX(), top(0) + 300);
    EXPECT_FALSE(view->previewVisible);
    EXPECT_EQ(view->guide.aboveX, -1) << "the guides leave with the pointer";
    EXPECT_EQ(state().insertionPoint, -1);
}

TEST_F(PointerEditingTest, TheStatusNamesTheNoteTheClefShows)
{
    make(3, [](SheetDocument& s) {
        setStaffKind(*s.trackAt(1), StaffKind::FClef);
        setStaffKind(*s.trackAt(2), StaffKind::G2Clef);
        for (int t = 0; t < 3; ++t)
            addQuarters(*s.trackAt(t), 1);
    });
    moveTo(rowEndX(0), yOfStep(top(0), 1));
    EXPECT_EQ(editor->statusText(), "Note: B 3") << "the G clef's middle line (key 59)";
    moveTo(rowEndX(1), yOfStep(top(1), 1));
    EXPECT_EQ(editor->statusText(), "Note: D 3") << "the bass staff's middle line";
    moveTo(rowEndX(1), yOfStep(top(1), -3));
    EXPECT_EQ(editor->statusText(), "Note: A 3") << "the bass staff's top line";
    moveTo(rowEndX(2), yOfStep(top(2), 1));
    EXPECT_EQ(editor->statusText(), "Note: B 4") << "the G(2) clef sounds an octave higher";
    // The note a click there enters is the one the status named.
    click(rowEndX(1), yOfStep(top(1), 1));
    ASSERT_EQ(track(1).count, 2);
    EXPECT_EQ(soundingPitch(note(1, 1), track(1)), 50) << "D below middle C";
    // An accidental that crosses into the next octave keeps its letter's octave.
    editor->tools().sharp = true;
    moveTo(rowEndX(0), yOfStep(top(0), 1));
    EXPECT_EQ(editor->statusText(), "Note: B # 3") << "sounds key 60 but is a B";
    editor->tools().sharp = false;
    editor->tools().flat = true;
    moveTo(rowEndX(0), yOfStep(top(0), 0));
    EXPECT_EQ(editor->statusText(), "Note: C b 4") << "sounds key 59 but is a C";
}

TEST_F(PointerEditingTest, AClickBetweenNotesInsertsThereAndAtTheRowEndAppends)
{
    make(1, [](SheetDocument& s) { addQuarters(*s.trackAt(0), 3, 1); });
    const int layoutsBefore = host.layouts;
    click(between(2), yOfStep(top(0), -2));
    ASSERT_EQ(track().count, 4);
    EXPECT_EQ(note(2).line, -2) << "inserted before the note right of the pointer";
    EXPECT_EQ(note(2).type, kTypeQuarter);
    EXPECT_EQ(note(3).line, 1);
    EXPECT_EQ(host.layouts, layoutsBefore + 1) << "one edit, one relayout";
    EXPECT_TRUE(sheet->modified);

    click(rowEndX(), yOfStep(top(0), 3));
    ASSERT_EQ(track().count, 5);
    EXPECT_EQ(note(4).line, 3);

    // Each insertion is one undo step.
    editor->command(kCmdUndo);
    EXPECT_EQ(track().count, 4);
    editor->command(kCmdUndo);
    EXPECT_EQ(track().count, 3);
    EXPECT_EQ(note(2).line, 1);
    editor->command(kCmdRedo);
    EXPECT_EQ(track().count, 4);
    EXPECT_EQ(note(2).line, -2);
}

TEST_F(PointerEditingTest, ControlClickSelectsAndMovesThePreviewButAddsNothing)
{
    make(1, [](SheetDocument& s) { addQuarters(*s.trackAt(0), 3); });
    click(rowEndX(), yOfStep(top(0), 2), false, true);
    EXPECT_EQ(track().count, 3);
    EXPECT_TRUE(view->previewVisible);
    EXPECT_EQ(view->previewNote.line, 2);
    EXPECT_FALSE(sheet->canUndo()) << "no snapshot for a click that adds nothing";

    click(at(1).x + 3, top(0) + 20, false, true);
    EXPECT_EQ(track().count, 3);
    EXPECT_TRUE(note(1).selected);
    EXPECT_EQ(state().currentNote, 1);
}

TEST_F(PointerEditingTest, ClickingANoteSelectsItAndMakesItCurrentShiftKeepsTheOthers)
{
    make(2, [](SheetDocument& s) {
        addQuarters(*s.trackAt(0), 3);
        addNote(*s.trackAt(1), kTypeEighth, 2);
    });
    click(at(0).x + 2, top(0) + 20);
    EXPECT_TRUE(note(0).selected);
    EXPECT_EQ(state(0).currentNote, 0);
    click(at(0, 1).x + 2, top(1) + 20);
    EXPECT_FALSE(note(0).selected) << "without Shift the click drops the selection";
    EXPECT_TRUE(note(0, 1).selected);
    EXPECT_EQ(state(0).currentNote, -1) << "one current note in the sheet";
    EXPECT_EQ(state(1).currentNote, 0);
    EXPECT_EQ(sharedToolGroups().notes.currentId, kTypeEighth) << "the clicked kind becomes the tool";
    click(at(2).x + 2, top(0) + 20, true);
    EXPECT_TRUE(note(0, 1).selected);
    EXPECT_TRUE(note(2).selected);
    EXPECT_NEAR(sheet->selectedBeats(), 1.5, 1e-9) << "an eighth and a quarter";
    EXPECT_GT(host.selections, 0);
}

TEST_F(PointerEditingTest, AClickOutsideEveryRowDeselectsEverything)
{
    make(1, [](SheetDocument& s) { addQuarters(*s.trackAt(0), 3); });
    for (int i = 0; i < 3; ++i)
        note(i).selected = 1;
    click(rowEndX(), top(0) + 300);
    EXPECT_EQ(selectedCount(), 0);
    EXPECT_EQ(view->hoveredTrack, -1);
    EXPECT_FALSE(view->previewVisible);
    EXPECT_EQ(track().count, 3);
}

TEST_F(PointerEditingTest, EscapeAndAClickOnEmptyPaperClearTheSelectionAndUndoBringsNoneBack)
{
    make(1, [](SheetDocument& s) { addQuarters(*s.trackAt(0), 3); });
    editor->command(kCmdSelectAll);
    ASSERT_EQ(selectedCount(), 3);
    EXPECT_TRUE(editor->keyPressed({EditorKey::Escape, false, false}));
    EXPECT_EQ(selectedCount(), 0);
    EXPECT_FALSE(sheet->canUndo()) << "a selection is no edit";
    EXPECT_FALSE(editor->keyPressed({EditorKey::Escape, false, false})) << "nothing left to clear";

    // The paper right of the staff's end is away from every staff.
    editor->command(kCmdSelectAll);
    click(view->row(0).left + view->row(0).length + 20, top(0) + 20);
    EXPECT_EQ(selectedCount(), 0);
    EXPECT_EQ(track().count, 3) << "the click adds no note either";

    // Undo and redo bring back the notes, never the selection of their time: a tool key
    // pressed afterwards changes nothing unseen.
    editor->command(kCmdSelectAll);
    editor->command(kCmdCursorUp);
    ASSERT_TRUE(sheet->canUndo());
    editor->keyPressed({EditorKey::Escape, false, false});
    editor->command(kCmdUndo);
    EXPECT_EQ(selectedCount(), 0);
    editor->command(kCmdRedo);
    EXPECT_EQ(selectedCount(), 0);
    const int linesBefore = note(0).line;
    editor->keyPressed({EditorKey::E, false, false});
    EXPECT_EQ(note(0).type, kTypeQuarter);
    EXPECT_EQ(note(0).line, linesBefore);
}

TEST_F(PointerEditingTest, ClicksAboveAndBelowTheCurrentNoteBuildItsChord)
{
    make(1, [](SheetDocument& s) { addQuarters(*s.trackAt(0), 2, 3); });
    const int x = at(0).x + 2;
    click(x, yOfStep(top(0), 3)); // selects the note and makes it current
    ASSERT_EQ(state().currentNote, 0);
    ASSERT_EQ(track().count, 2);

    // Beside the current note the preview is a chord member.
    moveTo(x, yOfStep(top(0), -1));
    ASSERT_TRUE(view->previewVisible);
    EXPECT_EQ(view->previewNote.chordparent, 0);
    EXPECT_EQ(view->previewLayout.x, at(0).x);

    click(x, yOfStep(top(0), -1));
    ASSERT_EQ(track().count, 3);
    EXPECT_EQ(note(2).chordparent, 0) << "the member goes to the end of the track";
    EXPECT_EQ(note(2).line, -1);
    EXPECT_EQ(note(0).childCount, 1);
    EXPECT_EQ(selectedCount(), 0);
    EXPECT_EQ(state().currentNote, 0) << "the root stays current";
    click(x, yOfStep(top(0), 1));
    ASSERT_EQ(track().count, 4);
    EXPECT_EQ(note(0).childCount, 2);

    // The root's own height adds nothing and selects the root.
    click(x, yOfStep(top(0), 3));
    EXPECT_EQ(track().count, 4);
    EXPECT_TRUE(note(0).selected);
    // An existing member's height makes that member current instead of a duplicate.
    click(x, yOfStep(top(0), -1));
    EXPECT_EQ(track().count, 4);
    EXPECT_EQ(state().currentNote, 2);
    EXPECT_TRUE(note(2).selected);
    EXPECT_FALSE(note(0).selected);
    // With a member current, a new height still adds to the root's chord.
    click(x, yOfStep(top(0), -3));
    ASSERT_EQ(track().count, 5);
    EXPECT_EQ(note(4).chordparent, 0);
    EXPECT_TRUE(testing::keepsTheInvariants(*sheet));

    // Undo takes the members off one by one.
    editor->command(kCmdUndo);
    EXPECT_EQ(track().count, 4);
    EXPECT_EQ(note(0).childCount, 2);
}

TEST_F(PointerEditingTest, AChordTakesThirtyTwoMembersAtMost)
{
    make(1, [](SheetDocument& s) {
        Track& t = *s.trackAt(0);
        addNote(t, kTypeWhole, 12);
        for (int k = 0; k < kMaxChordMembers; ++k)
            addNote(t, kTypeWhole, 11 - k, 0, nullptr, 0);
    });
    const int x = at(0).x + 2;
    click(x, yOfStep(top(0), 12));
    ASSERT_EQ(state().currentNote, 0);
    ASSERT_EQ(note(0).childCount, kMaxChordMembers);
    // Step 12 is the root, 11 down to -20 are taken: 13 would be new.
    click(x, yOfStep(top(0), 13));
    EXPECT_EQ(track().count, 1 + kMaxChordMembers) << "a full chord only selects";
    EXPECT_FALSE(sheet->canUndo());
    EXPECT_TRUE(note(0).selected);
    EXPECT_TRUE(testing::keepsTheInvariants(*sheet));
}

TEST_F(PointerEditingTest, ADragSelectsTheNotesInItsRectangleAndShiftKeepsTheOthers)
{
    make(1, [](SheetDocument& s) { addQuarters(*s.trackAt(0), 6); });
    note(5).selected = 1;
    // Around notes 1 and 2, from below the staff to above it. The press is in no note's
    // column: a drag from a note selects nothing.
    const int left = at(1).x - 15;
    const int right = at(2).x + 12;
    EXPECT_FALSE(dragFromTo(left, top(0) + 70, right, top(0) - 30));
    EXPECT_TRUE(note(1).selected);
    EXPECT_TRUE(note(2).selected);
    EXPECT_FALSE(note(5).selected) << "without Shift the notes outside drop out";
    EXPECT_EQ(selectedCount(), 2);

    note(5).selected = 1;
    const int left4 = at(4).x - 15;
    EXPECT_FALSE(dragFromTo(left4, top(0) + 70, left4 + 27, top(0) - 30, true));
    EXPECT_TRUE(note(4).selected);
    EXPECT_TRUE(note(1).selected) << "Shift keeps the notes outside the rectangle";
    EXPECT_TRUE(note(5).selected);
    EXPECT_EQ(selectedCount(), 4);
    EXPECT_EQ(track().count, 6);
    EXPECT_FALSE(sheet->canUndo()) << "selecting takes no snapshot";

    // A drag that starts on a note selects nothing and shows no rectangle.
    const int x1 = at(1).x + 2;
    moveTo(x1, top(0) + 20);
    editor->pointerPressed(input(x1, top(0) + 20, PointerButton::Left));
    moveTo(x1 + 200, top(0) + 40);
    EXPECT_TRUE(editor->pointer().dragging);
    EXPECT_FALSE(view->dragRectVisible);
    EXPECT_EQ(selectedCount(), 4);
    editor->pointerReleased(input(x1 + 200, top(0) + 40, PointerButton::Left));
}

TEST_F(PointerEditingTest, TheClefSelectsItsTrack)
{
    make(2);
    moveTo(kStaffLeft + 10, top(1) + 20);
    EXPECT_EQ(view->hoveredTrack, 1);
    EXPECT_FALSE(view->previewVisible);
    click(kStaffLeft + 10, top(1) + 20);
    EXPECT_EQ(sheet->selectedTrack, 1);
    EXPECT_EQ(track(1).count, 0);
    EXPECT_EQ(track(0).count, 0);
}

TEST_F(PointerEditingTest, ChoosingAnotherTrackDropsTheSelectionOfTheTrackBefore)
{
    // Select All and Delete in the newly chosen track must not take a note that was clicked
    // in the track chosen before.
    make(2, [](SheetDocument& s) {
        addQuarters(*s.trackAt(0), 3);
        addQuarters(*s.trackAt(1), 2);
    });
    sheet->trackAt(0)->noteAt(1).selected = 1;
    click(kStaffLeft + 10, top(1) + 20);
    ASSERT_EQ(sheet->selectedTrack, 1);
    EXPECT_EQ(track(0).noteAt(1).selected, 0);
    editor->command(kCmdSelectAll);
    editor->command(kCmdDelete);
    EXPECT_EQ(track(0).count, 3);
    EXPECT_EQ(track(1).count, 0);

    // The track chosen keeps its own selection, also when it is chosen again.
    click(kStaffLeft + 10, top(0) + 20);
    track(0).noteAt(2).selected = 1;
    click(kStaffLeft + 10, top(0) + 20);
    EXPECT_EQ(track(0).noteAt(2).selected, 1);
}

TEST_F(PointerEditingTest, AnEmptyTrackTakesANoteAtItsRowAndRowsPastTheTrackTakeNone)
{
    make(2, [](SheetDocument& s) { addQuarters(*s.trackAt(0), 20); });
    ASSERT_GE(view->rowsInUse(), 4);
    // Track 1 has one row (row 1); its row in the second system shows none of its notes.
    moveTo(300, yOfStep(top(3), 0));
    EXPECT_EQ(state(1).insertionPoint, -1);
    EXPECT_FALSE(view->previewVisible);
    click(300, yOfStep(top(3), 0));
    EXPECT_EQ(track(1).count, 0);
    click(300, yOfStep(top(1), 0));
    ASSERT_EQ(track(1).count, 1);
    EXPECT_EQ(note(0, 1).line, 0);
    EXPECT_EQ(note(0, 1).iid, track(1).iid);
}

TEST_F(PointerEditingTest, MarkerToolsInsertTheirKindAndTool1737FlipsTheRowMarker)
{
    make(1, [](SheetDocument& s) { addQuarters(*s.trackAt(0), 2); });
    sharedToolGroups().notes.currentId = kTypeBar;
    moveTo(rowEndX(), top(0) + 20);
    EXPECT_EQ(view->previewNote.type, kTypeBar);
    EXPECT_EQ(view->previewLayout.y, top(0)) << "markers sit on the top line";
    click(rowEndX(), top(0) + 20);
    ASSERT_EQ(track().count, 3);
    EXPECT_EQ(note(2).type, kTypeBar);

    sharedToolGroups().notes.currentId = kTypeMark1737;
    sharedToolGroups().edit.currentId = kTypeMark1737;
    click(rowEndX(), top(0) + 20);
    EXPECT_EQ(track().count, 3) << "tool 1737 marks the row and adds nothing";
    EXPECT_TRUE(view->rowMarked(0));
    click(rowEndX(), top(0) + 20);
    EXPECT_FALSE(view->rowMarked(0));

    // Tool 1740 turns mouse editing off.
    sharedToolGroups().notes.currentId = kTypeMark1740;
    sharedToolGroups().edit.currentId = kTypeMark1740;
    moveTo(rowEndX(), top(0) + 20);
    EXPECT_FALSE(view->previewVisible);
    click(rowEndX(), top(0) + 20);
    click(at(0).x + 2, top(0) + 20);
    EXPECT_EQ(track().count, 3);
    EXPECT_FALSE(note(0).selected);
}

TEST_F(PointerEditingTest, AnInsertionPastTheNoteLimitIsRefusedWithAMessage)
{
    make(1, [](SheetDocument& s) { addQuarters(*s.trackAt(0), Track::kMaxNotes, 1); });
    // The last row of the track is far below; clicks go to the first row, between notes.
    click(between(1), yOfStep(top(0), 0));
    EXPECT_EQ(track().count, Track::kMaxNotes);
    EXPECT_FALSE(sheet->canUndo());
    ASSERT_EQ(notifier.messages.size(), 1u);
    EXPECT_NE(notifier.messages[0].text.find("32000"), std::string::npos) << notifier.messages[0].text;

    // A chord member is refused the same way.
    click(at(0).x + 2, yOfStep(top(0), 1));
    click(at(0).x + 2, yOfStep(top(0), -3));
    EXPECT_EQ(track().count, Track::kMaxNotes);
    EXPECT_EQ(notifier.messages.size(), 2u);
}

TEST_F(PointerEditingTest, AClickOnAHoveredBarLineTogglesTheRepeatOfTheMeasureItCloses)
{
    make(1, [](SheetDocument& s) { addQuarters(*s.trackAt(0), 8); });
    const auto& records = view->measures(0);
    ASSERT_EQ(view->measuresInUse(0), 2);
    ASSERT_FALSE(records[2].startsRow);
    const int barX = records[2].x;
    moveTo(barX + 3, top(0) + 20);
    EXPECT_TRUE(view->barHovered(0, 2));
    EXPECT_FALSE(view->previewVisible) << "on a bar line a click adds no note";
    editor->pointerPressed(input(barX + 3, top(0) + 20, PointerButton::Left));
    EXPECT_TRUE(view->barClickPending) << "the bar is drawn red while the button is down";
    editor->pointerReleased(input(barX + 3, top(0) + 20, PointerButton::Left));
    EXPECT_FALSE(view->barClickPending);
    EXPECT_EQ(track().measureRepeats.measures(), std::vector<int>{1});
    EXPECT_EQ(track().count, 8);

    // The last measure closes at the track's final bar line.
    const int endX = trackEnd(*view, 0).thinX;
    ASSERT_LT(endX, kStaffLeft + view->row(0).length) << "the staff stops before the row's end";
    moveTo(endX - 6, top(0) + 30);
    EXPECT_FALSE(view->endBarHovered(0, 2)) << "beside the final bar line a click appends";
    moveTo(endX + 2, top(0) + 30);
    EXPECT_TRUE(view->endBarHovered(0, 2));
    click(endX + 2, top(0) + 30);
    EXPECT_EQ(track().measureRepeats.measures(), (std::vector<int>{1, 2}));
    EXPECT_EQ(track().count, 8);

    // One undo step each.
    editor->command(kCmdUndo);
    EXPECT_EQ(track().measureRepeats.measures(), std::vector<int>{1});
    editor->command(kCmdUndo);
    EXPECT_TRUE(track().measureRepeats.measures().empty());
    editor->command(kCmdRedo);
    EXPECT_EQ(track().measureRepeats.measures(), std::vector<int>{1});
    // A second click takes the mark off again.
    click(barX + 3, top(0) + 20);
    EXPECT_TRUE(track().measureRepeats.measures().empty());
}

TEST_F(PointerEditingTest, AClickOnABarLineOfAnyStaffRepeatsTheMeasureInEveryTrackInOneUndoStep)
{
    make(3, [](SheetDocument& s) {
        addQuarters(*s.trackAt(0), 8);
        addQuarters(*s.trackAt(1), 8);
        addQuarters(*s.trackAt(2), 4); // the third part is shorter
    });
    const auto& records = view->measures(1);
    ASSERT_GE(view->measuresInUse(1), 2);
    const int barX = records[2].x;
    click(barX + 3, top(1) + 20);
    for (int t = 0; t < 3; ++t)
        EXPECT_EQ(sheet->trackAt(t)->measureRepeats.measures(), std::vector<int>{1}) << "track " << t;

    // The same bar line on another staff takes the mark off everywhere.
    click(view->measures(0)[2].x + 3, top(0) + 20);
    for (int t = 0; t < 3; ++t)
        EXPECT_TRUE(sheet->trackAt(t)->measureRepeats.empty()) << "track " << t;

    editor->command(kCmdUndo);
    for (int t = 0; t < 3; ++t)
        EXPECT_EQ(sheet->trackAt(t)->measureRepeats.measures(), std::vector<int>{1}) << "track " << t;
    editor->command(kCmdUndo);
    for (int t = 0; t < 3; ++t)
        EXPECT_TRUE(sheet->trackAt(t)->measureRepeats.empty()) << "one undo for all tracks, track " << t;

    // A track whose mark was lost (a file of the last release) does not turn a click into an
    // unmark elsewhere: the click marks the measure on every track.
    sheet->trackAt(2)->measureRepeats.set(2, true);
    click(view->measures(0)[2].x + 3, top(0) + 20);
    EXPECT_EQ(sheet->trackAt(2)->measureRepeats.measures(), (std::vector<int>{1, 2}));
    EXPECT_EQ(sheet->trackAt(0)->measureRepeats.measures(), std::vector<int>{1});
}

TEST_F(PointerEditingTest, AClickOnTheHeadOfANoteAtAMeasuresEndSelectsItAndOnlyTheLineTogglesTheRepeat)
{
    // Sixteen sixteenths fill the first measure closely: its last head stands beside the bar line.
    make(1, [](SheetDocument& s) {
        for (int i = 0; i < 20; ++i)
            addNote(*s.trackAt(0), kTypeSixteenth, 1);
    });
    const auto& records = view->measures(0);
    ASSERT_GE(view->measuresInUse(0), 2);
    ASSERT_FALSE(records[2].startsRow);
    const int barX = records[2].x;
    const NoteLayout& last = at(15);
    const bool down = last.stemDown == 1;
    const int headX = static_cast<int>(std::lround(last.x + (down ? kHeadDownX : kHeadUpX)));
    const int headY = static_cast<int>(std::lround(last.y + (down ? kHeadDownY : kHeadUpY)));
    // The right part of the head lies within the bar line's reach (10 units each side).
    const int onBoth = barX - 9;
    ASSERT_LE(std::abs(onBoth - headX), kHeadHalfWidth + 2) << "on the head";
    moveTo(onBoth, top(0) - 2);
    ASSERT_TRUE(view->barHovered(0, 2)) << "the bar line's reach, away from the head";

    click(onBoth, headY);
    EXPECT_TRUE(note(15).selected);
    EXPECT_EQ(state().currentNote, 15);
    EXPECT_TRUE(track().measureRepeats.measures().empty()) << "the repeat is left alone";
    EXPECT_FALSE(view->barHovered(0, 2));

    // The bar line itself, away from the head, still toggles the repeat.
    const int lineY = headY < top(0) + 18 ? top(0) + 34 : top(0) + 2;
    click(barX, lineY);
    EXPECT_EQ(track().measureRepeats.measures(), std::vector<int>{1});
    EXPECT_EQ(track().count, 20);
}

TEST_F(PointerEditingTest, ANoteFarAboveOrBelowItsStaffIsClickedWhereItsHeadIs)
{
    // Two tracks: track 1's staff stands below track 0's, so a high note of track 1 stands in
    // track 0's band and a low note of track 0 in track 1's.
    make(2, [](SheetDocument& s) {
        addQuarters(*s.trackAt(0), 3);
        addQuarters(*s.trackAt(1), 3);
        s.trackAt(1)->noteAt(1).setStaffPosition(-16, StaffKind::GClef); // four ledger lines up
        s.trackAt(0)->noteAt(2).setStaffPosition(14, StaffKind::GClef);  // below the staff
    });
    auto head = [this](int i, int t) {
        const NoteLayout& p = at(i, t);
        const bool down = p.stemDown == 1;
        return std::pair{static_cast<int>(std::lround(p.x + (down ? kHeadDownX : kHeadUpX))),
                         static_cast<int>(std::lround(p.y + (down ? kHeadDownY : kHeadUpY)))};
    };
    const auto [hx, hy] = head(1, 1);
    ASSERT_LT(hy, top(1) - 35) << "the head lies outside its own staff's band";
    click(hx, hy);
    EXPECT_TRUE(note(1, 1).selected) << "the high note of the lower staff";
    EXPECT_EQ(state(1).currentNote, 1);
    EXPECT_EQ(track(0).count, 3) << "no note added to the upper staff";
    EXPECT_EQ(track(1).count, 3);

    const auto [lx, ly] = head(2, 0);
    click(lx, ly);
    EXPECT_TRUE(note(2, 0).selected) << "the low note of the upper staff";
    EXPECT_FALSE(note(1, 1).selected);
    EXPECT_EQ(track(0).count, 3);
    EXPECT_EQ(track(1).count, 3);
}

TEST_F(PointerEditingTest, TheLastMeasureOfEveryRowCanBeMarked)
{
    make(1, [](SheetDocument& s) { addQuarters(*s.trackAt(0), 4 * 7); });
    ASSERT_EQ(view->layout().measuresPerRow, 3);
    ASSERT_GE(view->rowsInUse(), 3);
    const int endX = kStaffLeft + view->row(1).length;
    click(endX - 2, top(1) + 10);
    EXPECT_EQ(track().measureRepeats.measures(), std::vector<int>{6}) << "row 2 ends with measure 6";
    // The last measure of the track, alone on its row, closes at its final bar line.
    click(trackEnd(*view, 0).thinX - 2, top(2) + 10);
    EXPECT_EQ(track().measureRepeats.measures(), (std::vector<int>{6, 7}));
}

TEST_F(PointerEditingTest, LeftAndRightStepThroughTheChordRootsOfTheSelectedTrack)
{
    make(1, [](SheetDocument& s) {
        Track& t = *s.trackAt(0);
        addNote(t, kTypeQuarter, 1);
        addNote(t, kTypeQuarter, 2);
        addNote(t, kTypeQuarter, 3);
        addNote(t, kTypeQuarter, -1, 0, nullptr, 1); // a member of note 1
    });
    EXPECT_TRUE(editor->keyPressed({EditorKey::Right, false, false}));
    EXPECT_EQ(state().currentNote, 0);
    EXPECT_TRUE(note(0).selected);
    editor->keyPressed({EditorKey::Right, false, false});
    EXPECT_EQ(state().currentNote, 1);
    EXPECT_FALSE(note(0).selected);
    EXPECT_TRUE(note(1).selected);
    editor->keyPressed({EditorKey::Right, true, false});
    EXPECT_EQ(state().currentNote, 2) << "the member is stepped over";
    EXPECT_TRUE(note(1).selected) << "Shift keeps the earlier selection";
    EXPECT_TRUE(note(2).selected);
    editor->keyPressed({EditorKey::Right, false, false});
    EXPECT_EQ(state().currentNote, 2) << "the last root stays";
    EXPECT_TRUE(editor->command(kCmdCursorLeft));
    EXPECT_EQ(state().currentNote, 1);
    EXPECT_EQ(selectedCount(), 1);

    sheet->selectedTrack = -1;
    EXPECT_FALSE(editor->keyPressed({EditorKey::Left, false, false}));
    EXPECT_EQ(state().currentNote, 1);
}

TEST_F(PointerEditingTest, TheArrowsScrollTheCurrentNotesRowIntoView)
{
    make(1, [](SheetDocument& s) { addQuarters(*s.trackAt(0), 200); });
    ASSERT_GT(view->scrollRange, 3);
    for (int k = 0; k < 200; ++k)
        editor->keyPressed({EditorKey::Right, false, false});
    ASSERT_EQ(state().currentNote, 199);
    const int row = at(199).rowIndex;
    EXPECT_GT(view->firstVisibleRow, 0);
    EXPECT_LE(view->firstVisibleRow, row);
    EXPECT_LE(view->rowTopInWindow(row) + 4 * kStaffSpacing, view->layoutHeight)
        << "the row is in the window";
    for (int k = 0; k < 199; ++k)
        editor->keyPressed({EditorKey::Left, false, false});
    EXPECT_EQ(state().currentNote, 0);
    EXPECT_EQ(view->firstVisibleRow, 0);
}

TEST_F(PointerEditingTest, AMoveThatCameTooSoonIsTrackedWhenItsIntervalEnds)
{
    make(1, [](SheetDocument& s) { addQuarters(*s.trackAt(0), 2); });
    const int x = rowEndX();
    EXPECT_TRUE(editor->pointerMoved({x, yOfStep(top(0), 0), false, false, 5000}));
    EXPECT_EQ(editor->statusText(), "Note: C 4");
    EXPECT_FALSE(editor->pointerMoved({x, yOfStep(top(0), -1), false, false, 5004}));
    EXPECT_FALSE(editor->pointerMoved({x, yOfStep(top(0), -2), false, false, 5006}));
    EXPECT_EQ(editor->statusText(), "Note: C 4") << "not yet";
    ASSERT_TRUE(editor->pendingPointerMoveDueMs());
    EXPECT_EQ(*editor->pendingPointerMoveDueMs(), 5010);
    EXPECT_TRUE(editor->trackPendingPointerMove(5010));
    EXPECT_EQ(editor->statusText(), "Note: E 4") << "where the pointer stopped";
    EXPECT_EQ(view->previewNote.line, -2);
    EXPECT_FALSE(editor->pendingPointerMoveDueMs());
    EXPECT_FALSE(editor->trackPendingPointerMove(5020));
}

TEST_F(PointerEditingTest, PasteGoesToThePointersInsertionPoint)
{
    make(2, [](SheetDocument& s) {
        addQuarters(*s.trackAt(0), 3, 1);
        addQuarters(*s.trackAt(1), 3, 5);
    });
    note(0).selected = 1;
    editor->command(kCmdCopy);
    moveTo((at(1, 1).x + at(2, 1).x) / 2 + 6, yOfStep(top(1), 0));
    ASSERT_EQ(state(1).insertionPoint, 2);
    editor->command(kCmdPaste);
    ASSERT_EQ(track(1).count, 4);
    EXPECT_EQ(note(2, 1).line, 1);
    EXPECT_EQ(track(0).count, 3);

    // The pointer stays where it was: the second paste goes in there too, not at the end and
    // not into another track.
    sheet->selectTrack(0);
    editor->command(kCmdPaste);
    ASSERT_EQ(track(1).count, 5);
    EXPECT_EQ(track(0).count, 3);
    EXPECT_EQ(note(4, 1).line, 5) << "the last note stays last";
    EXPECT_EQ(note(2, 1).line, 1);
    EXPECT_EQ(note(3, 1).line, 1);
}

TEST_F(PointerEditingTest, ControlClickBesideTheCurrentNoteSelectsWithoutAddingAChordMember)
{
    make(1, [](SheetDocument& s) { addQuarters(*s.trackAt(0), 2, 3); });
    const int x = at(0).x + 2;
    click(x, yOfStep(top(0), 3));
    ASSERT_EQ(state().currentNote, 0);
    click(x, yOfStep(top(0), -1), false, true);
    EXPECT_EQ(track().count, 2);
    EXPECT_EQ(note(0).childCount, 0);
    EXPECT_TRUE(note(0).selected);
    EXPECT_EQ(state().currentNote, 0);
    EXPECT_FALSE(sheet->canUndo());
}

TEST_F(PointerEditingTest, UndoAndDeleteLeaveNoIndexNamingAMissingNote)
{
    make(1, [](SheetDocument& s) { addQuarters(*s.trackAt(0), 3); });
    click(rowEndX(), yOfStep(top(0), 0));
    ASSERT_EQ(track().count, 4);
    click(at(3).x + 2, top(0) + 20);
    ASSERT_EQ(state().currentNote, 3);
    editor->command(kCmdUndo);
    EXPECT_EQ(state().currentNote, -1);
    click(at(2).x + 2, top(0) + 20);
    editor->command(kCmdDelete);
    EXPECT_EQ(track().count, 2);
    EXPECT_EQ(state().currentNote, -1);
}

// Thousands of seeded pointer actions with keys, commands, undos and redos on three tracks:
// the sheet keeps what its file needs after every step and comes back the same from it.
TEST_F(PointerEditingTest, RandomEditingByPointerKeysAndCommandsKeepsTheSheetLoadable)
{
    // Seeds whose walk ends long enough after its last random Clear to hold the notes checked
    // below (the count says the walk edited; it depends on where the Clears fall).
    for (unsigned seed : {4u, 7u, 11u}) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed);
        sharedToolGroups() = SharedToolGroups{};
        make(3, [](SheetDocument& s) { setStaffKind(*s.trackAt(1), StaffKind::FClef); });
        std::mt19937 rng(seed);
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
        const int kinds[] = {kTypeWhole, kTypeHalf,  kTypeQuarter,    kTypeEighth, kTypeSixteenth,
                             kTypeBar,   kTypeSpace, kTypeStaffBreak, kTypeQuarter};
        for (int step = 0; step < 2500; ++step) {
            const int op = pick(0, 31);
            const int x = pick(0, 800);
            const int y = pick(0, 600);
            if (op <= 7) {
                click(x, y, pick(0, 4) == 0, pick(0, 9) == 0);
            } else if (op == 8) {
                dragFromTo(x, y, pick(0, 800), pick(0, 600), pick(0, 1) == 0);
            } else if (op == 9) {
                moveTo(x, y);
            } else if (op == 10) {
                sharedToolGroups().notes.currentId = kinds[pick(0, 8)];
                editor->tools().sharp = pick(0, 3) == 0;
                editor->tools().rest = pick(0, 5) == 0;
            } else if (op == 11) {
                editor->keyPressed({pick(0, 1) ? EditorKey::Left : EditorKey::Right, pick(0, 1) == 0, false});
            } else if (op == 12) {
                editor->command(kCmdDelete);
            } else if (op == 13) {
                editor->command(pick(0, 1) ? kCmdCopy : kCmdPaste);
            } else if (op == 14) {
                editor->command(kCmdCursorUp);
            } else if (op == 15) {
                editor->scroll(pick(0, 1) ? ScrollAction::PageDown : ScrollAction::PageUp);
            } else if (op <= 17) {
                editor->command(kCmdUndo);
            } else if (op <= 19) {
                editor->command(kCmdRedo);
            } else if (op <= 22) {
                // The key table: tools, octaves and notes typed at the keyboard octave.
                const EditorKey keys[] = {EditorKey::S, EditorKey::F, EditorKey::D,      EditorKey::T,
                                          EditorKey::R, EditorKey::W, EditorKey::H,      EditorKey::Q,
                                          EditorKey::E, EditorKey::Y, EditorKey::Digit1, EditorKey::Digit4,
                                          EditorKey::Z, EditorKey::C, EditorKey::M,      EditorKey::B};
                editor->keyPressed({keys[pick(0, 15)], pick(0, 5) == 0, false});
            } else if (op == 23) {
                const int tools[] = {kToolWhole, kToolEighth, kToolThirtySecond, kToolRest,   kToolDot,
                                     kToolSharp, kToolFlat,   kToolNatural,      kToolTie,    kToolTriplet,
                                     kToolBar,   kToolSpace,  kToolStaffBreak,   kToolLyrics, kToolMark200};
                editor->command(tools[pick(0, 14)]);
            } else if (op == 24) {
                const char* texts[] = {"", "la", "sun-"};
                setLyric(*editor, pick(0, 3) == 3 ? std::string(300, 'x') : std::string(texts[pick(0, 2)]));
            } else if (op == 25) {
                sheet->selectTrack(pick(0, 2));
            } else if (op == 26) {
                editor->command(pick(0, 1) ? kCmdSelectAll : kCmdCut);
            } else if (op == 28) {
                editor->keyPressed({EditorKey::Escape, false, false});
            } else if (op == 29) {
                // The lyric flow: a syllable, then on to the next or back to the previous note;
                // Escape ends the tool half the time.
                if (!editor->tools().lyricMode)
                    editor->command(kToolLyrics);
                const char* syllables[] = {"Twin-", "kle", "-", ""};
                setLyric(*editor, syllables[pick(0, 3)]);
                stepLyricNote(*editor, pick(0, 3) != 0);
                if (pick(0, 1) == 0)
                    editor->keyPressed({EditorKey::Escape, false, false});
            } else if (op == 30) {
                // A tie by one T on a note, or the tie taken off again.
                Track& t = track(pick(0, 2));
                if (t.count > 0) {
                    editor->clearSelection();
                    t.noteAt(pick(0, t.count - 1)).selected = 1;
                    editor->keyPressed({EditorKey::T, false, false});
                }
            } else if (op == 31) {
                // The toggles from the keyboard and the lyric tool on and off.
                const int toggles[] = {kToolTie, kToolDot, kToolSharp, kToolFlat};
                editor->command(toggles[pick(0, 3)]);
            } else if (pick(0, 9) == 0) {
                editor->command(kCmdClear);
            }
            ASSERT_TRUE(testing::keepsTheInvariants(*sheet))
                << "after step " << step << " (operation " << op << ")";
            for (int t = 0; t < 3; ++t) {
                const TrackEditState& s = editor->editState().track(t);
                ASSERT_LT(s.currentNote, track(t).count) << "step " << step;
                ASSERT_LE(s.insertionPoint, track(t).count) << "step " << step;
            }
        }
        int total = 0;
        for (int t = 0; t < 3; ++t)
            total += track(t).count;
        EXPECT_GT(total, 20);
        EXPECT_TRUE(notifier.messages.empty());
        EXPECT_TRUE(testing::comesBackFromItsFile(*sheet, "pointer_random_" + std::to_string(seed)));
    }
}

} // namespace
} // namespace tonvela
